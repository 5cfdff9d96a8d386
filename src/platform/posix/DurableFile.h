// The one way this program puts a whole file on disk. Every saver (private-
// profile files, the registry store, the commit journal, files made through
// CreateFileA(CREATE_NEW) and renamed with MoveFileExA) goes through here:
//
// - The bytes go to a temporary file beside the final name, which is created,
//   never opened: O_CREAT|O_EXCL|O_NOFOLLOW, mode 0600, under a name with 64
//   random bits (".<name>.<process number>.<16 hex digits>.tmp"). A name
//   someone else took is never written through: another one is picked.
// - All bytes are written (after EINTR and short writes), flushed to the disk,
//   the temporary gets the final file's mode (an existing file's, else 0666
//   less the umask) and is renamed over the final name; the folder is flushed.
// - A final name that is a symbolic link: when the link belongs to the user
//   running the program (or to root), the link stays and the file it points to
//   is replaced; a link of anyone else, or one that points to no file, is
//   refused and nothing is written.
#pragma once

#include <string>
#include <string_view>
#include <sys/stat.h>

namespace posix::durable {

// Writes all of `bytes` to `fd`. 0 or errno.
int WriteAll(int fd, std::string_view bytes);

// Flushes the folder that holds `path`, so that a rename in it is durable.
void SyncFolderOf(const std::string& path);

// The file a save of `path` replaces, by the rule for links above, as an
// absolute path. 0 or errno.
int ResolveFinalName(const std::string& path, std::string& finalName);

// Creates a new empty temporary file for `target` in its folder (see above).
// 0 with `fd` and `temporary` set, or errno.
int CreateTemporary(const std::string& target, std::string& temporary, int& fd);

// True when `temporary` has the form CreateTemporary gives to temporaries of
// `target`: the same folder, ".<target's name>.<digits>.<16 hex digits>.tmp".
bool IsTemporaryOf(const std::string& temporary, const std::string& target);

// The prefix and suffix of the temporaries of a file named `baseName`, for
// clearing those of ended processes (StaleTemporaries.h).
std::string TemporaryPrefix(const std::string& baseName);
extern const char kTemporarySuffix[];

// Completes a temporary written through `fd`: flushes it, gives it the final
// mode for `target`, fills `written` and closes it. 0 or errno; on failure the
// temporary is removed.
int Complete(int fd, const std::string& temporary, const std::string& target, struct stat& written);

// The mode a file saved as `target` gets: that of the file there, else 0666
// less the umask.
mode_t FinalModeFor(const std::string& target);

// The rename alone (counted by FaultInjection.h); with `replace` false an
// existing `to` is kept (EEXIST). 0 or errno.
int Rename(const std::string& from, const std::string& to, bool replace);

// Renames `temporary` to `target` and flushes the folder. With `replace`
// false an existing `target` is kept (EEXIST). 0 or errno; on failure the
// temporary is removed.
int Install(const std::string& temporary, const std::string& target, bool replace);

// Saves `bytes` as the file `path`, whole. With `deferrable`, inside a save of
// several files (CommitJournal.h) the rename is handed to the journal. The
// new file's status in `written`. 0 or errno.
int SaveWhole(const std::string& path, std::string_view bytes, bool deferrable,
              struct stat& written);

// Marks a file this process made with CreateFileA(CREATE_NEW): MoveFileExA
// then installs it as above (final mode, link rule, folder flush). Forget
// drops the mark; IsFresh tells whether one is set.
void MarkFresh(const std::string& path);
bool IsFresh(const std::string& path);
void Forget(const std::string& path);

} // namespace posix::durable
