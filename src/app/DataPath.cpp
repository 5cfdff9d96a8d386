// The data folder: the recorded "DataPath", or one asked for on the console,
// created and recorded.
#include "app/CorvaneApp.h"
#include "framework/WholeReads.h"
#include "framework/RegistryRead.h"

#include "app/RunChecks.h"
#include "platform/RunEnvironment.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace corvane {

namespace {

// One line of console input without its line end; false at the end of input
// before any character. The line is taken whole, however long.
bool ReadConsoleLine(FILE* input, std::string& line) {
    line.clear();
    int ch = EOF;
    bool any = false;
    while ((ch = fgetc(input)) != EOF) {
        any = true;
        if (ch == '\n')
            break;
        line += static_cast<char>(ch);
    }
    return any;
}

// The full path of the running program, however long.
CString ModulePath() {
    return CString(ReadModulePath());
}

// The folder part of a path: everything before its last separator.
CString FolderOf(const CString& path) {
    int cut = std::max(path.ReverseFind('\\'), path.ReverseFind('/'));
    return cut >= 0 ? path.Left(cut) : CString();
}

// True when the path names an existing folder.
bool IsFolder(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

CString CCorvaneApp::GetDataPath(const char* pszSubFolder, const char* pszFileName) {
    CString subFolder(pszSubFolder);
    CString fileName(pszFileName);
    CString separator(std::string(1, runenv::PathSeparator()));
    m_strDataPathError.Empty();

    // Once the run has chosen its data folder, every file goes beside the main
    // settings file, whatever the current profile records. A folder given on the
    // command line wins over the recorded one.
    CString path = m_strDataPath;
    if (path.IsEmpty() && m_strGivenDataPath.IsEmpty()) {
        path = GetProfileString(m_strSettings, "DataPath", "");
        if (!path.IsEmpty() && m_bFirstLookup && !IsFolder(path)) {
            m_strDataPathError.Format("the recorded data folder \"%s\" does not exist; create it, "
                                      "or name another with /datapath=<folder>",
                                      path.GetString());
            return CString();
        }
        if (!path.IsEmpty() && m_bFirstLookup && !CheckBeforeWrites(path))
            return CString();
    }
    if (path.IsEmpty()) {
        CString programFolder = FolderOf(ModulePath());
        CString defaultPath = DefaultDataPath();
        if (!m_strGivenDataPath.IsEmpty()) {
            path = m_strGivenDataPath;
        } else {
            printf("Enter %s's new data path (will be created if it doesn't exist):\n",
                   m_pszAppName ? m_pszAppName : "");
            printf("Default: %s\n", defaultPath.GetString());
            fflush(stdout);

            std::string line;
            ReadConsoleLine(m_pConsoleInput ? m_pConsoleInput : stdin, line);
            CString typed(line);
            typed.Trim();
            path = typed.IsEmpty() ? defaultPath : CString(runenv::ExpandTypedPath(typed.str()));
        }

        // A folder whose files could not be opened is not made at all.
        if (m_bFirstLookup) {
            m_strDataPathError = PathTooLong(path, DataFileNames(m_pszAppName, m_strSectionPrefix));
            if (!m_strDataPathError.IsEmpty())
                return CString();
        }
        // One level only: a missing parent folder is not created.
        if (_mkdir(path) != 0) {
            int error = errno;
            if (error != EEXIST || !IsFolder(path)) {
                m_strDataPathError.Format(
                    "cannot create the data folder \"%s\": %s", path.GetString(),
                    error == EEXIST ? "a file of that name exists" : strerror(error));
                if (path.GetLength() >= MAX_PATH)
                    m_strDataPathError.AppendFormat(" (the path is %d characters long; Windows "
                                                    "allows %d)",
                                                    path.GetLength(), MAX_PATH - 1);
                return CString();
            }
        }
        if (m_bFirstLookup && !CheckBeforeWrites(path))
            return CString();

        // The record changes the registry: its backup holds the key as it
        // was before.
        if (m_pszRegistryKey && !m_strAppKeyPath.IsEmpty()) {
            m_strBackupFolder = path;
            EnsureRegistryBackup();
        }
        // The program-side record is a convenience for the host: a program
        // folder that takes no file (as under Program Files) does not fail the run.
        CString programIni = ProgramIniPath();
        // Probed first: a write that is only cached would fail at the final save.
        std::string refused = runenv::ProbeFolderWritable(programFolder.str());
        if (refused.empty())
            refused = runenv::ProbeFileReplaceable(programIni.str());
        if (refused.empty() &&
            !WritePrivateProfileStringA("Settings", "DataPath", path, programIni))
            refused = runenv::SystemErrorText(GetLastError());
        if (!refused.empty()) {
            fprintf(
                stderr,
                "corvane-migrate: warning: the data folder could not be recorded in \"%s\": %s\n",
                programIni.GetString(), refused.c_str());
            fflush(stderr);
        } else {
            m_account.NoteFile(programIni);
        }
        WriteProfileString(m_strSettings, "DataPath", path);
    }

    if (!subFolder.IsEmpty()) {
        path += separator + subFolder;
        _mkdir(path);
    }
    if (!fileName.IsEmpty())
        path += separator + fileName;
    return path;
}

CString CCorvaneApp::DefaultDataPath() {
    return FolderOf(ModulePath()) + CString(std::string(1, runenv::PathSeparator())) + "Data";
}

CString CCorvaneApp::ProgramIniPath() const {
    return FolderOf(ModulePath()) + CString(std::string(1, runenv::PathSeparator())) +
           (m_pszAppName ? m_pszAppName : "") + ".ini";
}

CString CCorvaneApp::PreviewDataPath(const CString& given, CString& how, bool& recorded) {
    recorded = false;
    if (!given.IsEmpty()) {
        how = "given on the command line";
        return given;
    }
    // Read without the profile functions, which would create the key.
    RegistryValue stored;
    CString recordedPath;
    if (ReadRegistryValue(m_strAppKeyPath + "\\" + m_strSettings, "DataPath", stored) &&
        (stored.type == REG_SZ || stored.type == REG_EXPAND_SZ))
        recordedPath = CString(std::string(stored.data.begin(), stored.data.end()).c_str());
    if (!recordedPath.IsEmpty()) {
        how = "recorded";
        recorded = true;
        return recordedPath;
    }
    how = "none is recorded: the default, which the run's prompt offers";
    return DefaultDataPath();
}

bool CCorvaneApp::CheckBeforeWrites(const CString& folder) {
    m_strDataPathError =
        CheckBeforeFirstWrite(folder, DataFileNames(m_pszAppName, m_strSectionPrefix));
    return m_strDataPathError.IsEmpty();
}

} // namespace corvane
