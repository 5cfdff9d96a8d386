// The run step that moves the plug-in menu from the registry to "PlugIns.ini".
#include "app/CorvaneApp.h"
#include "platform/RegistryText.h"
#include "plugins/PluginMenu.h"

#include <cstdio>

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

} // namespace

void CCorvaneApp::AutocorrectPluginMenu() {
    CString appKey = m_strAppKeyPath;
    if (appKey.IsEmpty())
        appKey = CString("software\\Brax\\") + m_pszAppName;
    const CString store = appKey + "\\PlugIns";
    // The menu read through the code page would not be the original: it stays.
    std::string loss = MenuTextLoss(HKEY_CURRENT_USER, store);
    if (!loss.empty()) {
        printf("Kept the plugin menu in the registry: %s\n", loss.c_str());
        return;
    }

    CPluginMenu menu;
    menu.Load(store, HKEY_CURRENT_USER);

    if (menu.m_root.HasChildren()) {
        // The registry tree goes only once the file holds the menu.
        const CString iniPath = m_strDataPath + "\\PlugIns.ini";
        bool saved = false;
        if (!m_strDataPath.IsEmpty()) {
            menu.SetIniPath(iniPath);
            saved = menu.Save(nullptr, HKEY_CURRENT_USER);
        }
        if (!saved) {
            printf("Error writing %s: the plugin menu stays in the registry\n",
                   iniPath.GetString());
            ++m_nFailures;
            return;
        }
    }

    if (!KeyExists(HKEY_CURRENT_USER, store) || !EnsureRegistryBackup())
        return;
    menu.m_hRootKey = HKEY_CURRENT_USER;
    menu.m_strStore = store;
    menu.ClearStore();
}
