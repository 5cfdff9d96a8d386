#include "platform/posix/StaleTemporaries.h"

#include <cerrno>
#include <dirent.h>
#include <signal.h>
#include <string>
#include <unistd.h>

namespace posix {

namespace {

// The process number at the start of `rest`, or 0 when it does not start
// with one followed by the end or a '.'.
pid_t ProcessOf(const std::string& rest) {
    size_t digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9')
        ++digits;
    if (digits == 0 || digits > 9 || (digits < rest.size() && rest[digits] != '.'))
        return 0;
    return static_cast<pid_t>(std::stol(rest.substr(0, digits)));
}

bool ProcessGone(pid_t pid) {
    return pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH;
}

} // namespace

int RemoveStaleTemporaries(const std::string& folder, const std::string& prefix,
                           const std::string& suffix) {
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() <= prefix.size() + suffix.size() ||
            name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        pid_t pid =
            ProcessOf(name.substr(prefix.size(), name.size() - prefix.size() - suffix.size()));
        if (pid > 0 && ProcessGone(pid) && unlink((folder + "/" + name).c_str()) == 0)
            ++removed;
    }
    closedir(dir);
    return removed;
}

} // namespace posix
