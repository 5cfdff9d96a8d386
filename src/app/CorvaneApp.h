// The application object: the whole conversion run, the data path, the private
// profile redirection and the profile value operations.
#pragma once

#include "framework/RegistryRead.h"
#include "app/RunAccount.h"
#include "framework/afx.h"

#include <cstdio>
#include <string>
#include <vector>

namespace runenv {
struct RegistryOpenResult;
}

namespace corvane {

class CPluginMenu;

class CCorvaneApp : public CWinApp {
  public:
    CCorvaneApp();
    ~CCorvaneApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // Data path: "<data path>[\sub folder][\file name]"; prompts once when none is
    // recorded. Empty when the data folder could not be created.
    CString GetDataPath(const char* pszSubFolder, const char* pszFileName);

    // The folder "Data" beside the program: the prompt's default.
    static CString DefaultDataPath();
    // The data folder a preview reports, without asking or creating anything:
    // `given` when not empty, else the recorded one, else the default. `how`
    // says which, for the preview's line; `recorded` tells whether the run
    // would find it recorded (and so not ask).
    CString PreviewDataPath(const CString& given, CString& how, bool& recorded);
    // "<program folder>\<app>.ini", where a typed data folder is recorded.
    CString ProgramIniPath() const;

    // Saves the whole application key to "<app>-registry-backup.reg" in the data
    // folder (the next free name when that exists). Every step calls it before
    // it deletes anything from the registry and deletes nothing when it returns
    // FALSE. Runs once per run; later calls return the first result.
    BOOL EnsureRegistryBackup();

    // Private profile redirection.
    BOOL SetPrivateProfile(const char* pszName);
    BOOL BeginPrivateProfile();
    BOOL EndPrivateProfile();
    // True while the profile functions work on the private profile file.
    BOOL IsPrivateProfileActive() const { return m_bPrivateProfileActive; }

    // Profile value operations (stored text forms of the host application).
    double GetProfileDouble(const char* section, const char* entry, double def);
    BOOL WriteProfileDouble(const char* section, const char* entry, double value);
    BOOL WriteProfileData(const char* section, const char* entry, const void* data, UINT count);
    BOOL GetProfileData(const char* section, const char* entry, void* buffer, UINT* pCount);
    BOOL WriteProfileIntList(const char* section, const char* entry, const CDWordArray& values);

    // Registry changes that wait until every file of the run is in place,
    // kept in the order they were asked for (PendingDeletions.cpp).
    // The deletion of a copied settings group.
    void DeleteGroupLater(HKEY hAppKey, const CString& group);
    // The deletion of the plug-in tree at `store` (below HKEY_CURRENT_USER).
    void ClearPluginStoreLater(const CString& store);
    // The change that writes `value` into HKEY_CURRENT_USER\keyPath.
    static std::string RegistryValueLater(const CString& keyPath, const RegistryValue& value);
    // Carries out one change; false when the line is not one.
    static bool CarryOutRegistryChange(const std::string& line);
    // The changes asked for so far (none are left pending).
    std::vector<std::string> TakePendingRegistryChanges();
    // Carries out the changes asked for so far, in order.
    void DeletePendingRegistryKeys();

    // Run steps.
    void AutocorrectPluginMenu();
    void CopyRegistryToIni(HKEY hAppKey);
    void FetchBankNames();
    void AutocorrectInternalBank();
    void AutocorrectHostCanDos();
    void AutocorrectPreBankLogic();
    void AutocorrectMidi();
    void AutocorrectJoystick();

    CString m_strSettings = "Settings";
    CStringArray m_arrBankNames;
    char* m_pszSavedRegistryKey = nullptr;
    char* m_pszSavedProfileName = nullptr;
    char* m_pszPrivateProfile = nullptr;
    CString m_strSectionPrefix;
    BOOL m_bRemoveSource = TRUE;
    // The data folder found when the main settings file was chosen; the files
    // of later steps go beside it without asking again.
    CString m_strDataPath;

    // Why InitInstance stopped before the end of the run, for the console entry.
    enum class RunStop {
        none,
        helpShown,
        previewShown,
        versionShown,
        nothingToConvert, // no application key, or one a completed run left
        usageError,       // the command line was not understood (exit code 2)
        dataFolderFailed, // no usable data folder, or a check before writing failed
        badAppName,
        busy,               // another run on the same registry, key or data folder
        registryUnreadable, // the registry file or an interrupted save of it cannot be read
        foreignJournal      // a journal beside the registry file that this program did not write
    };
    RunStop m_runStop = RunStop::none;
    // The message for standard error when the run stopped on a failure.
    CString m_strStopMessage;
    // Writes of this run that failed and were reported ("Error writing ...",
    // no backup); what they would have moved stayed where it was.
    int m_nFailures = 0;

