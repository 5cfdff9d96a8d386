// The private profile: for the length of a scope the profile functions work on
// a second INI file instead of the main settings file.
#include "app/CorvaneApp.h"

#include <cstdlib>
#include <cstring>

namespace corvane {

BOOL CCorvaneApp::SetPrivateProfile(const char* pszName) {
    if (m_pszPrivateProfile) {
        free(m_pszPrivateProfile);
        m_pszPrivateProfile = nullptr;
        // The profile name pointed at the text just freed.
        if (m_bPrivateProfileActive)
            m_pszProfileName = nullptr;
    }
    if (!pszName)
        return TRUE;

    CString name(pszName);
    if (name.IsEmpty())
        name = GetDataPath(nullptr, "#Intern" + m_strSectionPrefix + ".corvane");
    m_pszPrivateProfile = strdup(name);
    if (m_bPrivateProfileActive)
        m_pszProfileName = m_pszPrivateProfile;
    return m_pszPrivateProfile != nullptr;
}

BOOL CCorvaneApp::BeginPrivateProfile() {
    if (!m_pszPrivateProfile)
        return FALSE;
    // A redirection already in force keeps the pair saved when it began.
    if (!m_bPrivateProfileActive) {
        m_pszSavedProfileName = const_cast<char*>(m_pszProfileName);
        m_pszSavedRegistryKey = const_cast<char*>(m_pszRegistryKey);
        m_bPrivateProfileActive = TRUE;
    }
    m_pszProfileName = m_pszPrivateProfile;
    m_pszRegistryKey = nullptr;
    return TRUE;
}

BOOL CCorvaneApp::EndPrivateProfile() {
    if (m_bPrivateProfileActive) {
        m_pszProfileName = m_pszSavedProfileName;
        m_pszRegistryKey = m_pszSavedRegistryKey;
        m_pszSavedProfileName = nullptr;
        m_pszSavedRegistryKey = nullptr;
        m_bPrivateProfileActive = FALSE;
    }
    return TRUE;
}

CUsePrivateProfile::CUsePrivateProfile() {
    CCorvaneApp* app = static_cast<CCorvaneApp*>(AfxGetApp());
    m_bEndAtExit = app && !app->IsPrivateProfileActive();
    if (app)
        app->BeginPrivateProfile();
}

CUsePrivateProfile::~CUsePrivateProfile() {
    CCorvaneApp* app = static_cast<CCorvaneApp*>(AfxGetApp());
    if (!app)
        return;
    if (m_bEndAtExit)
        app->EndPrivateProfile();
}

} // namespace corvane
