#include "app/CommandLine.h"

#include <cstring>

namespace {

// True when the flag text (without its leading '-' or '/') asks for help.
bool IsHelpFlag(const char* text) {
    return strcmp(text, "?") == 0 || _stricmp(text, "h") == 0 || _stricmp(text, "help") == 0 ||
           _stricmp(text, "-help") == 0;
}

// Case-insensitive, multi-byte aware equality of two texts.
bool EqualsNoCase(const char* a, const char* b) {
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a),
                    reinterpret_cast<const unsigned char*>(b)) == 0;
}

} // namespace

void CMyCommandLineInfo::ParseParam(const char* pszParam, BOOL bFlag, BOOL bLast) {
    const char* text = pszParam ? pszParam : "";
    if (bFlag) {
        if (strlen(text) >= 4 &&
            _mbsnicmp(reinterpret_cast<const unsigned char*>(text),
                      reinterpret_cast<const unsigned char*>("app="), 4) == 0) {
            CString name(text + 4);
            name.Trim();
            // An empty name keeps the one chosen before.
            if (!name.IsEmpty())
                m_strAppName = name;
        } else if (EqualsNoCase(text, "mirel")) {
            m_strSectionPrefix = "Mirel";
        } else if (EqualsNoCase(text, "halbrek")) {
            m_strSectionPrefix = "Halbrek";
        } else if (EqualsNoCase(text, "keep")) {
            m_bRemoveSource = FALSE;
        } else if (IsHelpFlag(text)) {
            m_bShowHelp = TRUE;
        }
    }
    CCommandLineInfo::ParseParam(pszParam, bFlag, bLast);
}

const char* UsageText() {
    return "Usage: corvane-migrate [/app=<name>] [/mirel | /halbrek] [/keep] [/?]\n"
           "\n"
           "Moves the settings of an application (default Corvane) from the registry key\n"
           "HKEY_CURRENT_USER\\Software\\Brax\\<name> into INI files in its data folder:\n"
           "  <name>.ini       every settings group, one section per registry key\n"
           "  PlugIns.ini      the plug-in menu\n"
           "  hostCanDos.ini   the host-capability groups\n"
           "  #Intern*.corvane the \"Load\" and \"Program n\" sections\n"
           "The copied registry keys and the plug-in menu tree are deleted; before the\n"
           "first deletion the whole key is saved to <name>-registry-backup.reg in the\n"
           "data folder. When no data folder is recorded, the run asks for one on the\n"
           "console and records it in <program folder>\\<name>.ini.\n"
           "\n"
           "Flags (after - or /, in any case):\n"
           "  app=<name>  convert the settings of application <name>\n"
           "  mirel       read the sections with the prefix \"Mirel\"\n"
           "  halbrek     read the sections with the prefix \"Halbrek\"\n"
           "  keep        keep the \"Settings\" and \"Load\" groups in their source\n"
           "  ?, h, help  show this text and change nothing (also --help)\n"
           "\n"
           "On Linux the registry is the registry export file named by the environment\n"
           "variable CORVANE_REGISTRY (default: HKCU.reg in the current folder), and the\n"
           "Windows user's 8-bit code page, in which INI files, REGEDIT4 exports, the\n"
           "console and the command line are read and written, is CORVANE_CODEPAGE:\n"
           "1250-1258, 874, 932, 936, 949, 950 or 65001 (UTF-8); default 1252.\n"
           "Text the code page cannot hold stays in the registry (\"Kept\" lines).\n"
           "\n"
           "Exit codes: 0 done, 1 framework start-up failed (the run still completed),\n"
           "2 application start-up failed, 3 COM could not be initialised, 4 the registry\n"
           "store could not be read or the data folder could not be created.\n";
}
