// Sharing modes hold between processes, not only between handles of one.
#include "common/TestSupport.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

namespace {

// Opens the file in a child process; returns the Win32 error of that open
// (0 when it opened).
DWORD OpenInChild(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    pid_t child = fork();
    if (child == 0) {
        HANDLE h = CreateFileA(path.c_str(), access, share, nullptr, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        _exit(h == INVALID_HANDLE_VALUE ? static_cast<int>(GetLastError() & 0x7F) : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? static_cast<DWORD>(WEXITSTATUS(status)) : 0xFFu;
}

} // namespace

TEST(SharingAcrossProcesses, AnotherProcessIsRefusedAndSeesTheContentKept) {
    ScratchDir dir;
    std::string path = dir.file("locked.ini");
    WriteFileBytes(path, "[a]\r\nk=v\r\n");
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION),
              OpenInChild(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS));
    EXPECT_EQ(0u, OpenInChild(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    EXPECT_EQ("[a]\r\nk=v\r\n", testing_support::ReadFileBytes(path));
    CloseHandle(reader);
    EXPECT_EQ(0u, OpenInChild(path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING));

    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION),
              OpenInChild(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING));
    CloseHandle(writer);
}
