#include "platform/posix/NamedMutex.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace posix {
namespace {

struct MutexHandle {
    int fd = -1; // holds the lock when the mutex is owned; -1 otherwise
};

std::mutex g_mutexesMutex;
std::unordered_set<MutexHandle*>& LiveMutexes() {
    static auto* handles = new std::unordered_set<MutexHandle*>();
    return *handles;
}

// A folder only this user can change.
bool IsPrivateFolder(const char* folder) {
    struct stat st;
    return folder && *folder == '/' && lstat(folder, &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::string LockFilePath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (IsPrivateFolder(runtime))
        return std::string(runtime) + "/corvane-migrate.locks";
    return "/tmp/corvane-migrate-" + std::to_string(geteuid()) + ".locks";
}

// A descriptor of this user's lock file, or -1 when the name there is not a
// plain file of this user (planted by someone else).
int OpenLockFile() {
    int fd = open(LockFilePath().c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
        close(fd);
        return -1;
    }
    return fd;
}

// The registry store this process works on, as one spelling of its path: the
// "session" of a Local\ name (on Windows one per logon, here one per store).
std::string SessionOf() {
    const char* configured = std::getenv("CORVANE_REGISTRY");
    std::string path = configured && *configured ? configured : "HKCU.reg";
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string session = resolved;
    std::free(resolved);
    return session;
}

// The byte that stands for a name (names compare exactly, as on Windows).
// Global\ names are one for all stores, other names one per store.
off_t ByteOf(const char* name) {
    std::string key =
        std::strncmp(name, "Global\\", 7) == 0 ? std::string(name) : SessionOf() + "|" + name;
    return static_cast<off_t>(std::hash<std::string>{}(key)&0x3FFFFFFFFFFFULL);
}

} // namespace

bool CloseMutexHandle(HANDLE handle) {
    auto* mutex = static_cast<MutexHandle*>(handle);
    {
        std::lock_guard<std::mutex> lock(g_mutexesMutex);
        if (!LiveMutexes().erase(mutex))
            return false;
    }
    if (mutex->fd >= 0)
        close(mutex->fd);
    delete mutex;
    return true;
}

} // namespace posix

extern "C" HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName) {
    if (!lpName || !*lpName) {
        // Unnamed mutexes are not needed by this program.
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    int fd = posix::OpenLockFile();
    if (fd < 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = posix::ByteOf(lpName);
    lock.l_len = 1;
    bool taken = fcntl(fd, F_OFD_SETLK, &lock) == 0;
    if (!taken && errno != EAGAIN && errno != EACCES) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    auto* mutex = new posix::MutexHandle;
    if (taken) {
        mutex->fd = fd; // owned or not, the creator's handle keeps the name alive
    } else {
        close(fd);
    }
    (void)bInitialOwner;
    {
        std::lock_guard<std::mutex> guard(posix::g_mutexesMutex);
        posix::LiveMutexes().insert(mutex);
    }
    SetLastError(taken ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
    return mutex;
}
