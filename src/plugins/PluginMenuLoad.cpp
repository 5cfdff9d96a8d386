// Loading the menu from the registry tree the host wrote: one key per level,
// one string value per entry, one sub-key per sub-menu.
#include "plugins/PluginMenu.h"

#include "framework/RegistryRead.h"
#include "platform/AsciiText.h"

#include "plugins/CompareItems.h"
#include "plugins/RecordEscape.h"
#include "plugins/RecordParse.h"

#include <algorithm>
#include <memory>

namespace corvane {

namespace {

// A record as the loader takes it: its text up to the first NUL (text values
// are stored with theirs), and whether anything but NULs follows.
struct RecordText {
    CString name;
    CString data;
    bool textAfterNul = false;
};

void TakeRecordText(const RegistryValue& value, RecordText& record) {
    record.name.str().assign(value.name.c_str()); // to the first NUL
    const char* bytes = reinterpret_cast<const char*>(value.data.data());
    size_t size = value.data.size();
    size_t textLength = std::find(bytes, bytes + size, '\0') - bytes;
    record.data.str().assign(bytes, textLength);
    record.textAfterNul =
        std::any_of(bytes + textLength, bytes + size, [](char ch) { return ch != '\0'; });
}

// Why a record's text cannot be a line of "PlugIns.ini"; null when it can.
const char* UnsavableRecord(const RecordText& value) {
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
        RegistryValueReader reader(key, MAX_PATH, 1024);
        RegistryValue value;
        RecordText record;
        for (DWORD index = 0;; ++index) {
            RegistryValueReader::Result read = reader.Read(index, value);
            if (read == RegistryValueReader::Result::end)
                break;
            if (read == RegistryValueReader::Result::failed) {
                // The menu is kept in the registry rather than saved without it.
                m_unsavable.push_back(subKey + ": a value could not be read");
                break;
            }
            ++m_valueTypes[value.type];
            if (value.type != REG_SZ && value.type != REG_EXPAND_SZ)
                continue;
            TakeRecordText(value, record);
            if (const char* why = UnsavableRecord(record))
                m_unsavable.push_back(subKey + "\\" + record.name + ": " + why);
            // The name is scratch: strip it in place.
            record.name.str().erase(0, DuplicatePrefixLength(record.name.str()));
            ParseEntry(parent, record.name, record.data);
        }

        bool allSubKeys = false;
        CStringArray subKeys = RegistrySubKeyNames(key, &allSubKeys);
        if (!allSubKeys)
            m_unsavable.push_back(subKey + ": its sub-keys could not all be read");
        for (int index = 0; index < subKeys.GetSize(); ++index) {
            const CString& name = subKeys[index];
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

} // namespace corvane
