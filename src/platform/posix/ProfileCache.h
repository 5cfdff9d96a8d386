// The private-profile files of this process, kept parsed in memory.
//
// What is guaranteed:
// - Each file is parsed once and then read and changed in memory, never read
//   or written whole at a call. A call on a file without unsaved changes costs
//   one stat() (two for a file that does not exist) plus hash lookups; one on a
//   file with unsaved changes no system call at all.
// - A file changed on disk behind the cache (another program, or code of this
//   one writing it directly) is read again at the next call: size, change time
//   (nanoseconds) and inode tell. While a file written by someone else has a
//   change time so recent that another rewrite of the same size could share it
//   (kRecentWindow), its bytes are compared at each call as well. Code that
//   reads a file directly must first save it with
//   WritePrivateProfileStringA(NULL, NULL, NULL, file).
// - A file with unsaved changes is this process's until they are saved: the
//   disk is not looked at for it, so a change made there meanwhile never throws
//   them away (under Windows, where every call writes the file, the next call
//   would overwrite most of it anyway). Its save finds that the file was
//   changed meanwhile and does not replace it (ERROR_SHARING_VIOLATION; a
//   file removed meanwhile is made again);
//   SaveAll then saves no file at all and says so (the registry store, saved
//   after it, is skipped as well), so every value stays where it was; a save
//   that fails (its folder gone, say) keeps the changes for a later save.
// - The first change to a file that does not exist makes it, empty, at the
//   call; its text is written when the file is saved. Changed files are saved
//   by WritePrivateProfileStringA(NULL, NULL, NULL, file), by the same call
//   with no file (all files), and at exit through the ProfileFiles flush stage,
//   before the registry store. A save writes a whole new file beside the old
//   one, flushes it to the disk and renames it over the old one: a file is
//   never half written. A save that fails at exit prints one line on standard
//   error and makes posix::FlushAll() report failure, so that the registry is
//   not saved either.
// - A change is refused at the call, with the error Windows reports, when the
//   folder is missing (ERROR_PATH_NOT_FOUND), the path names a folder, the file
//   cannot be made, or an existing file or its folder cannot be written,
//   read-only file systems included (ERROR_ACCESS_DENIED).
//
// What is not guaranteed:
// - A full disk, a quota, an I/O error, or a folder removed or made read-only
//   after the call show only when the file is saved.
// - Two processes editing one file do not merge: a save that finds the file
//   changed since it was read refuses (see above). Saves hold an advisory lock
//   (flock) on the folder, so two of our processes never interleave them;
//   other programs do not take that lock, so a change made between the check
//   and the rename can still be lost.
// - Permissions are checked with access(), which the superuser always passes.
// - A file name without a folder is relative to the current folder (Windows
//   would look in its own folder); two names of one file through hard links are
//   two cache entries; a rewrite of the same size within one clock tick after
//   our own save, or on a file system whose clock is coarser than
//   kRecentWindow, can go unnoticed.
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
    DiskStamp stamp;       // the version on disk the document started from
    uint64_t diskHash = 0; // hash of those bytes, for recent files
    bool loaded = false;   // the document reflects `stamp`
    bool dirty = false;    // changed since loaded or saved
    bool recent = false;   // `stamp` is too recent to trust alone
    bool writable = false; // CheckWritable passed for `stamp`
    int saveErrno = 0;     // errno of the latest failed save
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

    // Makes an empty file for a file that is not on disk yet, so that a change
    // that cannot be saved fails at the call (as under Windows, where the first
    // change writes the file). 0, or why the file cannot be made.
    DWORD MakeOnDisk(CachedProfile& file);

    // Records a change of the file's document.
    void MarkChanged(CachedProfile& file) { file.dirty = true; }

    // Saves the file when it has changes: 0 when saved or nothing to save,
    // ERROR_FILE_NOT_FOUND when there is neither a file nor a change, else why
    // it failed.
    DWORD Save(const char* fileName);

    // Saves every changed file, or none when one of them was changed on disk
    // since it was read (ERROR_SHARING_VIOLATION). With `report`, each failure
    // prints a line on standard error. Returns 0 or the first failure's error.
    DWORD SaveAll(bool report);

    // The absolute '/'-separated path the cache uses for a file name.
    static std::string CanonicalPath(const char* fileName);

  private:
    ProfileCache();

    bool Refresh(CachedProfile& file, const PathState& state, DWORD& error);
    bool Load(CachedProfile& file, DWORD& error);
    DWORD SaveFile(CachedProfile& file);
    // The first file with unsaved changes that was changed on disk since it
    // was read, or null.
    const CachedProfile* ChangedOnDisk() const;

    std::mutex m_mutex;
    std::string m_lastName; // the latest file name and its CanonicalPath
    std::string m_lastPath;
    std::unordered_map<std::string, std::unique_ptr<CachedProfile>> m_files;
    std::vector<CachedProfile*> m_order; // files in the order first used
    bool m_reportedChange = false;       // ChangedOnDisk was reported once
};

} // namespace posix::profile
