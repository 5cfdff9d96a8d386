// The running process: its executable's name, command line, ticks and sleep.
#include "common/TestSupport.h"
#include "framework/CommandLine.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using testing_support::FileExists;

TEST(ModuleFileName, IsTheRunningExecutable) {
    char path[4096];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(length, std::strlen(path));
    EXPECT_TRUE(FileExists(path));
    EXPECT_NE(nullptr, std::strstr(path, "test_platform"));
    EXPECT_EQ(length, GetModuleFileNameA(GetModuleHandleA(nullptr), path, sizeof path));
}

TEST(ModuleFileName, TooSmallBufferCutsTheName) {
    char full[4096];
    DWORD length = GetModuleFileNameA(nullptr, full, sizeof full);
    ASSERT_GT(length, 6u);
    for (DWORD size : {DWORD{5}, length}) {
        SCOPED_TRACE(size);
        char buffer[4096];
        std::memset(buffer, '#', sizeof buffer);
        SetLastError(0);
        EXPECT_EQ(size, GetModuleFileNameA(nullptr, buffer, size));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
        EXPECT_EQ(std::string(full, size - 1), std::string(buffer, size - 1));
        EXPECT_EQ('#', buffer[size]);
    }
}

TEST(ModuleHandle, ProgramHasOne) {
    EXPECT_NE(nullptr, GetModuleHandleA(nullptr));
}

TEST(CommandLine, StartsWithTheProgram) {
    const char* line = GetCommandLineA();
    ASSERT_NE(nullptr, line);
    EXPECT_EQ(line, GetCommandLineA()); // the same text every time
    std::vector<CString> args = SplitCommandLine(line);
    ASSERT_FALSE(args.empty());
    EXPECT_NE(-1, args[0].Find("test_platform"));
}

TEST(Ticks, AdvanceAcrossSleep) {
    DWORD start = GetTickCount();
    Sleep(60);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 40u); // tick granularity may be coarse
    EXPECT_LT(elapsed, 5000u);
    Sleep(0);
}

TEST(ProcessId, IsStable) {
    DWORD id = GetCurrentProcessId();
    EXPECT_NE(0u, id);
    EXPECT_EQ(id, GetCurrentProcessId());
}
