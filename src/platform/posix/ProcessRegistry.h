// The registry store of this process: opened once (runenv::OpenRegistry, or the
// first registry call when nothing opened it before), saved at exit after the
// settings files and when a flush is asked for. Never destroyed.
#pragma once

#include "platform/RunEnvironment.h"
#include "platform/posix/RegistryStore.h"

namespace posix {

// Opens the store named by CORVANE_REGISTRY ("HKCU.reg" without it) on the
// first call: takes the run guard (RunGuard.h), completes an interrupted save
// (CommitJournal.h), removes stale temporaries and loads the file. A store that
// cannot be opened stays closed for the whole process, and no exit hook saves
// anything of it. Later calls give the first call's result.
const runenv::RegistryOpenResult& OpenTheRegistryStore();

// The opened store, or null when it could not be opened.
RegistryStore* TheRegistryStoreIfOpen();

// Flushes the settings files, then the store (the order that keeps every deletion
// behind the data copied out of the deleted key). 0 when all is on disk; the errno
// of a failed save of the store; -1 when the settings files could not be written,
// in which case the store is left as it was on disk.
int FlushSettingsThenRegistry();

} // namespace posix
