// File access of the INI file model: opening with retries, replacing a file
// whole, full paths and last-write times.
#pragma once

#include "framework/afx.h"

#include <string>

namespace corvane {

namespace ini_io {

// Another process may hold the file for a moment: this many attempts, this far apart.
constexpr int kOpenAttempts = 20;
constexpr DWORD kRetryDelayMs = 5;

// Opens path for reading with writers shut out. Retries, except when the file
// or its folder does not exist. False when it could not be opened.
bool OpenForReading(CFile& file, const char* path);

enum class WriteResult {
    NotOpened, // nothing was written; the target is as it was
    Failed,    // writing or replacing failed; the target is as it was
    Written    // the target holds exactly the new bytes
};

// Replaces the file fullPath by bytes: a temporary file beside it receives the
// bytes, is flushed and renamed over the target. A read-only target or a folder
// in its place is refused, as opening it for writing would be on Windows.
WriteResult SaveFileWhole(const char* fullPath, const std::string& bytes);

// The full path of path; false when there is none or it does not fit MAX_PATH.
bool GetFullPath(const char* path, char (&full)[MAX_PATH]);

// Last-write time of the file in 100 ns units; 0 when it cannot be read.
ULONGLONG GetLastWriteTime(const char* path);

} // namespace ini_io

} // namespace corvane
