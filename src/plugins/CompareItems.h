// The order of siblings in a menu level.
#pragma once

#include "plugins/PluginItem.h"

namespace corvane {

// Containers (not kind 3, with children) first; then by the text at textIndex
// (the name), ASCII letters folded to lower case, bytes compared unsigned.
// Negative, zero or positive like strcmp.
int CompareItems(const CPluginItem* a, const CPluginItem* b, int textIndex = kTextName);

// Sorts a level by CompareItems. Items that compare equal keep the order in
// which they were read, so the result is the same on every platform.
void SortLevel(CPluginList& list, int textIndex = kTextName);

} // namespace corvane
