#include "common/TestSupport.h"

#include "platform/winapi.h"

#include <atomic>
#include <cstdlib>
#include <chrono>
#include <fstream>
#include <sstream>

namespace testing_support {

ScratchDir::ScratchDir() {
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    m_path = std::filesystem::temp_directory_path() /
             ("corvane-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(m_path);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string ScratchDir::file(const std::string& name) const {
    return (m_path / name).string();
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

bool IsWindowsBuild() {
#ifdef _WIN32
    return true;
#else
    return false;
#endif
}

} // namespace testing_support

void SetEnvironmentVariableForTests(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
    SetEnvironmentVariableA(name, value);
}

std::string testing_support::Utf16RegistryFile(std::string_view ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) {
        if (c == '\n')
            bytes.append("\r\0", 2);
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}
