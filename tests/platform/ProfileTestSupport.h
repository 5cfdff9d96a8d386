// Helpers for the private-profile tests, the same in both builds: a scratch
// file, calls with sentinel-filled buffers, and the file's bytes after a save.
#pragma once

#include "common/TestSupport.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace profile_test {

using namespace std::string_literals;

// Bytes after the buffer and bytes no call should have written hold this.
constexpr char kSentinel = '\x7e';
constexpr size_t kGuard = 8;

// What one GetPrivateProfileStringA call gave.
struct Got {
    DWORD result = 0;
    std::string text; // buffer[0, result): the value, or the names with their NULs
    std::vector<char> buffer;
};

// Calls GetPrivateProfileStringA with a buffer of `size` bytes pre-filled with
// the sentinel and checks what it may not touch: the guard bytes after the
// buffer and everything after the result's NUL (but the second NUL that may end
// a list), and the NUL itself.
inline Got GetString(const char* section, const char* key, const char* def, DWORD size,
                     const std::string& file) {
    Got got;
    got.buffer.assign(size + kGuard, kSentinel);
    got.result = GetPrivateProfileStringA(section, key, def, got.buffer.data(), size, file.c_str());
    if (size == 0) {
        EXPECT_EQ(0u, got.result);
        EXPECT_EQ(std::string(kGuard, kSentinel), std::string(got.buffer.begin(), got.buffer.end()))
            << "a zero-size buffer is not touched";
        return got;
    }
    EXPECT_LT(got.result, size);
    if (got.result >= size)
        return got;
    got.text.assign(got.buffer.data(), got.result);
    EXPECT_EQ('\0', got.buffer[got.result]) << "result not followed by a NUL";
    bool list = !section || !key;
    if (!list && got.result + 1 < got.buffer.size()) {
        EXPECT_EQ(kSentinel, got.buffer[got.result + 1]) << "stray write after a value";
    }
    for (size_t i = got.result + 2; i < got.buffer.size(); ++i)
        EXPECT_EQ(kSentinel, got.buffer[i]) << "stray write at " << i;
    return got;
}

inline std::string Value(const char* section, const char* key, const std::string& file,
                         const char* def = "(default)", DWORD size = 1024) {
    return GetString(section, key, def, size, file).text;
}

// The file's bytes once the cache has saved it.
inline std::string SavedBytes(const std::string& file) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    return testing_support::ReadFileBytes(file);
}

// The same text with CRLF line ends replaced by `lineEnd`.
inline std::string WithLineEnds(const std::string& crlfText, const std::string& lineEnd) {
    std::string out;
    for (size_t i = 0; i < crlfText.size(); ++i) {
        if (crlfText.compare(i, 2, "\r\n") == 0) {
            out += lineEnd;
            ++i;
        } else {
            out += crlfText[i];
        }
    }
    return out;
}

// The three line-end styles every reading case runs with.
inline std::vector<std::pair<std::string, std::string>> LineEndStyles() {
    return {{"CRLF", "\r\n"}, {"LF", "\n"}, {"CR", "\r"}};
}

// A scratch folder whose pending profile changes are saved before it goes, so
// that nothing is left to save into a removed folder at exit.
class ProfileFolder {
  public:
    ~ProfileFolder() { WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr); }
    std::string File(const std::string& name) const { return m_dir.file(name); }
    // A file holding `bytes`.
    std::string FileWith(const std::string& name, const std::string& bytes) const {
        std::string path = File(name);
        testing_support::WriteFileBytes(path, bytes);
        return path;
    }

  private:
    testing_support::ScratchDir m_dir;
};

} // namespace profile_test
