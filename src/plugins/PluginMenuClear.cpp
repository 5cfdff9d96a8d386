// Emptying the menu's store: the registry tree or the INI model.
#include "plugins/PluginMenu.h"

#include "framework/RegistryRead.h"

namespace corvane {

void CPluginMenu::ClearStore() {
    if (m_hRootKey) {
        HKEY key = nullptr;
        if (RegOpenKeyA(m_hRootKey, m_strStore, &key) != ERROR_SUCCESS)
            return;
        DeleteKeyTree(key);
        RegCloseKey(key);
        RegDeleteKeyA(m_hRootKey, m_strStore);
    } else if (!m_strStore.IsEmpty()) {
        m_iniFile.Clear();
    }
}

void CPluginMenu::DeleteKeyTree(HKEY key) {
    // All names first: deleting while enumerating would shift the indices.
    CStringArray names = RegistrySubKeyNames(key);
    for (int i = names.GetSize() - 1; i >= 0; --i) {
        HKEY subKey = nullptr;
        if (RegOpenKeyA(key, names[i], &subKey) != ERROR_SUCCESS)
            continue; // stays, with everything below it
        DeleteKeyTree(subKey);
        RegCloseKey(subKey);
        RegDeleteKeyA(key, names[i]);
    }
}

} // namespace corvane
