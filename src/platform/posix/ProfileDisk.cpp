#include "platform/posix/ProfileDisk.h"

#include "platform/posix/CommitJournal.h"
#include "platform/posix/DurableFile.h"
#include "platform/posix/FaultInjection.h"
#include "platform/posix/StaleTemporaries.h"

#include <cerrno>
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

} // namespace

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void SyncFolderOf(const std::string& path) {
    durable::SyncFolderOf(path);
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
    std::string target;
    if (int error = durable::ResolveFinalName(path, target))
        return error;
    if (access(FolderOf(target).c_str(), W_OK | X_OK) != 0)
        return errno;
    if (fileExists && access(target.c_str(), W_OK) != 0)
        return errno;
    return 0;
}

int CreateEmptyFile(const std::string& path, DiskStamp& stamp) {
    FileDescriptor fd(
        fault::Open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        return errno;
    struct stat st;
    if (fstat(fd.get(), &st) != 0 || fd.Close() != 0)
        return errno;
    stamp = StampOf(st);
    return 0;
}

SaveResult SaveWholeIfUnchanged(const std::string& path, std::string_view bytes,
                                const DiskStamp& expected) {
    SaveResult result;
    std::string target;
    if ((result.error = durable::ResolveFinalName(path, target)) != 0)
        return result;
    std::string folder = FolderOf(target);
    FileDescriptor folderFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.get() < 0) {
        result.error = errno;
        return result;
    }
    // Released when the descriptor closes.
    while (flock(folderFd.get(), LOCK_EX) != 0 && errno == EINTR) {
    }

    // A file changed on disk since it was read is not replaced: the caller
    // decides what becomes of both versions. One removed meanwhile is made
    // again, which loses no one's text.
    struct stat current;
    if (stat(target.c_str(), &current) == 0 && StampOf(current) != expected) {
        result.changedBehind = true;
        result.error = ESTALE;
        return result;
    }

    // Those of ended processes, once no interrupted save may still need them.
    if (commit::RecoveryDone())
        RemoveStaleTemporaries(folder, durable::TemporaryPrefix(BaseNameOf(target)),
                               durable::kTemporarySuffix);
    struct stat written;
    if ((result.error = durable::SaveWhole(target, bytes, true, written)) != 0)
        return result;
    result.ok = true;
    result.stamp = StampOf(written);
    return result;
}

} // namespace posix::profile
