// One run at a time on a registry store. A run marks the store as in use with
// a shared open-file-description lock (F_OFD_SETLK) on one byte of the folder
// that holds the store, the byte chosen by the store's file name; it takes the
// mark before the store is read and keeps it until the process ends (the
// system drops it however the process ends, also when it is killed). A run
// that finds another run's mark refuses. No file is made for it. The store
// is named by its real path (links resolved), and, when the file exists, the
// file itself carries a second mark (one byte of it), so a second path to the
// same file, a hard link included, meets the first run's marks.
//  - Two runs that start at the same instant may each see the other: they
//    retry a few times after a short random pause, and refuse when the other
//    is still there; never do both go on.
//  - Other stores, in other folders or under other names, are independent
//    (two names that share a byte would only make runs refuse needlessly).
//  - Without such locks (some network file systems) there is no guard.
#pragma once

#include <string>

namespace posix {

enum class RunGuardResult {
    Held,        // this process holds the mark now
    Busy,        // another process holds it
    Unavailable, // the folder cannot be opened or locked: no guard
};

// Marks the store at `storePath` as in use by this process.
RunGuardResult TakeRunGuard(const std::string& storePath);

} // namespace posix
