// Writing the menu to "PlugIns.ini": one section per level, one key line per
// entry, sections of sub-menus named by their path of names.
#include "plugins/PluginMenu.h"

#include "plugins/RecordEscape.h"
#include "plugins/RecordFormat.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace {

// A key under which names that may be equal ignoring case meet: ASCII letters
// folded, every other byte 0x80 (folding never changes a name's length).
// Names in one bucket are then compared exactly.
std::string BucketKey(const CString& name) {
    std::string key = name.str();
    for (char& ch : key)
        ch = static_cast<unsigned char>(ch) < 0x80 ? AsciiLower(ch) : '\x80';
    return key;
}

bool SameName(const CPluginItem& a, const CPluginItem& b) {
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a.GetText(kTextName).GetString()),
                    reinterpret_cast<const unsigned char*>(b.GetText(kTextName).GetString())) == 0;
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
    std::unordered_map<std::string, std::vector<int>> buckets;
    for (int i = 0; i < count; ++i) {
        if (CPluginItem* child = children.GetItem(i)) {
            child->m_bDone = false;
            buckets[BucketKey(child->GetText(kTextName))].push_back(i);
        }
    }
    const CString sectionSeparator = section.IsEmpty() ? "" : "\\";

    for (int i = 0; i < count; ++i) {
        CPluginItem* first = children.GetItem(i);
        if (!first || first->m_bDone)
            continue;
        // The group: this child and the later siblings of the same name.
        std::vector<CPluginItem*> group{first};
        for (int j : buckets[BucketKey(first->GetText(kTextName))]) {
            CPluginItem* other = children.GetItem(j);
            if (j > i && !other->m_bDone && SameName(*first, *other))
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
