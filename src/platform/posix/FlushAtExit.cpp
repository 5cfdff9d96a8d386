#include "platform/posix/FlushAtExit.h"

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
    if (g_hooks[0] && !g_hooks[0]())
        return false;
    if (g_hooks[1] && !g_hooks[1]())
        return false;
    return true;
}

} // namespace posix
