// The running process: module file name and handle, command line, ticks,
// sleeping and the process id.
#include "platform/posix/CommandLineQuoting.h"
#include "platform/posix/NativePath.h"
#include "platform/winapi.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace posix {

namespace {

std::string QuoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char ch : arg) {
        if (ch == '\\') {
            ++backslashes;
            continue;
        }
        if (ch == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted += ch;
    }
    quoted.append(backslashes * 2, '\\'); // they precede the closing quote
    quoted += '"';
    return quoted;
}

std::string QuoteProgramName(const std::string& name) {
    std::string plain;
    for (char ch : name)
        if (ch != '"')
            plain += ch;
    if (plain.empty() || plain.find_first_of(" \t") != std::string::npos)
        return "\"" + plain + "\"";
    return plain;
}

} // namespace

std::string QuoteCommandLine(const std::vector<std::string>& args) {
    std::string line;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i > 0)
            line += ' ';
        line += i == 0 ? QuoteProgramName(args[i]) : QuoteArgument(args[i]);
    }
    return line;
}

} // namespace posix

namespace {

// The real path of the running executable; empty when it cannot be had.
std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return std::string();
        if (static_cast<size_t>(length) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(length));
        buffer.resize(buffer.size() * 2);
    }
}

// Any non-null value serves as the module handle of the program.
char g_moduleAnchor;

} // namespace

extern "C" DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    if (hModule && hModule != reinterpret_cast<HMODULE>(&g_moduleAnchor)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::string path = posix::AnsiPath(ExecutablePath());
    if (path.empty()) {
        SetLastError(ERROR_GEN_FAILURE);
        return 0;
    }
    if (!lpFilename || nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() < nSize) {
        std::memcpy(lpFilename, path.c_str(), path.size() + 1);
        return static_cast<DWORD>(path.size());
    }
    // Too small: the name is cut to nSize - 1 characters and terminated, the
    // result is nSize.
    std::memcpy(lpFilename, path.data(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}

extern "C" HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(&g_moduleAnchor);
}

extern "C" LPSTR GetCommandLineA(void) {
    static std::once_flag once;
    static std::string* line = nullptr;
    std::call_once(once, [] {
        std::vector<std::string> args;
        std::ifstream in("/proc/self/cmdline", std::ios::binary);
        std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        size_t pos = 0;
        while (pos < raw.size()) {
            size_t end = raw.find('\0', pos);
            if (end == std::string::npos)
                end = raw.size();
            args.push_back(posix::AnsiPath(raw.substr(pos, end - pos)));
            pos = end + 1;
        }
        // Never destroyed: the text lives until the process ends.
        line = new std::string(posix::QuoteCommandLine(args));
    });
    return line->data();
}

extern "C" DWORD GetTickCount(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<DWORD>(ms); // wraps after 49.7 days, as on Windows
}

extern "C" void Sleep(DWORD dwMilliseconds) {
    struct timespec rest;
    rest.tv_sec = dwMilliseconds / 1000;
    rest.tv_nsec = static_cast<long>(dwMilliseconds % 1000) * 1000000L;
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}

extern "C" DWORD GetCurrentProcessId(void) {
    return static_cast<DWORD>(getpid());
}
