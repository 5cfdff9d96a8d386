// Writing the menu to "PlugIns.ini": one section per level, one key line per
// entry, sections of sub-menus named by their path of names.
#include "plugins/PluginMenu.h"
#include "platform/AsciiText.h"

#include "plugins/RecordEscape.h"
#include "plugins/RecordFormat.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane {

namespace {

// Names that may be equal ignoring case share a bucket: ASCII letters
// folded, every other byte taken as 0x80 (folding never changes a name's
// length). Names in one bucket are then compared exactly.
char BucketByte(char ch) {
    return static_cast<unsigned char>(ch) < 0x80 ? ascii::ToLower(ch) : '\x80';
}

// A name as its key or section reads back: readers drop blanks at the end
// of a line's name, so "X" and "X " meet in one key and count as duplicates.
std::string_view KeyForm(const std::string& name) {
    size_t end = name.size();
    while (end > 0 && ascii::IsSpace(name[end - 1]))
        --end;
    return std::string_view(name).substr(0, end);
}

bool SameBucket(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (BucketByte(a[i]) != BucketByte(b[i]))
            return false;
    }
    return true;
}

// A hash of the name's bucket (64-bit FNV-1a of the folded bytes).
uint64_t BucketHash(std::string_view name) {
    uint64_t hash = 14695981039346656037ull;
    for (char ch : name) {
        hash ^= static_cast<unsigned char>(BucketByte(ch));
        hash *= 1099511628211ull;
    }
    return hash;
}

bool SameName(const CPluginItem& a, const CPluginItem& b) {
    std::string first(KeyForm(a.GetText(kTextName).str()));
    std::string second(KeyForm(b.GetText(kTextName).str()));
    return _mbsicmp(reinterpret_cast<const unsigned char*>(first.c_str()),
                    reinterpret_cast<const unsigned char*>(second.c_str())) == 0;
}

} // namespace

void CPluginMenu::SetIniPath(const char* path) {
    m_hRootKey = nullptr;
    m_strStore = path ? path : "";
    m_iniFile.Load(m_strStore);
}

bool CPluginMenu::Save(const char* path, HKEY root) {
    if (path) {
        m_hRootKey = root;
        m_strStore = path;
    }
    if (m_hRootKey)
        return false; // the menu is never written back into the registry
    return SaveLevel(m_root, "PlugIns");
}

bool CPluginMenu::SaveLevel(CPluginItem& node, const char* section) {
    CString name = section ? section : "";
    bool top = name.Find('\\') < 0;
    if (top)
        ClearStore();
    WriteLevel(node, name);
    return top ? m_iniFile.Save(nullptr) : true;
}

void CPluginMenu::WriteLevel(CPluginItem& node, const CString& section) {
    CPluginList& children = node.m_children;
    const int count = children.GetSize();
    // The children by bucket hash, then by index: the later siblings that
    // may share a child's name follow it in this order.
    std::vector<std::pair<uint64_t, int>> order;
    order.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (CPluginItem* child = children.GetItem(i)) {
            child->m_bDone = false;
            order.emplace_back(BucketHash(KeyForm(child->GetText(kTextName).str())), i);
        }
    }
    std::sort(order.begin(), order.end());
    std::vector<size_t> placeOf(static_cast<size_t>(count));
    for (size_t place = 0; place < order.size(); ++place)
        placeOf[static_cast<size_t>(order[place].second)] = place;
    const CString sectionSeparator = section.IsEmpty() ? "" : "\\";

    std::vector<CPluginItem*> group;
    for (int i = 0; i < count; ++i) {
        CPluginItem* first = children.GetItem(i);
        if (!first || first->m_bDone)
            continue;
        // The group: this child and the later siblings of the same name.
        group.assign(1, first);
        const std::string_view name = KeyForm(first->GetText(kTextName).str());
        const size_t place = placeOf[static_cast<size_t>(i)];
        for (size_t next = place + 1;
             next < order.size() && order[next].first == order[place].first; ++next) {
            CPluginItem* other = children.GetItem(order[next].second);
            if (!other->m_bDone && SameBucket(name, KeyForm(other->GetText(kTextName).str())) &&
                SameName(*first, *other))
                group.push_back(other);
        }
        for (size_t member = 0; member < group.size(); ++member) {
            CPluginItem& item = *group[member];
            item.m_bDone = true;
            CString prefix = FormatDuplicatePrefix(static_cast<int>(member));
            if (!item.HasChildren()) {
                m_iniFile.SetValue(section, FormatRecordName(prefix, item), FormatRecordValue(item),
                                   true);
            } else if (item.m_nKind == 3) {
                CString childSection = prefix + "3:" + section + sectionSeparator +
                                       item.GetText(kTextName) + "=" + FormatRecordValue(item);
                WriteLevel(item, childSection);
            } else {
                WriteLevel(item, section + sectionSeparator + prefix + item.GetText(kTextName));
            }
        }
    }
}

} // namespace corvane
