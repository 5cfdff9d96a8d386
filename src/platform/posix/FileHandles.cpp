// File handles: CreateFileA, ReadFile, WriteFile, FlushFileBuffers,
// GetFileSize, SetFilePointer and CloseHandle over POSIX descriptors.
//
// Sharing modes. Win32 refuses an open whose access another open handle's
// sharing mode excludes, or whose sharing mode excludes another handle's
// access. Here each handle records its access and what it refuses to share as
// shared open-file-description locks (F_OFD_SETLK) on four bytes far beyond
// any data; an open checks for conflicting records with F_OFD_GETLK and fails
// with ERROR_SHARING_VIOLATION.
//  - Guaranteed: between handles of this layer, within one process and
//    between processes, on local file systems that support OFD locks. Two
//    opens racing each other may both fail (each sees the other), never both
//    succeed with conflicting modes.
//  - Not guaranteed: against programs that do not use these locks (the locks
//    are advisory), on file systems without OFD lock support (the open then
//    succeeds without the check), for files this process may not read (the
//    records need a readable descriptor), and FILE_SHARE_DELETE: renaming or
//    deleting an open file succeeds as POSIX allows.
#include "platform/posix/DurableFile.h"
#include "platform/posix/FaultInjection.h"
#include "platform/posix/NamedMutex.h"
#include "platform/posix/NativePath.h"
#include "platform/winapi.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace {

struct FileHandle {
    int fd = -1;
    int lockFd = -1; // descriptor that carries the sharing records (may be fd)
    bool canRead = false;
    bool canWrite = false;
};

// Live handles, so that a stale or foreign handle fails cleanly.
std::mutex g_handlesMutex;
std::unordered_set<FileHandle*>& LiveHandles() {
    static auto* handles = new std::unordered_set<FileHandle*>();
    return *handles;
}

FileHandle* FindHandle(HANDLE handle) {
    std::lock_guard<std::mutex> lock(g_handlesMutex);
    auto* file = static_cast<FileHandle*>(handle);
    return LiveHandles().count(file) ? file : nullptr;
}

// Offsets of the sharing records: "has read access", "has write access",
// "refuses readers", "refuses writers".
constexpr off_t kRecordBase = static_cast<off_t>(0x7FFFFFFFFFFF0000LL);
enum Record { HasRead = 0, HasWrite = 1, DeniesRead = 2, DeniesWrite = 3 };

