// CreateFileA and the handle functions: creation dispositions, the errors
// callers tell apart, sharing between handles, and reading and writing.
#include "common/TestSupport.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <string>

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

namespace {

struct OpenResult {
    HANDLE handle;
    DWORD error;
};

OpenResult Open(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    SetLastError(0xDEADBEEF);
    HANDLE h = CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    return {h, GetLastError()};
}

std::string ReadAll(HANDLE h) {
    std::string text;
    char buffer[7]; // small, so that reads take several rounds
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    return text;
}

} // namespace

TEST(FileOpen, DispositionsCreateTruncateAndReportAnExistingFile) {
    ScratchDir dir;
    std::string path = dir.file("a.txt");
    struct Case {
        const char* name;
        DWORD disposition;
        bool existsBefore;
        bool opens;
        DWORD error;
        const char* contentAfter; // null: file absent
    } cases[] = {
        {"create new, missing", CREATE_NEW, false, true, ERROR_SUCCESS, ""},
        {"create new, existing", CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
        {"create always, missing", CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {"create always, existing", CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {"open existing, missing", OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {"open existing, existing", OPEN_EXISTING, true, true, ERROR_SUCCESS, "old"},
        {"open always, missing", OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {"open always, existing", OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
        {"truncate existing, missing", TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND,
         nullptr},
        {"truncate existing, existing", TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(path.c_str());
        if (c.existsBefore)
            WriteFileBytes(path, "old");
        OpenResult r = Open(path, GENERIC_READ | GENERIC_WRITE, 0, c.disposition);
        EXPECT_EQ(c.opens, r.handle != INVALID_HANDLE_VALUE);
        EXPECT_EQ(c.error, r.error);
        if (r.handle != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(r.handle));
        }
        if (c.contentAfter) {
            EXPECT_EQ(c.contentAfter, ReadFileBytes(path));
        } else {
            EXPECT_FALSE(FileExists(path));
        }
    }
}

TEST(FileOpen, ErrorsTellMissingFileMissingFolderAndFolderApart) {
    ScratchDir dir;
    std::string sub = dir.file("sub");
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    WriteFileBytes(dir.file("plain.txt"), "x");
    struct Case {
        std::string path;
        DWORD disposition;
        DWORD error;
    } cases[] = {
        {dir.file("missing.txt"), OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {dir.file("nofolder") + "\\x.txt", OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {dir.file("nofolder") + "\\x.txt", CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {dir.file("plain.txt") + "\\x.txt", OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {sub, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {sub, CREATE_ALWAYS, ERROR_ACCESS_DENIED},
        {dir.file("bad*name.txt"), CREATE_ALWAYS, ERROR_INVALID_NAME},
        {dir.file("bad?name.txt"), OPEN_EXISTING, ERROR_INVALID_NAME},
        {"", OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {dir.file("plain.txt") + "\\", OPEN_EXISTING, ERROR_INVALID_NAME},
        {dir.file("new.txt") + "\\", CREATE_ALWAYS, ERROR_INVALID_NAME},
        {dir.file("missing.txt") + "\\", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        OpenResult r = Open(c.path, GENERIC_READ, FILE_SHARE_READ, c.disposition);
        EXPECT_EQ(INVALID_HANDLE_VALUE, r.handle);
        EXPECT_EQ(c.error, r.error);
        if (r.handle != INVALID_HANDLE_VALUE)
            CloseHandle(r.handle);
    }
    EXPECT_FALSE(FileExists(dir.file("bad*name.txt")));
}

TEST(FileOpen, AcceptsBothSeparators) {
    ScratchDir dir;
    ASSERT_TRUE(CreateDirectoryA(dir.file("sub").c_str(), nullptr));
    std::string base = dir.path().string();
    for (std::string path : {base + "\\sub\\x.txt", base + "/sub/x.txt", base + "/sub\\x.txt"}) {
        SCOPED_TRACE(path);
        OpenResult r = Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
        ASSERT_NE(INVALID_HANDLE_VALUE, r.handle);
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(r.handle, "abc", 3, &written, nullptr));
        EXPECT_TRUE(CloseHandle(r.handle));
        EXPECT_EQ("abc", ReadFileBytes((dir.path() / "sub" / "x.txt").string()));
    }
}

// A second handle opens only when its access is shared by the first and the
// first's access is shared by it.
TEST(FileOpen, SharingModesRefuseConflictingHandles) {
    const DWORD R = GENERIC_READ, W = GENERIC_WRITE, RW = R | W;
    const DWORD SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE, SRW = SR | SW;
    struct Case {
        const char* name;
        DWORD access1, share1, access2, share2;
        bool secondOpens;
    } cases[] = {
        {"readers sharing reading", R, SR, R, SR, true},
        {"reader denying writers, then writer", R, SR, W, SRW, false},
        {"writer, then reader denying writers", W, SRW, R, SR, false},
        {"writer sharing all, then reader sharing all", W, SRW, R, SRW, true},
        {"exclusive reader, then reader", R, 0, R, SRW, false},
        {"reader sharing writing only, then writer", R, SW, W, SRW, true},
        {"reader sharing writing only, then reader", R, SW, R, SRW, false},
        {"reader, then reader denying readers", R, SRW, R, SW, false},
        {"writers sharing writing", W, SW, W, SW, true},
        {"writer denying writers, then writer", W, SR, W, SRW, false},
        {"read-write sharing all twice", RW, SRW, RW, SRW, true},
        {"writer denying readers, then reader", W, SW, R, SRW, false},
    };
    ScratchDir dir;
    std::string path = dir.file("shared.txt");
    WriteFileBytes(path, "data");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenResult first = Open(path, c.access1, c.share1, OPEN_EXISTING);
        ASSERT_NE(INVALID_HANDLE_VALUE, first.handle);
        OpenResult second = Open(path, c.access2, c.share2, OPEN_EXISTING);
        EXPECT_EQ(c.secondOpens, second.handle != INVALID_HANDLE_VALUE);
        if (second.handle != INVALID_HANDLE_VALUE)
            CloseHandle(second.handle);
        else {
            EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), second.error);
        }
        CloseHandle(first.handle);
        // Once the first handle is closed nothing stands in the way.
        OpenResult again = Open(path, c.access2, c.share2, OPEN_EXISTING);
        EXPECT_NE(INVALID_HANDLE_VALUE, again.handle);
        if (again.handle != INVALID_HANDLE_VALUE)
            CloseHandle(again.handle);
    }
}

TEST(FileOpen, RefusedTruncationLeavesTheContent) {
    ScratchDir dir;
    std::string path = dir.file("keep.txt");
    WriteFileBytes(path, "precious");
    OpenResult reader = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader.handle);
    for (DWORD disposition :
         {static_cast<DWORD>(CREATE_ALWAYS), static_cast<DWORD>(TRUNCATE_EXISTING)}) {
        OpenResult writer = Open(path, GENERIC_WRITE, FILE_SHARE_READ, disposition);
        EXPECT_EQ(INVALID_HANDLE_VALUE, writer.handle);
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), writer.error);
    }
    EXPECT_EQ("precious", ReadAll(reader.handle));
    CloseHandle(reader.handle);
}

TEST(FileHandle, ReadWriteSeekAndSize) {
    ScratchDir dir;
    std::string path = dir.file("rw.bin");
    OpenResult r = Open(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(INVALID_HANDLE_VALUE, r.handle);
    HANDLE h = r.handle;
    std::string data("hello\0world\r\n", 13);
    data += std::string(1000, 'z');
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr));
    EXPECT_EQ(data.size(), written);
    DWORD high = 77;
    EXPECT_EQ(data.size(), GetFileSize(h, &high));
    EXPECT_EQ(0u, high);

    EXPECT_EQ(0u, SetFilePointer(h, 0, nullptr, FILE_BEGIN));
    EXPECT_EQ(data, ReadAll(h));
    DWORD got = 99;
    char byte;
    EXPECT_TRUE(ReadFile(h, &byte, 1, &got, nullptr)); // at the end: success, nothing read
    EXPECT_EQ(0u, got);

    EXPECT_EQ(data.size() - 4, SetFilePointer(h, -4, nullptr, FILE_END));
    EXPECT_EQ(data.size() - 2, SetFilePointer(h, 2, nullptr, FILE_CURRENT));
    SetLastError(0);
    EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(h, -1, nullptr, FILE_BEGIN));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NEGATIVE_SEEK), GetLastError());
    EXPECT_EQ(data.size() - 2, SetFilePointer(h, 0, nullptr, FILE_CURRENT)); // unmoved

    // Writing past the end fills the gap with zero bytes.
    EXPECT_EQ(data.size() + 3, SetFilePointer(h, 3, nullptr, FILE_END));
    ASSERT_TRUE(WriteFile(h, "!", 1, &written, nullptr));
    LONG moveHigh = 0;
    EXPECT_EQ(0u, SetFilePointer(h, 0, &moveHigh, FILE_BEGIN));
    EXPECT_EQ(data + std::string(3, '\0') + "!", ReadAll(h));
    EXPECT_TRUE(FlushFileBuffers(h));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(data + std::string(3, '\0') + "!", ReadFileBytes(path));
}

TEST(FileHandle, AccessIsCheckedPerHandle) {
    ScratchDir dir;
    std::string path = dir.file("a.txt");
    WriteFileBytes(path, "abc");
    OpenResult reader = Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    OpenResult writer =
        Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader.handle);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer.handle);
    DWORD count = 5;
    SetLastError(0);
    EXPECT_FALSE(WriteFile(reader.handle, "x", 1, &count, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(0u, count);
    char buffer[4];
    count = 5;
    SetLastError(0);
    EXPECT_FALSE(ReadFile(writer.handle, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(0u, count);
    SetLastError(0);
    EXPECT_FALSE(FlushFileBuffers(reader.handle));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    // The writer sees what the reader reads back.
    EXPECT_TRUE(WriteFile(writer.handle, "XY", 2, &count, nullptr));
    EXPECT_EQ("XYc", ReadAll(reader.handle));
    CloseHandle(reader.handle);
    CloseHandle(writer.handle);

    SetLastError(0);
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}
