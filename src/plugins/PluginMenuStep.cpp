// The run step that moves the plug-in menu from the registry to "PlugIns.ini".
#include "app/CorvaneApp.h"
#include "app/RegistryBackup.h"
#include "platform/RegistryText.h"
#include "plugins/PluginMenu.h"

#include <cstdio>

namespace corvane {

namespace {

// Why the menu's registry tree cannot be read through the code page as it is;
// empty when it can (or when there is no tree).
std::string MenuTextLoss(HKEY root, const CString& path) {
    HKEY key = nullptr;
    if (RegOpenKeyA(root, path, &key) != ERROR_SUCCESS)
        return std::string();
    std::string loss = RegistryTreeAnsiLoss(key);
    RegCloseKey(key);
    return loss;
}

// True when the registry key exists: only then is there something to delete.
bool KeyExists(HKEY root, const CString& path) {
    HKEY key = nullptr;
    if (RegOpenKeyA(root, path, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// "<base>.ini", or "<base>-2.ini", "-3.ini" ...: the first name not in use.
CString NextFreeIniName(const CString& base) {
    CString name = base + ".ini";
    for (int n = 2; GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES; ++n)
        name.Format("%s-%d.ini", base.GetString(), n);
    return name;
}

} // namespace

// An existing "PlugIns.ini" is copied to the next free "PlugIns-before" name
// (`copy`, empty when there is no such file) before it is replaced; false when
// that copy could not be made.
bool CCorvaneApp::SaveEarlierPluginFile(const CString& iniPath, CString& copy) {
    // Only a file has entries to keep; a folder there makes the save fail.
    DWORD attributes = GetFileAttributesA(iniPath);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    copy = NextFreeIniName(GetDataPath(nullptr, "PlugIns-before"));
    CString error;
    if (!m_bPreview && !CopyToNewFile(iniPath, copy, error)) {
        printf("Error writing %s: the plugin menu stays in the registry (%s)\n", copy.GetString(),
               error.GetString());
        ++m_nFailures;
        return false;
    }
    return true;
}

// Says where the earlier "PlugIns.ini" went. A copy equal to the file just
// written is the result of an interrupted run of this same conversion, not an
// earlier file: it goes, so that the run ends as one uninterrupted run.
void CCorvaneApp::ReportEarlierPluginFile(const CString& iniPath, const CString& copy,
                                          bool written) {
    if (copy.IsEmpty())
        return;
    if (written && !m_bPreview && SameFileBytes(iniPath, copy) && DeleteFileA(copy))
        return;
    printf("Saved the earlier %s as %s\n", iniPath.GetString(), copy.GetString());
    m_account.NoteFile(copy);
}

void CCorvaneApp::AutocorrectPluginMenu() {
    CString appKey = m_strAppKeyPath;
    if (appKey.IsEmpty())
        appKey = CString("software\\Brax\\") + m_pszAppName;
    const CString store = appKey + "\\PlugIns";
    // The menu read through the code page would not be the original: it stays.
    std::string loss = MenuTextLoss(HKEY_CURRENT_USER, store);

    // Loaded in either case: the account counts what stays.
    CPluginMenu menu;
    menu.Load(store, HKEY_CURRENT_USER);
    bool removed = false;
    if (!loss.empty()) {
        printf("Kept the plugin menu in the registry: %s\n", loss.c_str());
    } else {
        // A record the file cannot hold keeps the whole menu where it is.
        for (const CString& record : menu.m_unsavable)
            printf("Kept the plugin menu in the registry: %s\n", record.GetString());
        if (menu.m_unsavable.empty())
            removed = MovePluginMenu(menu, store);
    }
    int copied = 0;
    for (const auto& [type, count] : menu.m_valueTypes)
        if (type == REG_SZ || type == REG_EXPAND_SZ)
            copied += count;
    m_account.NoteKey(removed, copied, menu.m_valueTypes);
    if (m_bPreview && !menu.m_valueTypes.empty())
        printf("Plugin menu: %d records %s\n", copied,
               removed ? "to PlugIns.ini" : "stay in the registry");
}

bool CCorvaneApp::MovePluginMenu(CPluginMenu& menu, const CString& store) {
    if (menu.m_root.HasChildren()) {
        // The registry tree goes only once the file holds the menu.
        // Without a data folder the lookup would ask for one.
        if (m_strDataPath.IsEmpty()) {
            printf("Error writing PlugIns.ini: the plugin menu stays in the registry\n");
            ++m_nFailures;
            return false;
        }
        const CString iniPath = GetDataPath(nullptr, "PlugIns.ini");
        CString earlier;
        if (!SaveEarlierPluginFile(iniPath, earlier))
            return false;
        if (!m_bPreview) {
            menu.SetIniPath(iniPath);
            if (!menu.Save(nullptr, HKEY_CURRENT_USER)) {
                ReportEarlierPluginFile(iniPath, earlier, false);
                printf("Error writing %s: the plugin menu stays in the registry\n",
                       iniPath.GetString());
                ++m_nFailures;
                return false;
            }
        }
        ReportEarlierPluginFile(iniPath, earlier, true);
        m_account.NoteFile(iniPath);
    }

    if (!KeyExists(HKEY_CURRENT_USER, store) || !EnsureRegistryBackup())
        return false;
    if (m_bPreview)
        return true;
    ClearPluginStoreLater(store);
    return true;
}

} // namespace corvane
