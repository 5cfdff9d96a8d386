#include "platform/posix/ProfileDisk.h"

#include "platform/posix/CommitJournal.h"
#include "platform/posix/FaultInjection.h"
#include "platform/posix/StaleTemporaries.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posix::profile {

namespace {

DiskStamp StampOf(const struct stat& st) {
    DiskStamp stamp;
    stamp.exists = true;
    stamp.device = static_cast<uint64_t>(st.st_dev);
    stamp.inode = static_cast<uint64_t>(st.st_ino);
    stamp.size = static_cast<int64_t>(st.st_size);
    stamp.modifiedSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
    stamp.modifiedNanoseconds = static_cast<int64_t>(st.st_mtim.tv_nsec);
    return stamp;
}

std::string BaseNameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    // close(2)'s result; a failed close can mean lost data.
    int Close() {
        int result = 0;
        if (m_fd >= 0)
            result = close(m_fd);
        m_fd = -1;
        return result;
    }

  private:
    int m_fd;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = fault::Write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// A symbolic link is replaced by writing to the file it points to.
std::string ResolveLink(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string target = resolved;
    free(resolved);
    return target;
}

} // namespace

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void SyncFolderOf(const std::string& path) {
    FileDescriptor fd(open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        fsync(fd.get());
}

PathState InspectPath(const std::string& path) {
    PathState state;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        state.kind = S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::File;
        if (state.kind == PathKind::File)
            state.stamp = StampOf(st);
        return state;
    }
    state.error = errno;
    if (state.error == ENOTDIR) {
        state.kind = PathKind::FolderMissing;
    } else if (state.error == ENOENT) {
        struct stat folder;
        bool folderThere = stat(FolderOf(path).c_str(), &folder) == 0 && S_ISDIR(folder.st_mode);
        state.kind = folderThere ? PathKind::Missing : PathKind::FolderMissing;
    }
    return state;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, DiskStamp& stamp, int& error) {
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        error = errno;
        return false;
    }
    // A writer may change the file while it is read: read again until the
    // file looks the same before and after (a few times at most).
    for (int attempt = 0; attempt < 4; ++attempt) {
        struct stat before;
        struct stat after;
        if (fstat(fd.get(), &before) != 0 || lseek(fd.get(), 0, SEEK_SET) < 0) {
            error = errno;
            return false;
        }
        bytes.clear();
        bytes.reserve(static_cast<size_t>(before.st_size));
        char chunk[65536];
        for (;;) {
            ssize_t got = read(fd.get(), chunk, sizeof chunk);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                error = errno;
                return false;
            }
            if (got == 0)
                break;
            bytes.append(chunk, static_cast<size_t>(got));
        }
        if (fstat(fd.get(), &after) != 0) {
            error = errno;
            return false;
        }
        stamp = StampOf(after);
        if (StampOf(before) == stamp && static_cast<int64_t>(bytes.size()) == stamp.size)
            break;
    }
    return true;
}

int CheckWritable(const std::string& path, bool fileExists) {
    std::string target = ResolveLink(path);
    if (access(FolderOf(target).c_str(), W_OK | X_OK) != 0)
        return errno;
    if (fileExists && access(target.c_str(), W_OK) != 0)
        return errno;
    return 0;
}

int CreateEmptyFile(const std::string& path, DiskStamp& stamp) {
    FileDescriptor fd(fault::Open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        return errno;
    struct stat st;
    if (fstat(fd.get(), &st) != 0 || fd.Close() != 0)
        return errno;
    stamp = StampOf(st);
    return 0;
}

ReplaceResult ReplaceFile(const std::string& path, std::string_view bytes,
                          const DiskStamp& expected) {
    static std::atomic<unsigned> counter{0};
    ReplaceResult result;
    std::string target = ResolveLink(path);
    std::string folder = FolderOf(target);
    FileDescriptor folderFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.get() < 0) {
        result.error = errno;
        return result;
    }
    // Released when the descriptor closes.
    while (flock(folderFd.get(), LOCK_EX) != 0 && errno == EINTR) {
    }

    struct stat current;
    bool exists = stat(target.c_str(), &current) == 0;
    result.changedBehind = (exists ? StampOf(current) : DiskStamp()) != expected;

    std::string base = BaseNameOf(target).substr(0, NAME_MAX - 40);
    // Those of ended processes, once no interrupted save may still need them.
    if (commit::RecoveryDone())
        RemoveStaleTemporaries(folder, "." + base + ".", ".tmp");
    std::string temporary = folder + "/." + base + "." + std::to_string(getpid()) + "." +
                            std::to_string(counter++) + ".tmp";
    FileDescriptor fd(
        fault::Open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0) {
        result.error = errno;
        return result;
    }
    auto fail = [&] {
        result.error = errno;
        fd.Close();
        unlink(temporary.c_str());
        return result;
    };
    if (exists && fchmod(fd.get(), current.st_mode & 07777) != 0 && errno != EPERM)
        return fail();
    struct stat written;
    if (!WriteAll(fd.get(), bytes) || fault::Fsync(fd.get()) != 0 || fstat(fd.get(), &written) != 0)
        return fail();
    if (fd.Close() != 0) {
        result.error = errno;
        unlink(temporary.c_str());
        return result;
    }
    // Inside a flush of every file, the rename waits for the others (CommitJournal).
    bool deferred = commit::Defer(temporary, target);
    if (!deferred && fault::Rename(temporary.c_str(), target.c_str()) != 0) {
        result.error = errno;
        unlink(temporary.c_str());
        return result;
    }
    fsync(folderFd.get()); // some file systems refuse; the rename stands either way
    result.ok = true;
    result.stamp = StampOf(written);
    return result;
}

} // namespace posix::profile
