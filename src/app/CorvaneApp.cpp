// The application object and the order of the conversion run.
#include "app/CorvaneApp.h"

#include "app/CommandLine.h"
#include "platform/RunEnvironment.h"

#include <cstdlib>
#include <cstring>

CCorvaneApp theApp;

namespace {

// The company key below HKEY_CURRENT_USER\Software.
const char kCompanyKey[] = "Brax";

// A heap copy for the framework's string members (released with free).
char* HeapCopy(const char* text) {
    return strdup(text ? text : "");
}

} // namespace

CCorvaneApp::CCorvaneApp() = default;

CCorvaneApp::~CCorvaneApp() {
    // The framework frees its profile name: it must not be the private profile.
    EndPrivateProfile();
    SetPrivateProfile(nullptr);
}

BOOL CCorvaneApp::InitInstance() {
    CWinApp::InitInstance();
    if (FAILED(CoInitialize(nullptr)))
        return FALSE;
    AfxEnableControlContainer();

    CMyCommandLineInfo commandLine;
    ParseCommandLine(commandLine);
    if (StopsBeforeReading(commandLine))
        return TRUE;
    m_strSectionPrefix = commandLine.m_strSectionPrefix;
    m_bRemoveSource = commandLine.m_bRemoveSource;

    SetRegistryKey(kCompanyKey);
    free(const_cast<char*>(m_pszProfileName));
    m_pszProfileName = HeapCopy(commandLine.m_strAppName);
    free(const_cast<char*>(m_pszAppName));
    m_pszAppName = HeapCopy(commandLine.m_strAppName);
    m_strAppKeyPath = CString("Software\\") + m_pszRegistryKey + "\\" + m_pszAppName;
    if (StopsWithNothingToConvert())
        return TRUE;
    m_strGivenDataPath = runenv::ExpandTypedPath(commandLine.m_strDataPath.str());
    // The registry-mode pair, restored for one write after the copy.
    const char* registryKey = m_pszRegistryKey;
    const char* registryProfile = m_pszProfileName;

    HKEY hAppKey = GetAppRegistryKey();
    CString oldDataPath = GetProfileString(m_strSettings, "DataPath", "");

    // The data folder; every file of the run goes there.
    m_bFirstLookup = TRUE;
    CString dataPath = GetDataPath(nullptr, nullptr);
    m_bFirstLookup = FALSE;
    if (dataPath.IsEmpty()) {
        // Nothing has been written or deleted yet: stop here.
        m_runStop = RunStop::dataFolderFailed;
        m_strStopMessage =
            m_strDataPathError.IsEmpty() ? CString("no data folder") : m_strDataPathError;
        m_strStopMessage += "; nothing was changed";
        if (hAppKey)
            RegCloseKey(hAppKey);
        return TRUE;
    }
    m_strDataPath = dataPath;
    CString appIniName = CString(m_pszAppName) + ".ini";
    CString mainSettingsFile =
        dataPath + CString(std::string(1, runenv::PathSeparator())) + appIniName;

    // INI mode: the profile functions work on the main settings file.
    char* iniProfile = HeapCopy(mainSettingsFile);
    m_pszProfileName = iniProfile;
    m_pszRegistryKey = nullptr;

    printf("Autocorrect plugin menu\n");
    AutocorrectPluginMenu();

    printf("Copy from registry to %s\n", appIniName.GetString());
    if (hAppKey)
        CopyRegistryToIni(hAppKey);

    // "DataPath" goes back into the registry with the value it had before.
    m_pszRegistryKey = registryKey;
    m_pszProfileName = registryProfile;
    WriteProfileString("Settings", "DataPath", oldDataPath);
    m_pszProfileName = iniProfile;
    m_pszRegistryKey = nullptr;
    free(const_cast<char*>(registryKey));
    free(const_cast<char*>(registryProfile));
    if (hAppKey)
        RegCloseKey(hAppKey);

    GetDataPath(nullptr, nullptr);

    // These steps print their own heading lines.
    FetchBankNames();
    AutocorrectInternalBank();
    AutocorrectHostCanDos();
    AutocorrectPreBankLogic();
    AutocorrectMidi();
    AutocorrectJoystick();
    return TRUE;
}

int CCorvaneApp::ExitInstance() {
    EndPrivateProfile();
    SetPrivateProfile(nullptr);
    return CWinApp::ExitInstance();
}
