#include "platform/posix/FlushAtExit.h"

#include "platform/posix/CommitJournal.h"

#include <cstdlib>

namespace posix {
namespace {

FlushHook g_hooks[2] = {nullptr, nullptr};
bool g_atExitRegistered = false;

void FlushAtProcessExit() {
    FlushAll();
}

} // namespace

void RegisterFlushHook(FlushStage stage, FlushHook hook) {
    g_hooks[static_cast<int>(stage)] = hook;
    if (!g_atExitRegistered) {
        g_atExitRegistered = true;
        std::atexit(FlushAtProcessExit);
    }
}

bool FlushAll() {
    // The files saved here reach their names together, or none does.
    commit::Begin();
    bool saved = !g_hooks[0] || g_hooks[0]();
    saved = saved && (!g_hooks[1] || g_hooks[1]());
    bool renamed = commit::Finish() == 0;
    return saved && renamed;
}

} // namespace posix
