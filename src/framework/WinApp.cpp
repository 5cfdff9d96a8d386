#include "framework/WinApp.h"
#include "framework/WholeReads.h"

#include "framework/CommandLine.h"
#include "framework/Exceptions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

CWinApp* g_pApp = nullptr;

// A malloc'ed copy of text (null stays null); memory failure throws.
char* HeapCopy(const char* text) {
    if (!text)
        return nullptr;
    size_t size = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(std::malloc(size));
    if (!copy)
        throw CMemoryException();
    std::memcpy(copy, text, size);
    return copy;
}

// Opens (creating when missing) subKey below parent with read and write access.
HKEY CreateKey(HKEY parent, const char* subKey) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                        nullptr, &key, &disposition) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

} // namespace

void CWinApp::ReplaceHeapString(const char*& member, const char* text) {
    char* copy = HeapCopy(text);
    std::free(const_cast<char*>(member));
    member = copy;
}

// ---- application object ------------------------------------------------------

CWinApp::CWinApp(const char* appName) {
    m_pszAppName = HeapCopy(appName);
    g_pApp = this;
}

CWinApp::~CWinApp() {
    std::free(const_cast<char*>(m_pszAppName));
    std::free(const_cast<char*>(m_pszProfileName));
    std::free(const_cast<char*>(m_pszRegistryKey));
    std::free(const_cast<char*>(m_pszExeName));
    if (g_pApp == this)
        g_pApp = nullptr;
}

CWinApp* AfxGetApp() {
    return g_pApp;
}

void AfxEnableControlContainer() {}

BOOL CWinApp::SetDefaultNames() {
    std::string path = ReadModulePath();
    size_t cut = path.find_last_of("\\/");
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    if (name.empty())
        return FALSE;
    ReplaceHeapString(m_pszExeName, name.c_str());
    if (!m_pszAppName)
        m_pszAppName = HeapCopy(name.c_str());
    if (!m_pszProfileName)
        m_pszProfileName = HeapCopy((name + ".INI").c_str());
    return TRUE;
}

BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow) {
    CWinApp* app = AfxGetApp();
    if (!app)
        return FALSE;
    app->m_hInstance = hInstance;
    app->m_strCmdLine = lpCmdLine ? lpCmdLine : "";
    app->m_lpCmdLine = app->m_strCmdLine.data();
    app->m_nCmdShow = nCmdShow;
    return app->SetDefaultNames();
}

