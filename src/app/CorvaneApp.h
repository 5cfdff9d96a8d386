// The application object: the whole conversion run, the data path, the private
// profile redirection and the profile value operations.
#pragma once

#include "framework/afx.h"

class CCorvaneApp : public CWinApp {
public:
    CCorvaneApp();
    ~CCorvaneApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // Data path: "<data path>[\sub folder][\file name]"; prompts once when none is
    // recorded. Empty when the data folder could not be created.
    CString GetDataPath(const char* pszSubFolder, const char* pszFileName);

    // Private profile redirection.
    BOOL SetPrivateProfile(const char* pszName);
    BOOL BeginPrivateProfile();
    BOOL EndPrivateProfile();

    // Profile value operations (stored text forms of the host application).
    double GetProfileDouble(const char* section, const char* entry, double def);
    BOOL WriteProfileDouble(const char* section, const char* entry, double value);
    BOOL WriteProfileData(const char* section, const char* entry, const void* data, UINT count);
    BOOL GetProfileData(const char* section, const char* entry, void* buffer, UINT* pCount);
    BOOL WriteProfileIntList(const char* section, const char* entry, const CDWordArray& values);

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
    CString m_strSelectAtEnd;
    BOOL m_bEndAtExit;
};
