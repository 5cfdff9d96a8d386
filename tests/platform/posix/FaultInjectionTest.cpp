// The test-only fault switch of the file layer: which calls it counts, how an
// injected failure looks to the caller (result and last error as the real
// failure would give), and that a failed save leaves the old file whole.
#include "common/TestSupport.h"
#include "platform/posix/FaultInjection.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;
namespace fault = posix::fault;

namespace {

// Sets the switch's variables for one test and clears them afterwards.
class FaultSwitch {
  public:
    FaultSwitch(const char* at, const char* mode, const char* countFile = nullptr) {
        Set("CORVANE_FAULT_AT", at);
        Set("CORVANE_FAULT_MODE", mode);
        Set("CORVANE_FAULT_COUNT", countFile);
        fault::ResetForTests();
    }
    ~FaultSwitch() {
        unsetenv("CORVANE_FAULT_AT");
        unsetenv("CORVANE_FAULT_MODE");
        unsetenv("CORVANE_FAULT_COUNT");
        fault::ResetForTests();
    }

  private:
    static void Set(const char* name, const char* value) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
};

// Writes `text` to a new file through the Win32 functions; the last error of
// the first failing call when it fails.
DWORD WriteNewFile(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD written = 0;
    DWORD error = ERROR_SUCCESS;
    if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        error = GetLastError();
    else if (!FlushFileBuffers(file))
        error = GetLastError();
    CloseHandle(file);
    return error;
}

} // namespace

TEST(FaultInjection, UnsetCountsNothingAndFailsNothing) {
    FaultSwitch off(nullptr, nullptr);
    ScratchDir dir;
    EXPECT_EQ(WriteNewFile(dir.file("a.txt"), "abc"), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(CreateDirectoryA(dir.file("sub").c_str(), nullptr));
    EXPECT_TRUE(DeleteFileA(dir.file("a.txt").c_str()));
    EXPECT_EQ(fault::OperationCount(), 0u);
}

TEST(FaultInjection, EachKindOfCallFailsAsTheRealCallWould) {
    struct Case {
        const char* name;
        const char* at; // the operation of the sequence below that fails
        DWORD expected;
    };
    // The sequence, on an existing file: create (1), write (2), flush (3), rename (4), delete (5),
    // folder (6). Each case fails one of them; the others must succeed.
    const Case cases[] = {
        {"create", "1", ERROR_ACCESS_DENIED}, {"write", "2", ERROR_DISK_FULL},
        {"flush", "3", ERROR_WRITE_FAULT},    {"rename", "4", ERROR_ACCESS_DENIED},
        {"delete", "5", ERROR_ACCESS_DENIED}, {"folder", "6", ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        FaultSwitch on(c.at, "fail");
        std::string a = dir.file("a.txt");
        std::string b = dir.file("b.txt");
        WriteFileBytes(a, "old");

        DWORD writeError = WriteNewFile(a, "content");
        // A failed create leaves the file alone; a failed write leaves it empty.
        int step = std::atoi(c.at);
        EXPECT_EQ(ReadFileBytes(a), step == 1 ? "old" : step == 2 ? "" : "content");
        SetLastError(ERROR_SUCCESS);
        BOOL moved = MoveFileExA(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING);
        DWORD moveError = GetLastError();
        std::string removable = moved ? b : a;
        SetLastError(ERROR_SUCCESS);
        BOOL deleted = DeleteFileA(removable.c_str());
        DWORD deleteError = GetLastError();
        SetLastError(ERROR_SUCCESS);
        BOOL made = CreateDirectoryA(dir.file("sub").c_str(), nullptr);
        DWORD folderError = GetLastError();

        EXPECT_EQ(writeError, step <= 3 ? c.expected : static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(moved, step != 4);
        EXPECT_EQ(moveError, step == 4 ? c.expected : static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(deleted, step != 5);
        EXPECT_EQ(deleteError, step == 5 ? c.expected : static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(made, step != 6);
        EXPECT_EQ(folderError, step == 6 ? c.expected : static_cast<DWORD>(ERROR_SUCCESS));
        // A failed delete leaves the file; a failed create never made one.
        EXPECT_EQ(FileExists(removable), step == 5);
    }
}

TEST(FaultInjection, CrtFolderCreationFailsWithErrno) {
    ScratchDir dir;
    FaultSwitch on("1", "fail");
    errno = 0;
    EXPECT_EQ(_mkdir(dir.file("sub").c_str()), -1);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(_mkdir(dir.file("sub").c_str()), 0);
}

TEST(FaultInjection, OpeningForReadingIsNotCounted) {
    ScratchDir dir;
    WriteFileBytes(dir.file("a.txt"), "abc");
    FaultSwitch on("1", "fail");
    HANDLE file = CreateFileA(dir.file("a.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_EQ(fault::OperationCount(), 0u);
}

// A profile file saved whole: whichever step of the save fails (new file,
// write, flush to disk, rename), the file keeps its old text and no temporary
// file stays behind.
TEST(FaultInjection, AFailedProfileSaveLeavesTheOldFileWhole) {
    for (const char* at : {"1", "2", "3", "4"}) {
        SCOPED_TRACE(at);
        ScratchDir dir;
        std::string path = dir.file("settings.ini");
        WriteFileBytes(path, "[A]\r\nkey=old\r\n");
        {
            FaultSwitch on(at, "fail");
            ASSERT_TRUE(WritePrivateProfileStringA("A", "key", "new", path.c_str()));
            SetLastError(ERROR_SUCCESS);
            WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
            EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
            EXPECT_EQ(fault::OperationCount(), static_cast<unsigned long>(std::atoi(at)));
            EXPECT_EQ(ReadFileBytes(path), "[A]\r\nkey=old\r\n");
            size_t files = 0;
            for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
                (void)entry;
                ++files;
            }
            EXPECT_EQ(files, 1u);
            // The next flush, without a fault, writes the change.
            WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
            EXPECT_EQ(ReadFileBytes(path), "[A]\r\nkey=new\r\n");
        }
    }
}

TEST(FaultInjection, TheCountFileTellsHowManyOperationsRan) {
    ScratchDir dir;
    std::string countFile = dir.file("count");
    FaultSwitch on(nullptr, nullptr, countFile.c_str());
    ASSERT_EQ(WriteNewFile(dir.file("a.txt"), "abc"), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(ReadFileBytes(countFile), "3\n");
    for (int i = 0; i < 9; ++i)
        CreateDirectoryA(dir.file("sub" + std::to_string(i)).c_str(), nullptr);
    EXPECT_EQ(ReadFileBytes(countFile), "12\n");
}

TEST(FaultInjectionDeathTest, ExitModeEndsTheProcessAtThatOperation) {
    // Forked where it stands: the child writes into this test folder.
    GTEST_FLAG_SET(death_test_style, "fast");
    ScratchDir dir;
    std::string path = dir.file("a.txt");
    EXPECT_EXIT(
        {
            FaultSwitch on("2", "exit");
            WriteNewFile(path, "never written");
            std::exit(0);
        },
        testing::ExitedWithCode(fault::kInterruptedExitCode), "");
    // Created (operation 1), then ended before its bytes were written.
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(ReadFileBytes(path), "");
}
