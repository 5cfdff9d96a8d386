#include "platform/posix/RunGuard.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

namespace posix {

namespace {

constexpr int kAttempts = 4;
constexpr off_t kFileMarkByte = static_cast<off_t>(0x3FFFFFFFFFFF0000LL);

// The byte that stands for the store's name, far beyond any real data.
off_t ByteOf(const std::string& fileName) {
    uint64_t hash = std::hash<std::string>{}(fileName);
    return static_cast<off_t>(0x4000000000000000ULL | (hash & 0xFFFFFFFFFFFFULL));
}

bool Lock(int fd, short type, int command, off_t byte, struct flock& lock) {
    lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    return fcntl(fd, command, &lock) == 0;
}

// Marks `path` (a folder or the store file) at `byte`, retrying while another
// run's mark is there. The descriptor stays open with the mark until the
// process ends.
RunGuardResult TakeMark(const std::string& path, int flags, off_t byte, std::minstd_rand& random) {
    for (int attempt = 1;; ++attempt) {
        int fd = open(path.c_str(), flags | O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return RunGuardResult::Unavailable;
        struct flock lock;
        if (!Lock(fd, F_RDLCK, F_OFD_SETLK, byte, lock) ||
            !Lock(fd, F_WRLCK, F_OFD_GETLK, byte, lock)) {
            close(fd);
            return RunGuardResult::Unavailable;
        }
        if (lock.l_type == F_UNLCK)
            return RunGuardResult::Held;
        close(fd); // another run's mark: drop ours, so a run starting with us can go on
        if (attempt == kAttempts)
            return RunGuardResult::Busy;
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 80));
    }
}

} // namespace

RunGuardResult TakeRunGuard(const std::string& storePath) {
    // One spelling of the store's path: its links resolved (its folder's, when
    // the file does not exist yet).
    std::string real = storePath;
    if (char* resolved = realpath(storePath.c_str(), nullptr)) {
        real = resolved;
        std::free(resolved);
    }
    size_t slash = real.rfind('/');
    std::string folder = slash == std::string::npos ? "." : real.substr(0, slash ? slash : 1);
    std::string name = slash == std::string::npos ? real : real.substr(slash + 1);
    std::minstd_rand random(static_cast<unsigned>(getpid()));
    RunGuardResult byName = TakeMark(folder, O_DIRECTORY, ByteOf(name), random);
    if (byName == RunGuardResult::Busy)
        return byName;
    // The file itself: a byte far beyond any data, apart from the bytes the
    // sharing modes of FileHandles.cpp use.
    struct stat st;
    if (stat(real.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return byName;
    RunGuardResult byFile = TakeMark(real, O_NOFOLLOW | O_NONBLOCK, kFileMarkByte, random);
    if (byFile == RunGuardResult::Busy || byName == RunGuardResult::Unavailable)
        return byFile;
    return byName;
}

} // namespace posix
