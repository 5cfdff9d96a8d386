// Named mutexes on Linux: each name is one byte of a lock file that belongs to
// the user running the program ($XDG_RUNTIME_DIR/corvane-migrate.locks, else
// /tmp/corvane-migrate-<uid>.locks), locked with an open-file-description lock.
// A "Global\" name is one for the user; any other name is one per registry
// store (CORVANE_REGISTRY), as "Local\" names are one per logon session.
// The lock holds until the handle closes or the process ends, however it ends.
// As on Windows, a name already held (by this process too) gives a handle with
// ERROR_ALREADY_EXISTS and no ownership. Between users, or when no lock file
// of this user can be had, names do not meet: CreateMutexA then fails
// (ERROR_ACCESS_DENIED).
#pragma once

#include "platform/winapi.h"

namespace posix {

// Closes a handle CreateMutexA gave; false when `handle` is none of them.
bool CloseMutexHandle(HANDLE handle);

} // namespace posix
