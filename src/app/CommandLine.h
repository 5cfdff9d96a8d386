// The command line of a conversion run: which application's settings, which
// section prefix, whether copied groups leave their source, the data folder and
// (Linux) the registry file, and the help and version flags. An argument the
// run does not know stops it before it reads anything.
#pragma once

#include "framework/afx.h"

namespace corvane {

class CMyCommandLineInfo : public CCommandLineInfo {
  public:
    // "app=<name>", "mirel", "halbrek", "keep", "datapath=<folder>" and
    // "registry=<file>" after "-" or "/", in any case; "/?", "-?", "-h" and
    // "--help" ask for the usage text, "/version" and "--version" for the
    // version. Anything else (an unknown flag, a plain argument) is recorded in
    // m_strError. Every argument then goes on to the framework's own parser.
    void ParseParam(const char* pszParam, BOOL bFlag, BOOL bLast) override;

    CString m_strAppName = "Corvane";
    CString m_strSectionPrefix;
    BOOL m_bRemoveSource = TRUE;
    // Set by a help flag: the run prints the usage and changes nothing.
    BOOL m_bShowHelp = FALSE;
    // "preview", "n" or "--dry-run": show what the run would do, change nothing.
    BOOL m_bPreview = FALSE;
    // Set by a version flag: the run prints its version and changes nothing.
    BOOL m_bShowVersion = FALSE;
    // The data folder named on the command line (empty: the recorded one, or ask).
    CString m_strDataPath;
    // The registry file named on the command line (empty: the platform's default).
    CString m_strRegistryFile;
    // Why the command line cannot be run (the first argument not understood);
    // empty when every argument was understood.
    CString m_strError;
};

// The text printed for the help flags.
const char* UsageText();

// The one-line usage shown with a command-line error.
const char* ShortUsageText();

} // namespace corvane
