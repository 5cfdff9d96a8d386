#define CORVANE_REAL_WIN32
#include "platform/windows/KillSwitch.h"

#include "platform/winapi.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kill_switch {
namespace {

struct Settings {
    unsigned long at = 0; // 0: never
    DWORD delayMs = 0;
    std::string countFile;
};

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

const Settings& Current() {
    static const Settings settings = [] {
        Settings s;
        std::string mode = Environment("CORVANE_FAULT_MODE");
        if (mode.empty() || mode == "exit")
            s.at = std::strtoul(Environment("CORVANE_FAULT_AT").c_str(), nullptr, 10);
        s.delayMs = static_cast<DWORD>(
            std::strtoul(Environment("CORVANE_FAULT_DELAY_MS").c_str(), nullptr, 10));
        s.countFile = Environment("CORVANE_FAULT_COUNT");
        return s;
    }();
    return settings;
}

unsigned long g_count = 0;

void WriteCount() {
    if (FILE* f = std::fopen(Current().countFile.c_str(), "w")) {
        std::fprintf(f, "%lu\n", g_count);
        std::fclose(f);
    }
}

DWORD WINAPI EndLater(LPVOID delay) {
    Sleep(static_cast<DWORD>(reinterpret_cast<uintptr_t>(delay)));
    TerminateProcess(GetCurrentProcess(), kExitCode);
    return 0;
}

} // namespace

void Point() {
    const Settings& settings = Current();
    if (settings.at == 0 && settings.countFile.empty())
        return;
    if (++g_count == 1 && !settings.countFile.empty())
        std::atexit(WriteCount);
    if (g_count != settings.at)
        return;
    if (settings.delayMs == 0)
        TerminateProcess(GetCurrentProcess(), kExitCode);
    // The operation goes ahead; the process ends while it runs (or later).
    HANDLE thread = CreateThread(nullptr, 0, EndLater,
                                 reinterpret_cast<LPVOID>(uintptr_t(settings.delayMs)), 0, nullptr);
    if (thread)
        CloseHandle(thread);
    else
        TerminateProcess(GetCurrentProcess(), kExitCode);
}

} // namespace kill_switch
