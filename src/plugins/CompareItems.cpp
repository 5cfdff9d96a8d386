#include "plugins/CompareItems.h"
#include "platform/AsciiText.h"

#include <algorithm>

namespace corvane {

namespace {

// _stricmp order: ASCII letters folded to lower case, then unsigned bytes.
int CompareNoCaseAscii(const CString& a, const CString& b) {
    const std::string& x = a.str();
    const std::string& y = b.str();
    size_t n = std::min(x.size(), y.size());
    for (size_t i = 0; i < n; ++i) {
        int cx = static_cast<unsigned char>(ascii::ToLower(x[i]));
        int cy = static_cast<unsigned char>(ascii::ToLower(y[i]));
        if (cx != cy)
            return cx < cy ? -1 : 1;
    }
    if (x.size() == y.size())
        return 0;
    return x.size() < y.size() ? -1 : 1;
}

} // namespace

int CompareItems(const CPluginItem* a, const CPluginItem* b, int textIndex) {
    bool containerA = a->IsContainer();
    bool containerB = b->IsContainer();
    if (containerA != containerB)
        return containerA ? -1 : 1;
    return CompareNoCaseAscii(a->GetText(textIndex), b->GetText(textIndex));
}

void SortLevel(CPluginList& list, int textIndex) {
    std::vector<void*>& items = list.items();
    std::stable_sort(items.begin(), items.end(), [textIndex](void* a, void* b) {
        if (!a || !b)
            return a && !b; // empty slots go last
        return CompareItems(static_cast<CPluginItem*>(a), static_cast<CPluginItem*>(b), textIndex) <
               0;
    });
}

} // namespace corvane
