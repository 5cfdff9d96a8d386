// The private-profile files of this process, kept parsed in memory.
//
// What is guaranteed:
// - Each file is parsed once and then read and changed in memory; a call costs
//   one or two stat() calls plus hash lookups, never a read or write of the
//   whole file.
// - A file changed on disk behind the cache (another program, or code of this
//   one writing it directly) is read again at the next call: size, change time
//   (nanoseconds) and inode tell. A file whose change time is so recent that a
//   second rewrite of the same size could share it (within ProfileCache::
//   kRecentWindow) has its bytes compared at each call until that window has
//   passed. Unsaved changes of such a file are lost; a line on standard error
//   says so. Code that reads a file directly must first save it with
//   WritePrivateProfileStringA(NULL, NULL, NULL, file).
// - Changed files are saved by that call, by WritePrivateProfileStringA(NULL,
//   NULL, NULL, NULL) (all files), and at exit through the ProfileFiles flush
//   stage, before the registry store. A save writes a whole new file beside the
//   old one, flushes it and renames it over the old one: never half written.
//   A save that fails at exit prints one line on standard error and makes
//   posix::FlushAll() report failure, so that the registry is not saved either.
// - A change is refused at the call, with the error Windows reports, when the
//   folder is missing (ERROR_PATH_NOT_FOUND), the path names a folder, or the
//   folder or an existing file cannot be written, read-only file systems
//   included (ERROR_ACCESS_DENIED).
//
// What is not guaranteed:
// - A full disk, a quota, an I/O error, or a folder removed or made read-only
//   after the call show only when the file is saved.
// - Two processes editing one file do not merge: the last save wins. Saves hold
//   an advisory lock on the folder, so two of our processes never interleave
//   them, and a save that finds the file changed since it was read says so on
//   standard error before it replaces it.
// - Permissions are checked with access(), which a superuser always passes.
// - A file name without a folder is relative to the current folder (Windows
//   would look in its own folder); two names of one file through hard links are
//   two separate cache entries; a file's mtime on a file system with a clock
//   coarser than kRecentWindow may hide a rewrite of the same size.
#pragma once

#include "platform/posix/ProfileDisk.h"
#include "platform/posix/ProfileDocument.h"
#include "platform/winapi.h"

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace posix::profile {

// One file of the cache.
struct CachedProfile {
    std::string path; // absolute, '/' separators
    ProfileDocument document;
    ProfileEncoding encoding = ProfileEncoding::Ansi;
    DiskStamp stamp;        // the version on disk the document started from
    uint64_t diskHash = 0;  // hash of those bytes, for recent files
    bool loaded = false;    // the document reflects `stamp`
    bool dirty = false;     // changed since loaded or saved
    bool recent = false;    // `stamp` is too recent to trust alone
    bool writable = false;  // CheckWritable passed for `stamp`
    int saveErrno = 0;      // errno of the latest failed save
};

class ProfileCache {
public:
    // The file's change time counts as too recent to trust within this many
    // nanoseconds (a few ticks of the kernel's clock for file times).
    static constexpr int64_t kRecentWindow = 100'000'000;

    // The process's cache: made on first use, never destroyed (the flush at
    // exit uses it). Its first use registers the ProfileFiles flush stage.
    static ProfileCache& Instance();

    // Held by every caller around its use of the cache.
    std::mutex& Mutex() { return m_mutex; }

    // The file named `fileName` ('\' or '/' separators), up to date with the
    // disk. For reading: null with `error` when the path cannot be read; else
    // `error` is 0, or ERROR_FILE_NOT_FOUND when there is no such file and
    // nothing unsaved for it. For changing (`forWrite`): null with `error` when
    // a change could not be saved.
    CachedProfile* Open(const char* fileName, bool forWrite, DWORD& error);

    // Records a change of the file's document.
    void MarkChanged(CachedProfile& file) { file.dirty = true; }

    // Saves the file when it has changes: 0 when saved or nothing to save,
    // ERROR_FILE_NOT_FOUND when there is neither a file nor a change, else why
    // it failed.
    DWORD Save(const char* fileName);

    // Saves every changed file. With `report`, each failure prints a line on
    // standard error. Returns 0 or the first failure's error.
    DWORD SaveAll(bool report);

    // The absolute '/'-separated path the cache uses for a file name.
    static std::string CanonicalPath(const char* fileName);

private:
    ProfileCache();

    bool Refresh(CachedProfile& file, const PathState& state, DWORD& error);
    bool Load(CachedProfile& file, DWORD& error);
    DWORD SaveFile(CachedProfile& file);
    void DiscardWarning(const CachedProfile& file) const;

    std::mutex m_mutex;
    std::unordered_map<std::string, std::unique_ptr<CachedProfile>> m_files;
    std::vector<CachedProfile*> m_order; // files in the order first used
};

} // namespace posix::profile
