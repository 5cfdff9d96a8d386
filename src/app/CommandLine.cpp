#include "app/CommandLine.h"

#include <cstring>

namespace corvane {

namespace {

// True when the flag text (without its leading '-' or '/') asks for help.
bool IsHelpFlag(const char* text) {
    return strcmp(text, "?") == 0 || _stricmp(text, "h") == 0 || _stricmp(text, "help") == 0 ||
           _stricmp(text, "-help") == 0;
}

// True when the flag text (without its leading '-' or '/') asks for a preview.
bool IsPreviewFlag(const char* text) {
    return _stricmp(text, "preview") == 0 || _stricmp(text, "n") == 0 ||
           _stricmp(text, "-dry-run") == 0;
}

// True when the flag text asks for the version ("/version", "--version").
bool IsVersionFlag(const char* text) {
    return _stricmp(text, "version") == 0 || _stricmp(text, "-version") == 0;
}

// Case-insensitive, multi-byte aware equality of two texts.
bool EqualsNoCase(const char* a, const char* b) {
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a),
                    reinterpret_cast<const unsigned char*>(b)) == 0;
}

// True when text starts with `name` ("app=", ...) in any case; its value is
// then the rest of the text.
bool HasValuePrefix(const char* text, const char* name) {
    size_t length = strlen(name);
    return strlen(text) >= length &&
           _mbsnicmp(reinterpret_cast<const unsigned char*>(text),
                     reinterpret_cast<const unsigned char*>(name), length) == 0;
}

// The value of a "name=value" flag without blanks around it.
CString FlagValue(const char* text, const char* name) {
    CString value(text + strlen(name));
    value.Trim();
    return value;
}

} // namespace

void CMyCommandLineInfo::ParseParam(const char* pszParam, BOOL bFlag, BOOL bLast) {
    const char* text = pszParam ? pszParam : "";
    CString error;
    if (!bFlag) {
        error.Format("unexpected argument \"%s\" (flags start with / or -)", text);
    } else if (HasValuePrefix(text, "app=")) {
        CString name = FlagValue(text, "app=");
        // An empty name keeps the one chosen before.
        if (!name.IsEmpty())
            m_strAppName = name;
    } else if (HasValuePrefix(text, "datapath=")) {
        m_strDataPath = FlagValue(text, "datapath=");
        if (m_strDataPath.IsEmpty())
            error = "/datapath= needs a folder";
    } else if (HasValuePrefix(text, "registry=")) {
        m_strRegistryFile = FlagValue(text, "registry=");
        if (m_strRegistryFile.IsEmpty())
            error = "/registry= needs a file";
    } else if (EqualsNoCase(text, "mirel")) {
        m_strSectionPrefix = "Mirel";
    } else if (EqualsNoCase(text, "halbrek")) {
        m_strSectionPrefix = "Halbrek";
    } else if (EqualsNoCase(text, "keep")) {
        m_bRemoveSource = FALSE;
    } else if (IsPreviewFlag(text)) {
        m_bPreview = TRUE;
    } else if (IsHelpFlag(text)) {
        m_bShowHelp = TRUE;
    } else if (IsVersionFlag(text)) {
        m_bShowVersion = TRUE;
    } else {
        error.Format("unknown flag \"%s\"", text);
    }
    // The first problem is the one reported.
    if (m_strError.IsEmpty())
        m_strError = error;
    CCommandLineInfo::ParseParam(pszParam, bFlag, bLast);
}

const char* ShortUsageText() {
    return "usage: corvane-migrate [/app=<name>] [/mirel | /halbrek] [/keep] "
           "[/preview] [/datapath=<folder>] [/registry=<file>] [/version] [/?]";
}

const char* UsageText() {
    return "Usage: corvane-migrate [/app=<name>] [/mirel | /halbrek] [/keep] [/preview]\n"
           "                       [/datapath=<folder>] [/registry=<file>] [/version] [/?]\n"
           "\n"
           "Moves the settings of an application (default Corvane) from the registry key\n"
           "HKEY_CURRENT_USER\\Software\\Brax\\<name> into INI files in its data folder:\n"
           "  <name>.ini       every settings group, one section per registry key\n"
           "  PlugIns.ini      the plug-in menu\n"
           "  hostCanDos.ini   the host-capability groups\n"
           "  #Intern*.corvane the \"Load\" and \"Program n\" sections\n"
           "The copied registry keys and the plug-in menu tree are deleted; before the\n"
           "first deletion the whole key is saved to <name>-registry-backup.reg in the\n"
           "data folder. When no data folder is recorded or given, the run asks for one\n"
           "on the console and records it in <program folder>\\<name>.ini.\n"
           "\n"
           "Flags (after - or /, in any case):\n"
           "  app=<name>        convert the settings of application <name>\n"
           "  mirel             read the sections with the prefix \"Mirel\"\n"
           "  halbrek           read the sections with the prefix \"Halbrek\"\n"
           "  keep              keep the \"Settings\" and \"Load\" groups in their source\n"
           "  preview           show what the run would do and change nothing (also -n,\n"
           "                    --dry-run)\n"
           "  datapath=<folder> use this data folder without asking (created one level\n"
           "                    deep, recorded like a typed answer)\n"
           "  registry=<file>   (Linux) the registry export file to convert\n"
           "  version           show the version and the build (also --version)\n"
           "  ?, h, help        show this text and change nothing (also --help)\n"
           "Any other argument stops the run before it reads anything (exit code 2).\n"
           "\n"
           "On Linux the registry is the registry export file named by /registry= or by\n"
           "the environment variable CORVANE_REGISTRY (default: HKCU.reg in the current\n"
           "folder; it must exist), and the Windows user's 8-bit code page, in which INI\n"
           "files, REGEDIT4 exports, the console and the command line are read and\n"
           "written, is CORVANE_CODEPAGE: 1250-1258, 874, 932, 936, 949, 950 or 65001\n"
           "(UTF-8); default 1252.\n"
           "Text the code page cannot hold stays in the registry (\"Kept\" lines).\n"
           "\n"
           "Exit codes:\n"
           "  0  done; also after help or version, when there is nothing to convert, and\n"
           "     when the registry was already converted\n"
           "  1  framework start-up failed (the run still completed)\n"
           "  2  the command line was not understood, the /app= name is not a plain file\n"
           "     name, or the application could not start; nothing was read or changed\n"
           "  3  COM could not be initialised; nothing was changed\n"
           "  4  stopped before changing anything: the registry file is missing or\n"
           "     unreadable, the data folder is missing or cannot be created, or a check\n"
           "     before the first write failed (a folder or file not writable, a path too\n"
           "     long)\n"
           "  5  the run ended, but writes failed or the results could not all be saved;\n"
           "     what was not moved stays where it was\n"
           "  6  another run is converting the same registry (file) or into the same data\n"
           "     folder; nothing was changed\n";
}

} // namespace corvane
