// The application object of the framework: the profile functions in registry
// mode and INI mode, the company registry key, and command-line parsing.
#pragma once

#include "framework/CString.h"
#include "platform/winapi.h"

#include <string>

class CCommandLineInfo {
  public:
    enum { FileNew, FileOpen, FilePrint, FilePrintTo, FileDDE, AppUnregister, FileNothing = -1 };

    virtual ~CCommandLineInfo() = default;
    // Called once per argument; a flag comes without its leading '-' or '/'.
    // The base takes the first plain argument as the file to open.
    virtual void ParseParam(const char* pszParam, BOOL bFlag, BOOL bLast);

    BOOL m_bShowSplash = TRUE;
    BOOL m_bRunEmbedded = FALSE;
    BOOL m_bRunAutomated = FALSE;
    int m_nShellCommand = FileNew;
    CString m_strFileName;
};

class CWinApp {
  public:
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitApplication();
    virtual BOOL InitInstance();
    virtual int ExitInstance();

    // Registry mode: values under HKCU\software\<key>\<profile name>.
    void SetRegistryKey(const char* company);
    // HKCU\software\<registry key>\<profile name>, created when missing; null on failure.
    // The caller closes it.
    HKEY GetAppRegistryKey();
    HKEY GetSectionKey(const char* section);
    HKEY OpenSectionKeyForReading(const char* section);

    // Registry mode (m_pszRegistryKey set): REG_SZ strings and REG_DWORD
    // integers in the section key; a null entry deletes the section key, a
    // null value deletes the value. INI mode: the private-profile functions on
    // m_pszProfileName; values of any length are read whole. A null profile
    // name reads the defaults and writes nothing (FALSE).
    CString GetProfileString(const char* section, const char* entry, const char* def = nullptr);
    BOOL WriteProfileString(const char* section, const char* entry, const char* value);
    UINT GetProfileInt(const char* section, const char* entry, int def);
    BOOL WriteProfileInt(const char* section, const char* entry, int value);

    // Splits m_lpCmdLine as the C runtime splits a command line and hands each
    // argument after the program name to info.ParseParam.
    void ParseCommandLine(CCommandLineInfo& info);

    // Frees the heap string `member` and gives it a copy of `text` (null stays
    // null); memory failure throws.
    static void ReplaceHeapString(const char*& member, const char* text);

    // Heap strings (malloc/free), as the framework keeps them; the destructor
    // frees the four of them.
    const char* m_pszAppName = nullptr;
    const char* m_pszProfileName = nullptr;
    const char* m_pszRegistryKey = nullptr;
    const char* m_pszExeName = nullptr;
    HINSTANCE m_hInstance = nullptr;
    // AfxWinInit's command line (a copy the application object owns).
    LPSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = 0;

  private:
    friend BOOL AfxWinInit(HINSTANCE, HINSTANCE, LPSTR, int);
    // Fills m_pszExeName and, when they are unset, m_pszAppName (the
    // executable's name without extension) and m_pszProfileName (that name +
    // ".INI"). FALSE when the executable's name cannot be had.
    BOOL SetDefaultNames();

    std::string m_strCmdLine;
};

// For the length of a scope the application's profile functions work on one INI
// file, or in registry mode under one company key and profile name; the mode in
// force before comes back when the scope ends. The scope owns the names it puts
// in force. Scopes end in the reverse order of their start.
class CProfileModeScope {
  public:
    // INI mode on `file`.
    CProfileModeScope(CWinApp& app, const char* file);
    // Registry mode: HKEY_CURRENT_USER\Software\<registryKey>\<profileName>.
    CProfileModeScope(CWinApp& app, const char* registryKey, const char* profileName);
    ~CProfileModeScope();
    CProfileModeScope(const CProfileModeScope&) = delete;
    CProfileModeScope& operator=(const CProfileModeScope&) = delete;

  private:
    CProfileModeScope(CWinApp& app, const char* registryKey, const char* profileName, int);

    CWinApp& m_app;
    const char* m_savedProfileName;
    const char* m_savedRegistryKey;
    char* m_profileName;
    char* m_registryKey;
};

// The one application object (the last one constructed and not yet
// destroyed), or null.
CWinApp* AfxGetApp();
// Stores the instance, a copy of the command line and the show command in the
// application object and gives it its default names. FALSE when there is no
// application object or the executable's name cannot be had.
BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);
void AfxEnableControlContainer();

class CMenu {
  public:
    virtual ~CMenu() = default;
};
