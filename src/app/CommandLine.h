// The command line of a conversion run: which application's settings, which
// section prefix, whether copied groups leave their source, and the help flags.
#pragma once

#include "framework/afx.h"

class CMyCommandLineInfo : public CCommandLineInfo {
  public:
    // "app=<name>", "mirel", "halbrek" and "keep" after "-" or "/", in any case;
    // "/?", "-?", "-h" and "--help" ask for the usage text. Every argument then
    // goes on to the framework's own parser.
    void ParseParam(const char* pszParam, BOOL bFlag, BOOL bLast) override;

    CString m_strAppName = "Corvane";
    CString m_strSectionPrefix;
    BOOL m_bRemoveSource = TRUE;
    // Set by a help flag: the run prints the usage and changes nothing.
    BOOL m_bShowHelp = FALSE;
    // "preview", "n" or "--dry-run": show what the run would do, change nothing.
    BOOL m_bPreview = FALSE;
};

// The text printed for the help flags.
const char* UsageText();
