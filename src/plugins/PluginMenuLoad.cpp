// Loading the menu from the registry tree the host wrote: one key per level,
// one string value per entry, one sub-key per sub-menu.
#include "plugins/PluginMenu.h"
#include "platform/AsciiText.h"

#include "plugins/CompareItems.h"
#include "plugins/RecordEscape.h"
#include "plugins/RecordParse.h"
#include "plugins/RegistryEnum.h"

#include <memory>

namespace {

// Why a record's text cannot be a line of "PlugIns.ini"; null when it can.
const char* UnsavableRecord(const EnumeratedValue& value) {
    if (value.name.str().find_first_of("\r\n") != std::string::npos)
        return "its name holds a line break";
    if (value.data.str().find_first_of("\r\n") != std::string::npos)
        return "its path or attributes hold a line break";
    if (value.textAfterNul)
        return "its text goes on after a NUL";
    // The INI model trims a value it reads: such blanks would be gone.
    const std::string& data = value.data.str();
    if (!data.empty() && (ascii::IsSpace(data.front()) || ascii::IsSpace(data.back())))
        return "its path or attributes start or end with a blank";
    return nullptr;
}

} // namespace

bool CPluginMenu::Load(const char* path, HKEY root) {
    if (path) {
        m_hRootKey = root;
        m_strStore = path;
    }
    m_root.m_children.DeleteAll();
    m_unsavable.clear();
    m_valueTypes.clear();
    if (!m_hRootKey)
        return false; // the INI form is never read back by this program
    LoadLevel(m_root, m_hRootKey, m_strStore);
    return true;
}

void CPluginMenu::LoadLevel(CPluginItem& parent, HKEY base, const CString& subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(base, subKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        EnumeratedValue value;
        for (DWORD index = 0;; ++index) {
            LONG result = EnumRegistryValue(key, index, value);
            if (result == ERROR_MORE_DATA)
                continue; // too large to read at all: the next one
            if (result != ERROR_SUCCESS)
                break;
            ++m_valueTypes[value.type];
            bool isText = value.type == REG_SZ || value.type == REG_EXPAND_SZ;
            if (isText) {
                if (const char* why = UnsavableRecord(value))
                    m_unsavable.push_back(subKey + "\\" + value.name + ": " + why);
            }
            if (isText) {
                // The name is the enumeration's scratch copy: strip it in place.
                value.name.str().erase(0, DuplicatePrefixLength(value.name.str()));
                ParseEntry(parent, value.name, value.data);
            }
        }

        CString name;
        for (DWORD index = 0; EnumRegistrySubKey(key, index, name) == ERROR_SUCCESS; ++index) {
            if (name.str().find_first_of("\r\n") != std::string::npos)
                m_unsavable.push_back(subKey + "\\" + name + ": its name holds a line break");
            CString stripped = StripDuplicatePrefix(name);
            int colon = stripped.Find(':');
            int equals = stripped.Find('=');
            std::unique_ptr<CPluginItem> item;
            if (colon >= 1 && equals > colon) {
                // "record name=record value": an entry that holds children of
                // its own. Each sub-key starts from a fresh record, so nothing
                // of one sub-key carries over into the next.
                CPluginItem scratch;
                ParseEntry(scratch, stripped.Left(equals), stripped.Mid(equals + 1));
                item = std::make_unique<CPluginItem>(scratch, true);
            } else {
                // A plain sub-menu keeps the name as enumerated, prefix included.
                item = std::make_unique<CPluginItem>(name, "", -1, nullptr, -1);
            }
            item->m_pParentList = &parent.m_children;
            LoadLevel(*item, key, name);
            if (item->HasChildren())
                parent.m_children.AddChild(item.release());
        }
        RegCloseKey(key);
    }
    if (parent.HasChildren())
        SortLevel(parent.m_children, m_nSortField);
}

void CPluginMenu::ParseEntry(CPluginItem& parent, const CString& name, const CString& data) {
    auto item = std::make_unique<CPluginItem>();
    ParseRecord(name, data, parent.GetText(kTextName), *item);
    if (item->m_nKind == 3) {
        // The level's own record. The children read before it stay: the
        // enumeration need not list the default value first.
        parent.CopyFrom(*item, false);
    } else {
        parent.m_children.AddChild(item.release());
    }
}
