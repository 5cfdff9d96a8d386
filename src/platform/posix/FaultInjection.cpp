#include "platform/posix/FaultInjection.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posix::fault {
namespace {

struct Settings {
    bool active = false;      // any variable set: count
    unsigned long failAt = 0; // 0: nothing fails
    bool exitMode = false;    // end the process instead of failing
    bool stopMode = false;    // stop the process at every operation from failAt on
    int countFd = -1;         // where the count is kept, or -1
};

// A positive decimal, or 0 when the text is none.
unsigned long ParseCount(const char* text) {
    if (!text || !*text)
        return 0;
    char* end = nullptr;
    errno = 0;
    unsigned long value = std::strtoul(text, &end, 10);
    return (errno != 0 || *end != '\0' || text[0] == '-') ? 0 : value;
}

Settings ReadSettings() {
    Settings settings;
    const char* at = std::getenv("CORVANE_FAULT_AT");
    const char* mode = std::getenv("CORVANE_FAULT_MODE");
    const char* countFile = std::getenv("CORVANE_FAULT_COUNT");
    settings.failAt = ParseCount(at);
    settings.exitMode = mode && std::strcmp(mode, "exit") == 0;
    settings.stopMode = mode && std::strcmp(mode, "stop") == 0;
    if (countFile && *countFile)
        settings.countFd =
            open(countFile, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    settings.active = settings.failAt != 0 || settings.countFd >= 0;
    return settings;
}

Settings& Current() {
    static Settings settings = ReadSettings();
    return settings;
}

std::atomic<unsigned long> g_count{0};

int ErrnoFor(Operation operation) {
    switch (operation) {
    case Operation::Write:
        return ENOSPC;
    case Operation::Sync:
        return EIO;
    case Operation::Create:
    case Operation::Rename:
    case Operation::Delete:
    case Operation::Folder:
        break;
    }
    return EACCES;
}

void KeepCount(int fd, unsigned long count) {
    char text[32];
    int length = std::snprintf(text, sizeof text, "%lu\n", count);
    // The count only grows: its text never gets shorter.
    if (pwrite(fd, text, static_cast<size_t>(length), 0) < 0) {
        // The count is a test aid; a failure to keep it changes nothing else.
    }
}

} // namespace

bool Inject(Operation operation) {
    const Settings& settings = Current();
    if (!settings.active)
        return false;
    unsigned long count = ++g_count;
    if (settings.countFd >= 0)
        KeepCount(settings.countFd, count);
    if (settings.stopMode && settings.failAt != 0 && count >= settings.failAt) {
        raise(SIGSTOP); // the test looks at the files, then lets the operation go on
        return false;
    }
    if (count != settings.failAt)
        return false;
    if (settings.exitMode)
        _exit(kInterruptedExitCode);
    errno = ErrnoFor(operation);
    return true;
}

unsigned long OperationCount() {
    return g_count.load();
}

int Open(const char* path, int flags, mode_t mode) {
    if (Inject(Operation::Create))
        return -1;
    return open(path, flags, mode);
}

ssize_t Write(int fd, const void* bytes, size_t count) {
    if (Inject(Operation::Write))
        return -1;
    return write(fd, bytes, count);
}

int Fsync(int fd) {
    if (Inject(Operation::Sync))
        return -1;
    return fsync(fd);
}

int Rename(const char* from, const char* to) {
    if (Inject(Operation::Rename))
        return -1;
    return rename(from, to);
}

int Link(const char* from, const char* to) {
    if (Inject(Operation::Rename))
        return -1;
    return link(from, to);
}

int Unlink(const char* path) {
    if (Inject(Operation::Delete))
        return -1;
    return unlink(path);
}

int Mkdir(const char* path, mode_t mode) {
    if (Inject(Operation::Folder))
        return -1;
    return mkdir(path, mode);
}

void ResetForTests() {
    Settings& settings = Current();
    if (settings.countFd >= 0)
        close(settings.countFd);
    settings = ReadSettings();
    g_count = 0;
}

} // namespace posix::fault
