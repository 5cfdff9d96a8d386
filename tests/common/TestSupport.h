// Helpers shared by the test suites: scratch folders and whole-file bytes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace testing_support {

// A fresh empty folder, removed with its content when the object goes.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // path() / name as a narrow string with native separators.
    std::string file(const std::string& name) const;

  private:
    std::filesystem::path m_path;
};

std::string ReadFileBytes(const std::string& path);
// ASCII text with "\n" line ends as a UTF-16LE file with CRLF line ends and a
// byte-order mark, as the registry editor writes its export files.
std::string Utf16RegistryFile(std::string_view ascii);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// True in the Windows build (tests run under Wine).
bool IsWindowsBuild();

} // namespace testing_support

// Sets a variable for this process, seen by getenv and by the Win32 layer.
void SetEnvironmentVariableForTests(const char* name, const char* value);
