#include "ini/IniFileIo.h"

#include <cstdio>

namespace ini_io {

namespace {

// Opens with the retry rule; stopCause ends the retries at once (besides badPath).
bool OpenWithRetry(CFile& file, const char* path, UINT flags, int stopCause) {
    for (int attempt = 1;; ++attempt) {
        CFileException error;
        if (file.Open(path, flags, &error))
            return true;
        if (error.m_cause == CFileException::badPath || error.m_cause == stopCause ||
            attempt >= kOpenAttempts)
            return false;
        Sleep(kRetryDelayMs);
    }
}

// Writes all bytes, in pieces that fit the count of one call.
void WriteAll(CFile& file, const std::string& bytes) {
    constexpr size_t kPiece = size_t(1) << 24;
    for (size_t done = 0; done < bytes.size(); done += kPiece) {
        size_t count = bytes.size() - done < kPiece ? bytes.size() - done : kPiece;
        file.Write(bytes.data() + done, static_cast<UINT>(count));
    }
}

// Writes the target itself: used only when no temporary name fits MAX_PATH.
WriteResult WriteInPlace(const char* fullPath, const std::string& bytes) {
    CFile file;
    if (!OpenWithRetry(file, fullPath,
                       CFile::modeCreate | CFile::modeWrite | CFile::shareDenyRead |
                           CFile::modeNoInherit,
                       CFileException::badPath))
        return WriteResult::NotOpened;
    try {
        WriteAll(file, bytes);
        file.Close();
        return WriteResult::Written;
    } catch (CException&) {
        file.Abort();
        return WriteResult::Failed;
    }
}

} // namespace

bool OpenForReading(CFile& file, const char* path) {
    return OpenWithRetry(file, path, CFile::modeRead | CFile::shareDenyWrite | CFile::modeNoInherit,
                         CFileException::fileNotFound);
}

WriteResult ReplaceFile(const char* fullPath, const std::string& bytes) {
    DWORD attributes = GetFileAttributesA(fullPath);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return WriteResult::NotOpened;
    }

    // One temporary name per process: a process saves one file at a time, and
    // two processes never share a temporary file.
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".~%08lx.tmp",
                  static_cast<unsigned long>(GetCurrentProcessId()));
    std::string temp = std::string(fullPath) + suffix;
    if (temp.size() >= MAX_PATH)
        return WriteInPlace(fullPath, bytes);

    CFile file;
    if (!OpenWithRetry(file, temp.c_str(),
                       CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive |
                           CFile::modeNoInherit,
                       CFileException::badPath))
        return WriteResult::NotOpened;
    try {
        WriteAll(file, bytes);
        file.Flush();
        file.Close();
    } catch (CException&) {
        file.Abort();
        DeleteFileA(temp.c_str());
        return WriteResult::Failed;
    }

    // On Windows a process reading the target refuses the rename for a moment.
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExA(temp.c_str(), fullPath, MOVEFILE_REPLACE_EXISTING))
            return WriteResult::Written;
        DWORD error = GetLastError();
        if (error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND ||
            attempt >= kOpenAttempts)
            break;
        Sleep(kRetryDelayMs);
    }
    DWORD error = GetLastError();
    DeleteFileA(temp.c_str());
    SetLastError(error);
    return WriteResult::Failed;
}

bool GetFullPath(const char* path, char (&full)[MAX_PATH]) {
    if (!path || !*path)
        return false;
    DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) {
        full[0] = '\0';
        return false;
    }
    return true;
}

ULONGLONG GetLastWriteTime(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

} // namespace ini_io
