// The application object and the order of the conversion run.
#include "app/CorvaneApp.h"

#include "app/AppName.h"
#include "app/CommandLine.h"
#include "framework/RegistryRead.h"
#include "platform/RunEnvironment.h"
#include "app/RunLock.h"
#include "platform/RegistryText.h"
#include "platform/RunFiles.h"

#include <cstdlib>
#include <cstring>

namespace corvane {

CCorvaneApp theApp;

namespace {

// The company key below HKEY_CURRENT_USER\Software.
const char kCompanyKey[] = "Brax";

// The absolute form of a folder path (itself when it has none).
CString FullPathOf(const CString& path) {
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? CString(full) : path;
}

// Why the "DataPath" value of the group "Settings" cannot be read through the
// code page as it is; empty when it can or when there is none.
std::string RecordedDataPathLoss(HKEY hAppKey) {
    HKEY settings = nullptr;
    if (!hAppKey || RegOpenKeyA(hAppKey, "Settings", &settings) != ERROR_SUCCESS || !settings)
        return std::string();
    std::string loss = RegistryNamedValueAnsiLoss(settings, "DataPath");
    RegCloseKey(settings);
    return loss;
}

} // namespace

CCorvaneApp::CCorvaneApp() = default;

bool CCorvaneApp::TakeRunLockOrStop(const char* scope, const char* kind, const CString& path) {
    if (TakeRunLock(RunLockName(scope, kind, path)) == RunLockResult::taken)
        return true;
    m_runStop = RunStop::busy;
    m_strStopMessage.Format("%s: another run is converting it; nothing was changed. Run again "
                            "when it has finished",
                            path.GetString());
    return false;
}

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
    if (const char* problem = AppNameProblem(commandLine.m_strAppName)) {
        // The name becomes file names: nothing is read or written with a bad one.
        m_runStop = RunStop::badAppName;
        m_strStopMessage.Format("/app=%s: the application name %s; nothing was done",
                                commandLine.m_strAppName.GetString(), problem);
        return TRUE;
    }
    m_strSectionPrefix = commandLine.m_strSectionPrefix;
    m_bRemoveSource = commandLine.m_bRemoveSource;

    SetRegistryKey(kCompanyKey);
    ReplaceHeapString(m_pszProfileName, commandLine.m_strAppName);
    ReplaceHeapString(m_pszAppName, commandLine.m_strAppName);
    m_strAppKeyPath = CString("Software\\") + m_pszRegistryKey + "\\" + m_pszAppName;
    m_strGivenDataPath = runenv::ExpandTypedPath(commandLine.m_strDataPath.str());
    // A run ended while its files were being put in place is finished first:
    // what it left may be all there is to convert.
    if (!commandLine.m_bPreview) {
        if (!TakeRunLockOrStop("Local", "key", "HKEY_CURRENT_USER\\" + m_strAppKeyPath) ||
            !FinishInterruptedRun())
            return TRUE;
    }
    // Nothing to convert is said, not done, in a preview too.
    if (StopsWithNothingToConvert())
        return TRUE;
    if (commandLine.m_bPreview) {
        // The preview opens nothing for writing: the registry-mode profile
        // functions would create the keys they read.
        m_bPreview = TRUE;
        m_runStop = RunStop::previewShown;
        Preview();
        return TRUE;
    }

    // Every file of the run, the program-side record included, is kept apart
    // until the end of the run.
    BeginRunFiles();
    HKEY hAppKey = GetAppRegistryKey();
    // "DataPath" as it is before the run, type and data, to be put back at the end.
    RegistryValue oldDataPath;
    bool hadDataPath =
        ReadRegistryValue(m_strAppKeyPath + "\\" + m_strSettings, "DataPath", oldDataPath);
    // A recorded folder the code page cannot spell would be written to (and
    // recorded again) as another one: stop before anything changes.
    std::string dataPathLoss = RecordedDataPathLoss(hAppKey);
    if (!dataPathLoss.empty()) {
        m_runStop = RunStop::dataFolderFailed;
        m_strStopMessage = CString("the data folder recorded as DataPath cannot be used: ") +
                           dataPathLoss.c_str() +
                           "; nothing was changed. Choose another folder with /datapath=<folder>";
        if (hAppKey)
            RegCloseKey(hAppKey);
        CommitFilesThen({}, {});
        return TRUE;
    }

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
        CommitFilesThen({}, {});
        return TRUE;
    }
    m_strDataPath = dataPath;
    if (!TakeRunLockOrStop("Global", "folder", FullPathOf(dataPath))) {
        if (hAppKey)
            RegCloseKey(hAppKey);
        CommitFilesThen({}, {});
        return TRUE;
    }
    CString appIniName = CString(m_pszAppName) + ".ini";
    CString mainSettingsFile =
        dataPath + CString(std::string(1, runenv::PathSeparator())) + appIniName;

    // INI mode: the profile functions work on the main settings file.
    CProfileModeScope iniMode(*this, mainSettingsFile);

    printf("Autocorrect plugin menu\n");
    AutocorrectPluginMenu();

    printf("Copy from registry to %s\n", appIniName.GetString());
    if (hAppKey)
        CopyRegistryToIni(hAppKey);

    // These steps print their own heading lines.
    FetchBankNames();
    AutocorrectInternalBank();
    AutocorrectHostCanDos();
    AutocorrectPreBankLogic();
    AutocorrectMidi();
    AutocorrectJoystick();

    // "DataPath" goes back into the registry as it was before: the same type
    // and bytes, or an empty text when there was none.
    RegistryValue restoredDataPath = oldDataPath;
    if (!hadDataPath) {
        restoredDataPath.name = "DataPath";
        restoredDataPath.type = REG_SZ;
        restoredDataPath.data.assign(1, 0);
    }
    // The files first: a run that ends before they are all in place has
    // removed nothing from the registry.
    if (!CommitFilesThen(
            TakePendingRegistryChanges(),
            {RegistryValueLater(m_strAppKeyPath + "\\" + m_strSettings, restoredDataPath)})) {
        printf("Error writing the files of the data folder: nothing was removed from the "
               "registry\n");
        ++m_nFailures;
    }
    if (hAppKey)
        RegCloseKey(hAppKey);
    fputs(m_account.Format().c_str(), stdout);
    return TRUE;
}

int CCorvaneApp::ExitInstance() {
    EndPrivateProfile();
    SetPrivateProfile(nullptr);
    return CWinApp::ExitInstance();
}

} // namespace corvane
