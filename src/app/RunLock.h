// One run at a time per application key and per data folder: a named mutex
// for each, held until the process ends, however it ends. Two runs that
// record the same data folder would otherwise each save their own version
// of its files and lose the other's values.
#pragma once

#include "framework/CString.h"

namespace corvane {

enum class RunLockResult { taken, busy };

// The mutex name for `kind` ("key", "folder") and `path` in `scope` ("Local":
// the registry of this logon; "Global": every run of the user): letter case,
// separators and a trailing separator do not make another name.
CString RunLockName(const char* scope, const char* kind, const CString& path);

// Takes the named lock for the rest of the process. busy when another run (or
// an earlier call of this process) holds it. Where named mutexes cannot be
// made at all, the run goes on unguarded (taken).
RunLockResult TakeRunLock(const CString& name);

} // namespace corvane
