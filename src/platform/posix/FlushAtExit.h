// Order of writing kept data to disk: every settings file first, the registry
// store last, so that a registry deletion never reaches the disk before the
// data copied out of that key. Runs at exit and on explicit flush requests.
#pragma once

namespace posix {

enum class FlushStage { ProfileFiles = 0, RegistryStore = 1 };

using FlushHook = bool (*)();

// Registers a hook for a stage; each stage has at most one hook.
void RegisterFlushHook(FlushStage stage, FlushHook hook);

// Runs the hooks in stage order; false when any hook failed. A failed
// profile stage skips the registry stage, so nothing copied is lost. The
// files the hooks save reach their names together at the end, through a
// journal when there is one (CommitJournal.h).
bool FlushAll();

} // namespace posix
