#include "ini/IniFileIo.h"

#include "framework/TemporaryFile.h"

namespace corvane {

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

} // namespace

bool OpenForReading(CFile& file, const char* path) {
    return OpenWithRetry(file, path, CFile::modeRead | CFile::shareDenyWrite | CFile::modeNoInherit,
                         CFileException::fileNotFound);
}

WriteResult SaveFileWhole(const char* fullPath, const std::string& bytes) {
    DWORD attributes = GetFileAttributesA(fullPath);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return WriteResult::NotOpened;
    }

    // A new temporary file beside the target, never one that was there.
    CTemporaryFile temp;
    if (!temp.Create(fullPath))
        return WriteResult::NotOpened;
    if (!temp.Write(bytes) || !temp.Close()) {
        DWORD error = GetLastError();
        temp.Abandon();
        SetLastError(error);
        return WriteResult::Failed;
    }

    // On Windows a process reading the target refuses the rename for a moment.
    for (int attempt = 1;; ++attempt) {
        if (temp.MoveIntoPlace(true))
            return WriteResult::Written;
        DWORD error = GetLastError();
        if (error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND ||
            attempt >= kOpenAttempts)
            break;
        Sleep(kRetryDelayMs);
    }
    DWORD error = GetLastError();
    temp.Abandon();
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

} // namespace corvane
