// The Windows side of the run's environment: the system's registry, "\" paths
// and the MAX_PATH limit of the ANSI file functions.
#include "platform/RunEnvironment.h"

#include "platform/winapi.h"

#include <io.h>

namespace runenv {

const char* BuildKind() {
    return "Windows";
}

char PathSeparator() {
    return '\\';
}

std::string ExpandTypedPath(const std::string& typed) {
    return typed;
}

size_t LongestPath() {
    return MAX_PATH - 1;
}

bool IsTerminal(FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

std::string SystemErrorText(unsigned long error) {
    char* text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length && text ? std::string(text, length) : std::string();
    if (text)
        LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    return message.empty() ? "system error " + std::to_string(error) : message;
}

bool HasRegistryFile() {
    return false;
}

bool SelectRegistryFile(const std::string&) {
    return false;
}

std::string RegistryFileShown() {
    return std::string();
}

bool RegistryFileMissing() {
    return false;
}

RegistryOpenResult OpenRegistry() {
    return RegistryOpenResult();
}

std::string RegistryFileNotWritable() {
    return std::string();
}

std::string ProbeFolderWritable(const std::string& folder) {
    std::string probe = folder + "\\.corvane-probe-" + std::to_string(GetCurrentProcessId());
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return SystemErrorText(GetLastError());
    CloseHandle(file);
    if (!DeleteFileA(probe.c_str()))
        return SystemErrorText(GetLastError());
    return std::string();
}

std::string ProbeFileReplaceable(const std::string& path) {
    // The read-only attribute refuses every writer on Windows; Wine lets a
    // run as root open such a file all the same.
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return SystemErrorText(ERROR_ACCESS_DENIED);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return std::string();
    }
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND)
        return std::string();
    return SystemErrorText(error);
}

} // namespace runenv