BOOL CWinApp::InitApplication() {
    return TRUE;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::ExitInstance() {
    return 0;
}

// ---- registry key ------------------------------------------------------------

void CWinApp::SetRegistryKey(const char* company) {
    if (!company || !*company)
        return;
    if (!m_pszAppName)
        SetDefaultNames();
    ReplaceHeapString(m_pszRegistryKey, company);
    ReplaceHeapString(m_pszProfileName, m_pszAppName);
}

HKEY CWinApp::GetAppRegistryKey() {
    if (!m_pszRegistryKey || !m_pszProfileName)
        return nullptr;
    // "software" exists on every Windows; a fresh registry store may lack it.
    HKEY software = CreateKey(HKEY_CURRENT_USER, "software");
    if (!software)
        return nullptr;
    HKEY company = CreateKey(software, m_pszRegistryKey);
    RegCloseKey(software);
    if (!company)
        return nullptr;
    HKEY app = CreateKey(company, m_pszProfileName);
    RegCloseKey(company);
    return app;
}

// The section's key opened for reading, or null when it (or a key above it) is
// missing: a read never creates a key, so a run that stops early leaves the
// registry as it found it.
HKEY CWinApp::OpenSectionKeyForReading(const char* section) {
    if (!section || !m_pszRegistryKey || !m_pszProfileName)
        return nullptr;
    std::string path =
        std::string("Software\\") + m_pszRegistryKey + "\\" + m_pszProfileName + "\\" + section;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

HKEY CWinApp::GetSectionKey(const char* section) {
    if (!section)
        return nullptr;
    HKEY app = GetAppRegistryKey();
    if (!app)
        return nullptr;
    HKEY key = CreateKey(app, section);
    RegCloseKey(app);
    return key;
}

// ---- profile functions ---------------------------------------------------------

CString CWinApp::GetProfileString(const char* section, const char* entry, const char* def) {
    if (!section || !entry)
        return CString(def);
    if (m_pszRegistryKey) {
        HKEY key = OpenSectionKeyForReading(section);
        if (!key)
            return CString(def);
        CString result(def);
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        // Expandable text is text too (unexpanded), as the registry copy takes it.
        if (QueryValueWhole(key, entry, type, data) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ)) {
            data.push_back(0);
            result = CString(reinterpret_cast<const char*>(data.data())); // to the first NUL
        }
        RegCloseKey(key);
        return result;
    }
    if (!m_pszProfileName)
        return CString(def);
    return CString(ReadProfileStringWhole(section, entry, def, m_pszProfileName));
}

BOOL CWinApp::WriteProfileString(const char* section, const char* entry, const char* value) {
    if (m_pszRegistryKey) {
        if (!section)
            return FALSE;
        if (!entry) {
            HKEY app = GetAppRegistryKey();
            if (!app)
                return FALSE;
            LONG status = RegDeleteKeyA(app, section);
            RegCloseKey(app);
            return status == ERROR_SUCCESS;
        }
        HKEY key = GetSectionKey(section);
        if (!key)
            return FALSE;
        LONG status;
        if (!value)
            status = RegDeleteValueA(key, entry);
        else
            status = RegSetValueExA(key, entry, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                    static_cast<DWORD>(std::strlen(value) + 1));
        RegCloseKey(key);
        return status == ERROR_SUCCESS;
    }
    if (!m_pszProfileName)
        return FALSE;
    return WritePrivateProfileStringA(section, entry, value, m_pszProfileName);
}

UINT CWinApp::GetProfileInt(const char* section, const char* entry, int def) {
    if (!section || !entry)
        return static_cast<UINT>(def);
    if (m_pszRegistryKey) {
        HKEY key = OpenSectionKeyForReading(section);
        if (!key)
            return static_cast<UINT>(def);
        DWORD value = 0;
        DWORD type = REG_NONE;
        DWORD size = sizeof value;
        LONG status =
            RegQueryValueExA(key, entry, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
        RegCloseKey(key);
        if (status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value)
            return value;
        return static_cast<UINT>(def);
    }
    if (!m_pszProfileName)
        return static_cast<UINT>(def);
    return GetPrivateProfileIntA(section, entry, def, m_pszProfileName);
}

BOOL CWinApp::WriteProfileInt(const char* section, const char* entry, int value) {
    if (m_pszRegistryKey) {
        if (!section || !entry)
            return FALSE;
        HKEY key = GetSectionKey(section);
        if (!key)
            return FALSE;
        DWORD data = static_cast<DWORD>(value);
        LONG status = RegSetValueExA(key, entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                     sizeof data);
        RegCloseKey(key);
        return status == ERROR_SUCCESS;
    }
    if (!m_pszProfileName)
        return FALSE;
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return WritePrivateProfileStringA(section, entry, text, m_pszProfileName);
}

// ---- command line --------------------------------------------------------------

void CCommandLineInfo::ParseParam(const char* pszParam, BOOL bFlag, BOOL) {
    if (!bFlag && pszParam && m_strFileName.IsEmpty()) {
        m_strFileName = pszParam;
        m_nShellCommand = FileOpen;
    }
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info) {
    std::vector<CString> args = SplitCommandLine(m_lpCmdLine);
    for (size_t i = 1; i < args.size(); ++i) {
        const char* param = args[i];
        BOOL flag = param[0] == '-' || param[0] == '/';
        info.ParseParam(flag ? param + 1 : param, flag, i + 1 == args.size());
    }
}

// ---- profile mode scope --------------------------------------------------------

CProfileModeScope::CProfileModeScope(CWinApp& app, const char* registryKey, const char* profileName,
                                     int)
    : m_app(app), m_savedProfileName(app.m_pszProfileName),
      m_savedRegistryKey(app.m_pszRegistryKey),
      m_profileName(profileName ? HeapCopy(profileName) : nullptr),
      m_registryKey(registryKey ? HeapCopy(registryKey) : nullptr) {
    app.m_pszProfileName = m_profileName;
    app.m_pszRegistryKey = m_registryKey;
}

CProfileModeScope::CProfileModeScope(CWinApp& app, const char* file)
    : CProfileModeScope(app, nullptr, file, 0) {}

CProfileModeScope::CProfileModeScope(CWinApp& app, const char* registryKey, const char* profileName)
    : CProfileModeScope(app, registryKey, profileName, 0) {}

CProfileModeScope::~CProfileModeScope() {
    m_app.m_pszProfileName = m_savedProfileName;
    m_app.m_pszRegistryKey = m_savedRegistryKey;
    std::free(m_profileName);
    std::free(m_registryKey);
}
