// Disk access for private-profile files: what version of a file is on disk,
// reading it whole, and replacing it whole without ever leaving it half
// written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace posix::profile {

// One version of a file on disk. Two reads with equal stamps saw the same file
// unless it was rewritten in place with the same size within one tick of the
// file system's clock (see ProfileCache for how that case is handled).
struct DiskStamp {
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedSeconds = 0;
    int64_t modifiedNanoseconds = 0;

    bool operator==(const DiskStamp&) const = default;
};

enum class PathKind {
    File,          // a file (stamp filled)
    Missing,       // no such file, its folder exists
    FolderMissing, // the folder that would hold it does not exist
    Folder,        // the path names a folder
    Unusable,      // any other failure; `error` holds errno
};

struct PathState {
    PathKind kind = PathKind::Unusable;
    DiskStamp stamp;
    int error = 0;
};

// The folder part of an absolute path ("/" for a file at the root).
std::string FolderOf(const std::string& path);

// Flushes the folder that holds `path`, so that a rename in it is durable.
// Some file systems refuse, which changes nothing about the rename itself.
void SyncFolderOf(const std::string& path);

// What `path` is now.
PathState InspectPath(const std::string& path);

// The whole file; `stamp` describes exactly the bytes read. False with errno
// in `error` when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes, DiskStamp& stamp, int& error);

// 0 when a later SaveWholeIfUnchanged of `path` can be expected to succeed: the folder
// takes new files and an existing file may be written. Else errno.
int CheckWritable(const std::string& path, bool fileExists);

// Creates `path` as an empty file (not when it exists: EEXIST) and fills
// `stamp`. 0, or errno.
int CreateEmptyFile(const std::string& path, DiskStamp& stamp);

struct SaveResult {
    bool ok = false;
    int error = 0;              // errno when !ok
    DiskStamp stamp;            // the new file when ok
    bool changedBehind = false; // not saved: the file on disk was not the `expected` one
};

// Saves `bytes` as `path` through DurableFile.h (temporary file beside it,
// flushed, renamed, folder flushed), unless the file on disk is not the
// `expected` version (changedBehind). Holds an exclusive advisory lock on the
// folder meanwhile, so that two of our processes never interleave saves. On
// failure the old file is untouched and the temporary file removed.
SaveResult SaveWholeIfUnchanged(const std::string& path, std::string_view bytes,
                                const DiskStamp& expected);

} // namespace posix::profile
