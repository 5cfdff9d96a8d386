// Helpers shared by the Linux file and path functions: mapping Win32 path
// text to the file system's form, and errno values to Win32 error codes.
#pragma once

#include "platform/winapi.h"

#include <string>

namespace posix {

// True for the characters Win32 accepts as path separators ('\' and '/').
inline bool IsPathSeparator(char ch) {
    return ch == '\\' || ch == '/';
}

// The path as the file system wants it: every '\' becomes '/', and text in the
// ANSI code page becomes UTF-8, the file system's names.
std::string NativePath(const char* path);
// A path of the file system (UTF-8) as the A-functions give it: in the ANSI
// code page.
std::string AnsiPath(const std::string& nativePath);

// True when the path holds a character that Win32 refuses in file names
// (control characters and * ? < > | "); such names fail with ERROR_INVALID_NAME.
bool HasInvalidNameCharacter(const char* path);

// The Win32 error for errno value `error` of a call on `nativePath`. A missing
// entry is ERROR_FILE_NOT_FOUND when its folder exists, else ERROR_PATH_NOT_FOUND.
DWORD Win32ErrorFromErrno(int error, const std::string& nativePath = std::string());

// SetLastError(Win32ErrorFromErrno(error, nativePath)).
void SetLastErrorFromErrno(int error, const std::string& nativePath = std::string());

} // namespace posix
