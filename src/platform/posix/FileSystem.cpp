// Names in the file system: MoveFileExA, DeleteFileA, CreateDirectoryA,
// GetFileAttributesA/ExA, GetFullPathNameA, GetTempPathA and _mkdir.
#include "platform/posix/DurableFile.h"
#include "platform/posix/FaultInjection.h"
#include "platform/posix/NativePath.h"
#include "platform/posix/ProfileDisk.h"
#include "platform/winapi.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Rejects what Win32 rejects before the file system sees the name.
bool CheckName(LPCSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (posix::HasInvalidNameCharacter(name)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    return true;
}

// Win32 attributes of a stat result: folders, read-only files, and the archive
// bit that every plain file carries.
DWORD AttributesOf(const struct stat& st) {
    DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)))
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes;
}

// A time as 100 ns units since 1601-01-01.
FILETIME FileTimeOf(const struct timespec& ts) {
    const uint64_t kEpochDifference = 11644473600ULL; // seconds from 1601 to 1970
    uint64_t ticks = (static_cast<uint64_t>(ts.tv_sec) + kEpochDifference) * 10000000ULL +
                     static_cast<uint64_t>(ts.tv_nsec) / 100;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

// Copies text with its NUL into a buffer of `size` characters. Returns the
// length without the NUL when it fits, else the size needed with the NUL
// (the buffer is then left alone).
DWORD CopyOut(const std::string& text, LPSTR buffer, DWORD size) {
    if (text.size() + 1 > size || !buffer)
        return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

// A file this process made with CreateFileA(CREATE_NEW) takes its final name
// as every saved file does: final mode, the rule for links, folder flushed.
BOOL InstallFresh(const std::string& from, const std::string& to, DWORD flags) {
    std::string target;
    int error = posix::durable::ResolveFinalName(to, target);
    if (error == 0 && chmod(from.c_str(), posix::durable::FinalModeFor(target)) != 0)
        error = errno;
    if (error == 0)
        error = posix::durable::Rename(from, target, (flags & MOVEFILE_REPLACE_EXISTING) != 0);
    if (error != 0) {
        if (error == EEXIST)
            SetLastError(ERROR_ALREADY_EXISTS);
        else
            posix::SetLastErrorFromErrno(error, to);
        return FALSE;
    }
    posix::durable::Forget(from);
    posix::durable::SyncFolderOf(target);
    return TRUE;
}

} // namespace

extern "C" BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
    if (!lpNewFileName) {
        // Moves delayed until a restart do not exist here.
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!CheckName(lpExistingFileName) || !CheckName(lpNewFileName))
        return FALSE;
    std::string from = posix::NativePath(lpExistingFileName);
    std::string to = posix::NativePath(lpNewFileName);
    if (posix::durable::IsFresh(from))
        return InstallFresh(from, to, dwFlags);
    struct stat source;
    if (lstat(from.c_str(), &source) != 0) {
        posix::SetLastErrorFromErrno(errno, from);
        return FALSE;
    }
    struct stat target;
    bool targetExists = lstat(to.c_str(), &target) == 0;
    if (targetExists && !(source.st_dev == target.st_dev && source.st_ino == target.st_ino)) {
        if (!(dwFlags & MOVEFILE_REPLACE_EXISTING)) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        // Nothing replaces a folder, and a folder replaces no file.
        if (S_ISDIR(target.st_mode) || S_ISDIR(source.st_mode)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    }
    int result;
    if (dwFlags & MOVEFILE_REPLACE_EXISTING) {
        result = posix::fault::Rename(from.c_str(), to.c_str());
    } else if (posix::fault::Inject(posix::fault::Operation::Rename)) {
        result = -1;
    } else {
#ifdef RENAME_NOREPLACE
        result = renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS))
#endif
        {
            // No atomic no-replace rename on this file system: a file is
            // linked under its new name (which fails when that exists) and
            // then unlinked; a folder is renamed after the check above.
            if (!S_ISDIR(source.st_mode)) {
                result = link(from.c_str(), to.c_str());
                if (result == 0)
                    unlink(from.c_str());
            } else {
                result = rename(from.c_str(), to.c_str());
            }
        }
    }
    if (result != 0) {
        int error = errno;
        if (error == EEXIST || error == ENOTEMPTY)
            SetLastError(ERROR_ALREADY_EXISTS);
        else if (error == ENOENT)
            SetLastError(
                ERROR_PATH_NOT_FOUND); // the source was seen: the target's folder is missing
        else
            posix::SetLastErrorFromErrno(error, to);
        return FALSE;
    }
    if (dwFlags & MOVEFILE_WRITE_THROUGH) {
        posix::profile::SyncFolderOf(to);
        posix::profile::SyncFolderOf(from);
    }
    return TRUE;
}

