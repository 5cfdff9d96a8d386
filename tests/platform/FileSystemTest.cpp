// Names in the file system: moving, deleting, folders, attributes, times and
// full path names.
#include "common/TestSupport.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

using testing_support::FileExists;
using testing_support::IsWindowsBuild;
using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

namespace {

char Separator() {
    return IsWindowsBuild() ? '\\' : '/';
}

} // namespace

TEST(FileMove, RenamesAndReplacesOnlyWhenAsked) {
    ScratchDir dir;
    std::string a = dir.file("a.txt"), b = dir.file("b.txt");
    WriteFileBytes(a, "A");
    ASSERT_TRUE(MoveFileExA(a.c_str(), b.c_str(), 0));
    EXPECT_FALSE(FileExists(a));
    EXPECT_EQ("A", ReadFileBytes(b));

    WriteFileBytes(a, "new");
    SetLastError(0);
    EXPECT_FALSE(MoveFileExA(a.c_str(), b.c_str(), 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ("new", ReadFileBytes(a));
    EXPECT_EQ("A", ReadFileBytes(b));

    ASSERT_TRUE(
        MoveFileExA(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_FALSE(FileExists(a));
    EXPECT_EQ("new", ReadFileBytes(b));
}

TEST(FileMove, Failures) {
    ScratchDir dir;
    std::string file = dir.file("f.txt"), folder = dir.file("sub");
    WriteFileBytes(file, "F");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    struct Case {
        const char* name;
        std::string from, to;
        DWORD flags, error;
    } cases[] = {
        {"missing source", dir.file("none.txt"), dir.file("x.txt"), 0, ERROR_FILE_NOT_FOUND},
        {"missing source folder", dir.file("no") + "\\none.txt", dir.file("x.txt"),
         MOVEFILE_REPLACE_EXISTING, ERROR_PATH_NOT_FOUND},
        {"missing target folder", file, dir.file("no") + "\\x.txt", MOVEFILE_REPLACE_EXISTING,
         ERROR_PATH_NOT_FOUND},
        {"file over folder", file, folder, MOVEFILE_REPLACE_EXISTING, ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        EXPECT_FALSE(MoveFileExA(c.from.c_str(), c.to.c_str(), c.flags));
        EXPECT_EQ(c.error, GetLastError());
    }
    EXPECT_EQ("F", ReadFileBytes(file));
}

TEST(FileDelete, RemovesFilesOnly) {
    ScratchDir dir;
    std::string file = dir.file("f.txt"), folder = dir.file("sub");
    WriteFileBytes(file, "F");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    EXPECT_TRUE(DeleteFileA(file.c_str()));
    EXPECT_FALSE(FileExists(file));
    struct Case {
        std::string path;
        DWORD error;
    } cases[] = {
        {file, ERROR_FILE_NOT_FOUND},
        {dir.file("no") + "\\f.txt", ERROR_PATH_NOT_FOUND},
        {folder, ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        SetLastError(0);
        EXPECT_FALSE(DeleteFileA(c.path.c_str()));
        EXPECT_EQ(c.error, GetLastError());
    }
    EXPECT_TRUE(FileExists(folder));
}

TEST(FolderCreate, OneLevelAtATime) {
    ScratchDir dir;
    std::string sub = dir.file("sub");
    EXPECT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    EXPECT_TRUE(std::filesystem::is_directory(sub));
    SetLastError(0);
    EXPECT_FALSE(CreateDirectoryA(sub.c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    std::string deep = dir.file("a") + "\\b";
    SetLastError(0);
    EXPECT_FALSE(CreateDirectoryA(deep.c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_TRUE(CreateDirectoryA((sub + "/inner").c_str(), nullptr));
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(sub) / "inner"));
}

TEST(Mkdir, ReportsExistingAndMissingParentThroughErrno) {
    ScratchDir dir;
    std::string sub = dir.file("data");
    errno = 0;
    EXPECT_EQ(0, _mkdir(sub.c_str()));
    errno = 0;
    EXPECT_EQ(-1, _mkdir(sub.c_str()));
    EXPECT_EQ(EEXIST, errno);
    errno = 0;
    EXPECT_EQ(-1, _mkdir((dir.file("none") + "\\data").c_str()));
    EXPECT_EQ(ENOENT, errno);
    WriteFileBytes(dir.file("file"), "");
    errno = 0;
    EXPECT_EQ(-1, _mkdir((dir.file("file") + "\\data").c_str()));
    EXPECT_EQ(ENOENT, errno);
}

TEST(FileAttributes, FoldersFilesAndMissingNames) {
    ScratchDir dir;
    std::string file = dir.file("f.txt");
    WriteFileBytes(file, "12345");
    DWORD attributes = GetFileAttributesA(dir.path().string().c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    attributes = GetFileAttributesA(file.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_FALSE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(attributes & FILE_ATTRIBUTE_READONLY);

    SetLastError(0);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir.file("none").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    SetLastError(0);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((dir.file("none") + "\\x").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
}

TEST(FileAttributes, SizeAndLastWriteTimeIn100NanosecondsSince1601) {
    ScratchDir dir;
    std::string file = dir.file("f.txt");
    uint64_t before = static_cast<uint64_t>(std::time(nullptr));
    WriteFileBytes(file, std::string(70000, 'x'));
    WIN32_FILE_ATTRIBUTE_DATA info;
    std::memset(&info, 0xCC, sizeof info);
    ASSERT_TRUE(GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &info));
    EXPECT_EQ(0u, info.nFileSizeHigh);
    EXPECT_EQ(70000u, info.nFileSizeLow);
    EXPECT_FALSE(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    uint64_t written = (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                       info.ftLastWriteTime.dwLowDateTime;
    const uint64_t kSecondsFrom1601To1970 = 11644473600ULL;
    uint64_t seconds = written / 10000000ULL - kSecondsFrom1601To1970;
    EXPECT_GE(seconds + 2, before);
    EXPECT_LE(seconds, before + 60);

    SetLastError(0);
    EXPECT_FALSE(GetFileAttributesExA(dir.file("none").c_str(), GetFileExInfoStandard, &info));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST(FullPathName, ResolvesRelativeNamesAndDots) {
    std::string cwd = std::filesystem::current_path().string();
    if (cwd.back() == Separator())
        cwd.pop_back();
    const char s = Separator();
    struct Case {
        const char* input;
        std::string expected;
        const char* filePart; // null: none
    } cases[] = {
        {"x.ini", cwd + s + "x.ini", "x.ini"},
        {"a\\b\\..\\c.ini", cwd + s + "a" + s + "c.ini", "c.ini"},
        {"a/./b/c.ini", cwd + s + "a" + s + "b" + s + "c.ini", "c.ini"},
        {"a\\\\b.ini", cwd + s + "a" + s + "b.ini", "b.ini"},
        {"sub\\", cwd + s + "sub" + s, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        char buffer[MAX_PATH];
        LPSTR filePart = reinterpret_cast<LPSTR>(1);
        DWORD length = GetFullPathNameA(c.input, MAX_PATH, buffer, &filePart);
        ASSERT_EQ(c.expected.size(), length);
        EXPECT_EQ(c.expected, buffer);
        if (c.filePart) {
            ASSERT_NE(nullptr, filePart);
            EXPECT_STREQ(c.filePart, filePart);
        } else {
            EXPECT_EQ(nullptr, filePart);
        }
    }
}

TEST(FullPathName, TooSmallBufferReturnsTheSizeNeeded) {
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA("name.ini", MAX_PATH, full, nullptr);
    ASSERT_GT(length, 0u);
    char buffer[MAX_PATH];
    std::memset(buffer, '#', sizeof buffer);
    // One short of room for the NUL: the size with the NUL comes back.
    EXPECT_EQ(length + 1, GetFullPathNameA("name.ini", length, buffer, nullptr));
    EXPECT_EQ(length + 1, GetFullPathNameA("name.ini", 0, nullptr, nullptr));
    // Exactly enough room.
    EXPECT_EQ(length, GetFullPathNameA("name.ini", length + 1, buffer, nullptr));
    EXPECT_STREQ(full, buffer);
    EXPECT_EQ('#', buffer[length + 1]);
}

TEST(FullPathName, DotsAtTheEndAndLongPaths) {
    std::string cwd = std::filesystem::current_path().string();
    if (cwd.back() == Separator())
        cwd.pop_back();
    char buffer[400];
    EXPECT_EQ(cwd.size() + 2, GetFullPathNameA("a\\.", sizeof buffer, buffer, nullptr));
    EXPECT_EQ(cwd + Separator() + "a", buffer);
    std::string parent = cwd.substr(0, cwd.find_last_of(Separator()));
    if (parent.size() < 3) // the root keeps its separator
        parent += Separator();
    EXPECT_EQ(parent.size(), GetFullPathNameA("a\\..\\..", sizeof buffer, buffer, nullptr));
    EXPECT_EQ(parent, buffer);
    SetLastError(0);
    EXPECT_EQ(0u, GetFullPathNameA("", sizeof buffer, buffer, nullptr));

    // The 8-bit form serves paths shorter than MAX_PATH only.
    std::string name(MAX_PATH - 2 - cwd.size(), 'n'); // full path of MAX_PATH - 1
    EXPECT_EQ(static_cast<DWORD>(MAX_PATH - 1),
              GetFullPathNameA(name.c_str(), sizeof buffer, buffer, nullptr));
    name += 'n';
    SetLastError(0);
    EXPECT_EQ(0u, GetFullPathNameA(name.c_str(), sizeof buffer, buffer, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), GetLastError());
}

TEST(TempPath, EndsWithASeparatorAndFollowsTheBufferRules) {
    char buffer[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, buffer);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
    EXPECT_EQ(length, std::strlen(buffer));
    EXPECT_EQ(Separator(), buffer[length - 1]);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(buffer));
    EXPECT_EQ(length + 1, GetTempPathA(length, buffer));
}