    // A preview reads everything and changes nothing: no file, no folder, no
    // registry write, no prompt. It prints the account the run would give.
    BOOL m_bPreview = FALSE;
    // A preview of a run that would ask for the data folder: that run records
    // "DataPath" in the group "Settings" before the copy takes it.
    bool m_bPreviewRecordsDataPath = false;
    // What the run wrote and where every value went (the closing account).
    RunAccount m_account;
    // The settings groups the copy wrote at least one value of.
    std::vector<CString> m_copiedGroups;
    // Where a settings group ends up: "<app>.ini", "hostCanDos.ini [x]" or the
    // internal bank's file.
    CString GroupDestination(const CString& group) const;

    // Console input of the data-path prompt; null reads standard input.
    FILE* m_pConsoleInput = nullptr;

    // The registry backup: not tried yet, written, or failed (deletions off).
    enum class BackupState { notTried, written, failed };
    BackupState m_backupState = BackupState::notTried;
    // The file the backup went to (empty until written).
    CString m_strBackupFile;
    // Where the backup goes before the run has chosen its data folder (the
    // folder just typed at the prompt).
    CString m_strBackupFolder;
    // "Software\Brax\<app>" below HKEY_CURRENT_USER, set by the run; the
    // backup reads the application key from there.
    CString m_strAppKeyPath;
    // Why the last GetDataPath call returned an empty text.
    CString m_strDataPathError;
    // The data folder named on the command line (empty: recorded, or asked for).
    CString m_strGivenDataPath;
    // Set for the run's first data-folder lookup: the folder must exist (or be
    // made) and pass the checks before the first write.
    BOOL m_bFirstLookup = FALSE;

  private:
    // Counts the "DataPath" value the prompt would record, in a preview.
    void CountPreviewDataPathRecord(KeyValueCounts& counts);
    // The preview: the run's steps that read the registry, with every write
    // left out, then the account.
    void Preview();
    // Notes the files the steps after the copy would write, from the sections
    // the settings file would hold.
    void PredictAutocorrectFiles(const CString& mainFile);
    // Parts of the plug-in step: saving an existing "PlugIns.ini" aside, and
    // moving a menu that the file can hold (true when its tree left the registry).
    bool SaveEarlierPluginFile(const CString& iniPath, CString& copy);
    void ReportEarlierPluginFile(const CString& iniPath, const CString& copy, bool written);
    bool MovePluginMenu(CPluginMenu& menu, const CString& store);
    // The preview's line for one settings group.
    void PrintGroupPreview(const CString& group, const KeyValueCounts& counts, bool removed) const;
    std::vector<std::string> m_pendingRegistryChanges;
    // Where the platform records the changes still to do while the run's
    // files are put in place: "<application key>.~commit".
    std::string RunRecordKey() const;
    // Puts the run's files in place, then carries out `changes` (recorded
    // first, so that a run ended in between is finished by the next one).
    // When the files could not be put in place, only `always` is carried out.
    bool CommitFilesThen(const std::vector<std::string>& changes,
                         const std::vector<std::string>& always);
    // Finishes what a run ended after its files began to move left recorded;
    // false, with the run stopped, when its files could not be put in place.
    bool FinishInterruptedRun();

    // The command line's errors, help and version, the registry file and its
    // opening: true when the run stops there (m_runStop says how).
    bool StopsBeforeReading(const class CMyCommandLineInfo& commandLine);
    // True, with the stop recorded, when the registry could not be opened.
    bool StopsOnRegistryOpening(const runenv::RegistryOpenResult& opened);
    // True (and a line said) when the application key is missing or holds what a
    // completed run leaves.
    bool StopsWithNothingToConvert();
    // CheckBeforeFirstWrite for the run's files in `folder`; false with
    // m_strDataPathError set when it failed.
    bool CheckBeforeWrites(const CString& folder);
    // Takes the run lock of `path` (RunLock.h); false, with the run stopped
    // as busy, when another run holds it.
    bool TakeRunLockOrStop(const char* scope, const char* kind, const CString& path);

    // Streams the backup of HKEY_CURRENT_USER\keyPath into `folder`.
    bool WriteRegistryBackup(const CString& keyPath, const CString& folder, CString& error);

    // The redirection is in force (the saved profile name may itself be null).
    BOOL m_bPrivateProfileActive = FALSE;
};

// The one application object.
extern CCorvaneApp theApp;

// The private profile is in force for the lifetime of this object.
class CUsePrivateProfile {
  public:
    CUsePrivateProfile();
    virtual ~CUsePrivateProfile();
    CUsePrivateProfile(const CUsePrivateProfile&) = delete;
    CUsePrivateProfile& operator=(const CUsePrivateProfile&) = delete;

  private:
    BOOL m_bEndAtExit;
};

} // namespace corvane