extern "C" BOOL DeleteFileA(LPCSTR lpFileName) {
    if (!CheckName(lpFileName))
        return FALSE;
    std::string path = posix::NativePath(lpFileName);
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    posix::durable::Forget(path);
    if (posix::fault::Unlink(path.c_str()) != 0) {
        posix::SetLastErrorFromErrno(errno, path);
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    if (!CheckName(lpPathName))
        return FALSE;
    std::string path = posix::NativePath(lpPathName);
    if (posix::fault::Mkdir(path.c_str(), 0777) != 0) {
        int error = errno;
        if (error == EEXIST)
            SetLastError(ERROR_ALREADY_EXISTS);
        else if (error == ENOENT)
            SetLastError(ERROR_PATH_NOT_FOUND);
        else
            posix::SetLastErrorFromErrno(error, path);
        return FALSE;
    }
    return TRUE;
}

extern "C" DWORD GetFileAttributesA(LPCSTR lpFileName) {
    if (!CheckName(lpFileName))
        return INVALID_FILE_ATTRIBUTES;
    std::string path = posix::NativePath(lpFileName);
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        posix::SetLastErrorFromErrno(errno, path);
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(st);
}

extern "C" BOOL GetFileAttributesExA(LPCSTR lpFileName, GET_FILEEX_INFO_LEVELS fInfoLevelId,
                                     LPVOID lpFileInformation) {
    if (fInfoLevelId != GetFileExInfoStandard || !lpFileInformation) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!CheckName(lpFileName))
        return FALSE;
    std::string path = posix::NativePath(lpFileName);
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        posix::SetLastErrorFromErrno(errno, path);
        return FALSE;
    }
    auto* info = static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(lpFileInformation);
    info->dwFileAttributes = AttributesOf(st);
    // POSIX keeps no creation time; the status-change time stands in for it.
    info->ftCreationTime = FileTimeOf(st.st_ctim);
    info->ftLastAccessTime = FileTimeOf(st.st_atim);
    info->ftLastWriteTime = FileTimeOf(st.st_mtim);
    uint64_t size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
    info->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    info->nFileSizeLow = static_cast<DWORD>(size);
    return TRUE;
}

// The absolute form of a path: relative paths are taken from the current
// folder, "." and ".." are resolved by name (links are not followed, as on
// Windows), repeated separators collapse, a trailing separator stays. The
// result uses '/' throughout.
extern "C" DWORD GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer,
                                  LPSTR* lpFilePart) {
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!*lpFileName) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    std::string input = posix::NativePath(lpFileName);
    if (input[0] != '/') {
        std::vector<char> cwd(PATH_MAX);
        while (!getcwd(cwd.data(), cwd.size())) {
            if (errno != ERANGE) {
                posix::SetLastErrorFromErrno(errno);
                return 0;
            }
            cwd.resize(cwd.size() * 2);
        }
        input = std::string(cwd.data()) + "/" + input;
    }
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos < input.size()) {
        size_t end = input.find('/', pos);
        if (end == std::string::npos)
            end = input.size();
        std::string part = input.substr(pos, end - pos);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = end + 1;
    }
    std::string full;
    for (const std::string& part : parts)
        full += "/" + part;
    if (full.empty() || input.back() == '/')
        full += "/";
    full = posix::AnsiPath(full);
    // The 8-bit path functions are limited to MAX_PATH characters with the NUL.
    if (full.size() >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    DWORD result = CopyOut(full, lpBuffer, nBufferLength);
    if (lpFilePart && result == full.size()) {
        size_t cut = full.rfind('/');
        *lpFilePart = cut + 1 < full.size() ? lpBuffer + cut + 1 : nullptr;
    }
    return result;
}

// The folder for temporary files, with a trailing separator: TMPDIR, TMP or
// TEMP when set, else /tmp.
extern "C" DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
    std::string folder;
    for (const char* name : {"TMPDIR", "TMP", "TEMP"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            folder = posix::NativePath(value);
            break;
        }
    }
    if (folder.empty())
        folder = "/tmp";
    if (folder.back() != '/')
        folder += '/';
    return CopyOut(folder, lpBuffer, nBufferLength);
}

// One folder level; -1 with errno EEXIST when it exists, ENOENT when the
// folder above it is missing (also when that is a file, as the C runtime of
// Windows reports it).
extern "C" int _mkdir(const char* path) {
    if (!path || !*path) {
        errno = ENOENT;
        return -1;
    }
    std::string native = posix::NativePath(path);
    if (posix::fault::Mkdir(native.c_str(), 0777) == 0)
        return 0;
    if (errno == ENOTDIR)
        errno = ENOENT;
    return -1;
}