// Takes a shared record; false when the file system has no OFD locks.
bool TakeRecord(int fd, Record record) {
    struct flock lock = {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kRecordBase + record;
    lock.l_len = 1;
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// True when another open file description holds the record.
bool RecordHeldElsewhere(int fd, Record record) {
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kRecordBase + record;
    lock.l_len = 1;
    if (fcntl(fd, F_OFD_GETLK, &lock) != 0)
        return false;
    return lock.l_type != F_UNLCK;
}

// Records this handle's access and sharing, then checks them against every
// other handle of the file. False (sharing violation) on a conflict.
bool ClaimSharing(FileHandle& file, bool wantRead, bool wantWrite, DWORD shareMode) {
    if (file.lockFd < 0)
        return true;
    bool deniesRead = !(shareMode & FILE_SHARE_READ);
    bool deniesWrite = !(shareMode & FILE_SHARE_WRITE);
    bool supported = true;
    if (wantRead)
        supported = supported && TakeRecord(file.lockFd, HasRead);
    if (wantWrite)
        supported = supported && TakeRecord(file.lockFd, HasWrite);
    if (deniesRead)
        supported = supported && TakeRecord(file.lockFd, DeniesRead);
    if (deniesWrite)
        supported = supported && TakeRecord(file.lockFd, DeniesWrite);
    if (!supported)
        return true; // no OFD locks here: sharing is not enforced
    if (wantRead && RecordHeldElsewhere(file.lockFd, DeniesRead))
        return false;
    if (wantWrite && RecordHeldElsewhere(file.lockFd, DeniesWrite))
        return false;
    if (deniesRead && RecordHeldElsewhere(file.lockFd, HasRead))
        return false;
    if (deniesWrite && RecordHeldElsewhere(file.lockFd, HasWrite))
        return false;
    return true;
}

void CloseDescriptors(FileHandle& file) {
    if (file.lockFd >= 0 && file.lockFd != file.fd)
        close(file.lockFd);
    if (file.fd >= 0)
        close(file.fd);
    file.fd = file.lockFd = -1;
}

// Opens the path; `created` tells whether this call made the file.
int OpenDescriptor(const std::string& path, int accessFlags, DWORD disposition, bool& created) {
    const int common = O_CLOEXEC | O_NOCTTY;
    created = false;
    for (;;) {
        if (disposition == CREATE_NEW) {
            // Made, never opened: a name already taken (a link included) fails.
            // Private until MoveFileExA gives it its final name (DurableFile.h).
            int fd = open(path.c_str(), accessFlags | common | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
            created = fd >= 0;
            if (created)
                posix::durable::MarkFresh(path);
            return fd;
        }
        int fd = open(path.c_str(), accessFlags | common);
        if (fd >= 0 || errno != ENOENT || disposition == OPEN_EXISTING ||
            disposition == TRUNCATE_EXISTING)
            return fd;
        // CREATE_ALWAYS / OPEN_ALWAYS on a missing file: create it, unless
        // someone else just did, then open theirs.
        fd = open(path.c_str(), accessFlags | common | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            created = true;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
}

} // namespace

extern "C" HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                              LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition, DWORD, HANDLE) {
    if (!lpFileName || !*lpFileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (posix::HasInvalidNameCharacter(lpFileName)) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    bool wantRead = dwDesiredAccess & GENERIC_READ;
    bool wantWrite = dwDesiredAccess & GENERIC_WRITE;
    bool truncates =
        dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING;
    if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }

    bool creates = dwCreationDisposition != OPEN_EXISTING;
    if ((wantWrite || creates) && posix::fault::Inject(posix::fault::Operation::Create)) {
        posix::SetLastErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    std::string path = posix::NativePath(lpFileName);
    // Truncation needs a writable descriptor even when the caller only reads.
    int accessFlags =
        (wantWrite || truncates) ? (wantRead || truncates ? O_RDWR : O_WRONLY) : O_RDONLY;
    bool created = false;
    int fd = OpenDescriptor(path, accessFlags, dwCreationDisposition, created);
    if (fd < 0) {
        int error = errno;
        // A file name with a separator after it is no valid name.
        if (path.back() == '/' && (error == ENOTDIR || error == EISDIR))
            SetLastError(ERROR_INVALID_NAME);
        else
            posix::SetLastErrorFromErrno(error, path);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }

    auto* file = new FileHandle;
    file->fd = fd;
    file->canRead = wantRead;
    file->canWrite = wantWrite;
    if (accessFlags != O_WRONLY) {
        file->lockFd = fd;
    } else {
        std::string self = "/proc/self/fd/" + std::to_string(fd);
        file->lockFd = open(self.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    }
    if (!ClaimSharing(*file, wantRead, wantWrite, dwShareMode)) {
        CloseDescriptors(*file);
        delete file;
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    // Only now, with the sharing settled, may an existing file lose its content.
    if (truncates && !created && st.st_size != 0 && ftruncate(fd, 0) != 0) {
        int error = errno;
        CloseDescriptors(*file);
        delete file;
        posix::SetLastErrorFromErrno(error, path);
        return INVALID_HANDLE_VALUE;
    }
    {
        std::lock_guard<std::mutex> lock(g_handlesMutex);
        LiveHandles().insert(file);
    }
    bool reportsExisting = !created && (dwCreationDisposition == CREATE_ALWAYS ||
                                        dwCreationDisposition == OPEN_ALWAYS);
    SetLastError(reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return file;
}

extern "C" BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                         LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = 0;
    FileHandle* file = FindHandle(hFile);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpOverlapped || (!lpBuffer && nNumberOfBytesToRead)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!file->canRead) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // A disk file delivers the whole request unless the end comes first.
    DWORD done = 0;
    auto* out = static_cast<char*>(lpBuffer);
    while (done < nNumberOfBytesToRead) {
        ssize_t got = read(file->fd, out + done, nNumberOfBytesToRead - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            int error = errno;
            SetLastError(error == EIO ? ERROR_READ_FAULT : posix::Win32ErrorFromErrno(error));
            if (lpNumberOfBytesRead)
                *lpNumberOfBytesRead = done;
            return FALSE;
        }
        if (got == 0)
            break;
        done += static_cast<DWORD>(got);
    }
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = done;
    return TRUE;
}

extern "C" BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                          LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = 0;
    FileHandle* file = FindHandle(hFile);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpOverlapped || (!lpBuffer && nNumberOfBytesToWrite)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!file->canWrite) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // A failure after part of the bytes leaves that part written, as on Windows;
    // the count reported is then the whole request or nothing.
    int error = posix::durable::WriteAll(
        file->fd, std::string_view(static_cast<const char*>(lpBuffer), nNumberOfBytesToWrite));
    if (error != 0) {
        SetLastError(error == EIO ? ERROR_WRITE_FAULT : posix::Win32ErrorFromErrno(error));
        return FALSE;
    }
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
    return TRUE;
}

extern "C" BOOL FlushFileBuffers(HANDLE hFile) {
    FileHandle* file = FindHandle(hFile);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!file->canWrite) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (posix::fault::Fsync(file->fd) != 0) {
        SetLastError(errno == EIO ? ERROR_WRITE_FAULT : posix::Win32ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

extern "C" DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    FileHandle* file = FindHandle(hFile);
    struct stat st;
    if (!file || fstat(file->fd, &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (lpFileSizeHigh)
        *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    // A size whose low part looks like the failure value is told apart by the
    // last error, which is then cleared.
    if (static_cast<DWORD>(size) == INVALID_FILE_SIZE)
        SetLastError(NO_ERROR);
    return static_cast<DWORD>(size);
}

extern "C" DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, LONG* lpDistanceToMoveHigh,
                                DWORD dwMoveMethod) {
    FileHandle* file = FindHandle(hFile);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    // Without a high part the distance is a signed 32-bit number.
    int64_t distance =
        lpDistanceToMoveHigh
            ? static_cast<int64_t>(
                  (static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32) |
                  static_cast<uint32_t>(lDistanceToMove))
            : static_cast<int64_t>(lDistanceToMove);
    int64_t base = 0;
    if (dwMoveMethod == FILE_CURRENT) {
        base = lseek(file->fd, 0, SEEK_CUR);
    } else if (dwMoveMethod == FILE_END) {
        struct stat st;
        base = fstat(file->fd, &st) == 0 ? st.st_size : -1;
    } else if (dwMoveMethod != FILE_BEGIN) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (base < 0) {
        posix::SetLastErrorFromErrno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t target = base + distance;
    if (target < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    if (!lpDistanceToMoveHigh && target > 0xFFFFFFFELL) {
        // The position would not fit the 32-bit result.
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (lseek(file->fd, static_cast<off_t>(target), SEEK_SET) < 0) {
        posix::SetLastErrorFromErrno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh)
        *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
    if (static_cast<DWORD>(target) == INVALID_SET_FILE_POINTER)
        SetLastError(NO_ERROR);
    return static_cast<DWORD>(target);
}

extern "C" BOOL CloseHandle(HANDLE hObject) {
    FileHandle* file = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_handlesMutex);
        auto it = LiveHandles().find(static_cast<FileHandle*>(hObject));
        if (it != LiveHandles().end()) {
            file = *it;
            LiveHandles().erase(it);
        }
    }
    if (!file) {
        if (posix::CloseMutexHandle(hObject))
            return TRUE;
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    CloseDescriptors(*file);
    delete file;
    return TRUE;
}
