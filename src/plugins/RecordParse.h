// Reading one stored record (record name and record value) into a menu item.
#pragma once

#include "plugins/PluginItem.h"

namespace corvane {

// Fills item, which must be a default item, from one record. name is the
// record name with its duplicate prefix already removed; an empty name is the
// level's own record and takes levelName as its name and kind 3 (unless the
// value carries attributes). Bad text never fails: fields that cannot be read
// keep their defaults.
void ParseRecord(const CString& name, const CString& data, const CString& levelName,
                 CPluginItem& item);

} // namespace corvane
