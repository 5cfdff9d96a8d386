// The Linux side of the run's environment: "/" paths, "~" expansion and the
// registry export file named by CORVANE_REGISTRY.
#include "platform/RunEnvironment.h"

#include "platform/posix/NativePath.h"
#include "platform/posix/ProcessRegistry.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace runenv {

namespace {

const char kRegistryVariable[] = "CORVANE_REGISTRY";

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* user = getpwuid(getuid()); user && user->pw_dir)
        return user->pw_dir;
    return std::string();
}

std::string RegistryFilePath() {
    const char* configured = std::getenv(kRegistryVariable);
    return configured && *configured ? configured : "HKCU.reg";
}

// The folder of a native path ("." for a bare name).
std::string NativeFolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

const char* BuildKind() {
    return "Linux";
}

char PathSeparator() {
    return '/';
}

std::string ExpandTypedPath(const std::string& typed) {
    if (typed.empty() || typed[0] != '~' || (typed.size() > 1 && !posix::IsPathSeparator(typed[1])))
        return typed;
    std::string home = HomeFolder();
    return home.empty() ? typed : home + typed.substr(1);
}

size_t LongestPath() {
    return PATH_MAX - 1;
}

bool IsTerminal(FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

std::string SystemErrorText(unsigned long error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return std::strerror(ENOENT);
    case ERROR_ACCESS_DENIED:
        return std::strerror(EACCES);
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        return std::strerror(EEXIST);
    case ERROR_DISK_FULL:
        return std::strerror(ENOSPC);
    case ERROR_INVALID_NAME:
        return "The file name is not valid";
    default:
        return "system error " + std::to_string(error);
    }
}

bool HasRegistryFile() {
    return true;
}

bool SelectRegistryFile(const std::string& path) {
    return setenv(kRegistryVariable, path.c_str(), 1) == 0;
}

std::string RegistryFileShown() {
    return RegistryFilePath();
}

bool RegistryFileMissing() {
    struct stat info {};
    return stat(posix::NativePath(RegistryFilePath().c_str()).c_str(), &info) != 0 &&
           errno == ENOENT;
}

RegistryOpenResult OpenRegistry() {
    return posix::OpenTheRegistryStore();
}

std::string RegistryFileNotWritable() {
    std::string file = posix::NativePath(RegistryFilePath().c_str());
    // The file is replaced by a sibling renamed over it: its folder must take
    // new files; a file marked read-only is refused, as Windows refuses it.
    std::string reason = ProbeFileReplaceable(file);
    if (!reason.empty())
        return RegistryFilePath() + ": " + reason;
    std::string folder = NativeFolderOf(file);
    reason = ProbeFolderWritable(folder);
    if (!reason.empty())
        return folder + ": " + reason;
    return std::string();
}

std::string ProbeFolderWritable(const std::string& folder) {
    std::string probe =
        posix::NativePath(folder.c_str()) + "/.corvane-probe-" + std::to_string(getpid());
    int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return std::strerror(errno);
    close(fd);
    if (unlink(probe.c_str()) != 0)
        return std::strerror(errno);
    return std::string();
}

std::string ProbeFileReplaceable(const std::string& path) {
    std::string file = posix::NativePath(path.c_str());
    struct stat info {};
    if (stat(file.c_str(), &info) != 0)
        return errno == ENOENT ? std::string() : std::strerror(errno);
    if (S_ISDIR(info.st_mode))
        return std::strerror(EISDIR);
    // The mode bits, not access(): a file its owner marked read-only stays so
    // even for a run with every right.
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(file.c_str(), W_OK) != 0)
        return std::strerror(EACCES);
    return std::string();
}

} // namespace runenv
