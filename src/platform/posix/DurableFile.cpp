#include "platform/posix/DurableFile.h"

#include "platform/posix/CommitJournal.h"
#include "platform/posix/FaultInjection.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sys/random.h>
#include <unistd.h>
#include <unordered_set>

namespace posix::durable {

const char kTemporarySuffix[] = ".tmp";

namespace {

constexpr int kNameAttempts = 16;
constexpr size_t kRandomDigits = 16;

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// 64 bits nobody can guess, as hex digits.
std::string RandomDigits() {
    uint64_t value = 0;
    if (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) {
        // No kernel randomness (very old kernels): a clock and address mix.
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        value = (static_cast<uint64_t>(now.tv_nsec) << 20) ^ static_cast<uint64_t>(now.tv_sec) ^
                reinterpret_cast<uintptr_t>(&value) * 0x9E3779B97F4A7C15ULL;
    }
    char digits[kRandomDigits + 1];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(value));
    return digits;
}

// The mode a new file gets: 0666 less the process's umask.
mode_t NewFileMode() {
    static const mode_t mode = [] {
        mode_t mask = umask(022);
        umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

bool AllHex(std::string_view text) {
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

std::mutex g_freshMutex;
std::unordered_set<std::string>& FreshFiles() {
    static auto* files = new std::unordered_set<std::string>();
    return *files;
}

} // namespace

int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = fault::Write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return 0;
}

void SyncFolderOf(const std::string& path) {
    int fd = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd); // some file systems refuse; the rename stands either way
    close(fd);
}

int ResolveFinalName(const std::string& path, std::string& finalName) {
    finalName = path;
    // Absolute, so that a journal names the same file whatever the current folder.
    if (!path.empty() && path[0] != '/') {
        char* folder = getcwd(nullptr, 0);
        if (!folder)
            return errno;
        finalName = std::string(folder) + "/" + path;
        free(folder);
    }
    struct stat link;
    if (lstat(finalName.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
        return 0;
    if (link.st_uid != geteuid() && link.st_uid != 0)
        return EPERM;
    // A link to nothing is refused as well: there is no file to replace.
    char* resolved = realpath(finalName.c_str(), nullptr);
    if (!resolved)
        return errno;
    finalName = resolved;
    free(resolved);
    return 0;
}

std::string TemporaryPrefix(const std::string& baseName) {
    return "." + baseName.substr(0, NAME_MAX - 48) + ".";
}

int CreateTemporary(const std::string& target, std::string& temporary, int& fd) {
    std::string stem = FolderOf(target) + "/" + TemporaryPrefix(BaseNameOf(target)) +
                       std::to_string(getpid()) + ".";
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        temporary = stem + RandomDigits() + kTemporarySuffix;
        fd = fault::Open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                         0600);
        if (fd >= 0)
            return 0;
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

bool IsTemporaryOf(const std::string& temporary, const std::string& target) {
    std::string stem = FolderOf(target) + "/" + TemporaryPrefix(BaseNameOf(target));
    if (temporary.size() <= stem.size() + kRandomDigits + 2 ||
        temporary.compare(0, stem.size(), stem) != 0 ||
        temporary.compare(temporary.size() - 4, 4, kTemporarySuffix) != 0)
        return false;
    std::string_view rest(temporary);
    rest = rest.substr(stem.size(), rest.size() - stem.size() - 4); // "<pid>.<hex>"
    size_t dot = rest.find('.');
    if (dot == 0 || dot == std::string_view::npos || rest.size() - dot - 1 != kRandomDigits)
        return false;
    for (char c : rest.substr(0, dot))
        if (c < '0' || c > '9')
            return false;
    return AllHex(rest.substr(dot + 1));
}

mode_t FinalModeFor(const std::string& target) {
    struct stat existing;
    if (stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        return existing.st_mode & 07777;
    return NewFileMode();
}

int Complete(int fd, const std::string& temporary, const std::string& target,
             struct stat& written) {
    mode_t mode = FinalModeFor(target);
    int error = 0;
    if (fault::Fsync(fd) != 0 || (fchmod(fd, mode) != 0 && errno != EPERM) ||
        fstat(fd, &written) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        unlink(temporary.c_str());
    return error;
}

int Rename(const std::string& from, const std::string& to, bool replace) {
    if (replace)
        return fault::Rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    if (fault::Inject(fault::Operation::Rename))
        return errno;
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // No atomic no-replace rename on this file system: a new name made by
    // link fails when the name exists.
    if (link(from.c_str(), to.c_str()) != 0)
        return errno;
    unlink(from.c_str());
    return 0;
}

int Install(const std::string& temporary, const std::string& target, bool replace) {
    if (int error = Rename(temporary, target, replace)) {
        unlink(temporary.c_str());
        return error;
    }
    SyncFolderOf(target);
    return 0;
}

int SaveWhole(const std::string& path, std::string_view bytes, bool deferrable,
              struct stat& written) {
    std::string target;
    if (int error = ResolveFinalName(path, target))
        return error;
    std::string temporary;
    int fd = -1;
    if (int error = CreateTemporary(target, temporary, fd))
        return error;
    if (int error = WriteAll(fd, bytes)) {
        close(fd);
        unlink(temporary.c_str());
        return error;
    }
    if (int error = Complete(fd, temporary, target, written))
        return error;
    // Inside a save of several files, the rename waits for the others.
    if (deferrable && commit::Defer(temporary, target))
        return 0;
    return Install(temporary, target, true);
}

void MarkFresh(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_freshMutex);
    FreshFiles().insert(path);
}

bool IsFresh(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_freshMutex);
    return FreshFiles().count(path) != 0;
}

void Forget(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_freshMutex);
    FreshFiles().erase(path);
}

} // namespace posix::durable
