// Environment variables: reading with the Win32 buffer rules, setting and
// deleting, and %NAME% expansion.
#include "common/TestSupport.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

using testing_support::IsWindowsBuild;

TEST(EnvironmentVariable, SetGetAndDelete) {
    ASSERT_TRUE(SetEnvironmentVariableA("CORVANE_TEST_VAR", "value 1"));
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(7u, GetEnvironmentVariableA("CORVANE_TEST_VAR", buffer, sizeof buffer));
    EXPECT_STREQ("value 1", buffer);
    // Too small: the size with the NUL.
    EXPECT_EQ(8u, GetEnvironmentVariableA("CORVANE_TEST_VAR", buffer, 7));
    EXPECT_EQ(8u, GetEnvironmentVariableA("CORVANE_TEST_VAR", nullptr, 0));
    EXPECT_EQ(7u, GetEnvironmentVariableA("CORVANE_TEST_VAR", buffer, 8));
    if (!IsWindowsBuild()) {
        // The C library's view is the same store here (the Windows C runtime
        // keeps a copy of its own).
        const char* seen = std::getenv("CORVANE_TEST_VAR");
        ASSERT_NE(nullptr, seen);
        EXPECT_STREQ("value 1", seen);
    }
    ASSERT_TRUE(SetEnvironmentVariableA("CORVANE_TEST_VAR", nullptr));
    SetLastError(0);
    EXPECT_EQ(0u, GetEnvironmentVariableA("CORVANE_TEST_VAR", buffer, sizeof buffer));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND), GetLastError());
    if (!IsWindowsBuild()) {
        EXPECT_EQ(nullptr, std::getenv("CORVANE_TEST_VAR"));
    }
    EXPECT_TRUE(SetEnvironmentVariableA("CORVANE_TEST_VAR", nullptr)); // already gone
    // An empty value returns 0 like a missing one; the last error tells them apart.
    ASSERT_TRUE(SetEnvironmentVariableA("CORVANE_TEST_VAR", ""));
    SetLastError(0);
    EXPECT_EQ(0u, GetEnvironmentVariableA("CORVANE_TEST_VAR", buffer, sizeof buffer));
    EXPECT_EQ(0u, GetLastError());
    EXPECT_STREQ("", buffer);
    SetLastError(0);
    EXPECT_FALSE(SetEnvironmentVariableA("A=B", "x"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetEnvironmentVariableA("CORVANE_TEST_VAR", nullptr);
}

TEST(EnvironmentVariable, NamesIgnoreCase) {
    ASSERT_TRUE(SetEnvironmentVariableA("CORVANE_Mixed_Case", "m"));
    char buffer[8];
    EXPECT_EQ(1u, GetEnvironmentVariableA("corvane_mixed_case", buffer, sizeof buffer));
    EXPECT_STREQ("m", buffer);
    ASSERT_TRUE(SetEnvironmentVariableA("CORVANE_MIXED_CASE", "n"));
    EXPECT_EQ(1u, GetEnvironmentVariableA("Corvane_Mixed_Case", buffer, sizeof buffer));
    EXPECT_STREQ("n", buffer);
    SetEnvironmentVariableA("CORVANE_MIXED_CASE", nullptr);
    EXPECT_EQ(0u, GetEnvironmentVariableA("CORVANE_Mixed_Case", buffer, sizeof buffer));
}

TEST(EnvironmentExpansion, ExpandsKnownNamesAndKeepsTheRest) {
    ASSERT_TRUE(SetEnvironmentVariableA("CORVANE_ROOT", "C:\\data"));
    ASSERT_TRUE(SetEnvironmentVariableA("CORVANE_EMPTY", ""));
    SetEnvironmentVariableA("CORVANE_UNSET", nullptr);
    struct Case {
        const char* input;
        const char* expected;
    } cases[] = {
        {"plain text", "plain text"},
        {"", ""},
        {"%CORVANE_ROOT%\\x.ini", "C:\\data\\x.ini"},
        {"%corvane_root%", "C:\\data"},
        {"a%CORVANE_ROOT%b%CORVANE_ROOT%c", "aC:\\databC:\\datac"},
        {"%CORVANE_UNSET%\\x", "%CORVANE_UNSET%\\x"},
        {"%CORVANE_UNSET%CORVANE_ROOT%", "%CORVANE_UNSET%CORVANE_ROOT%"},
        {"100%", "100%"},
        {"%%", "%%"},
        {"50% of %CORVANE_ROOT", "50% of %CORVANE_ROOT"},
        {"[%CORVANE_EMPTY%]", "[]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        char buffer[256];
        std::memset(buffer, '#', sizeof buffer);
        DWORD size = ExpandEnvironmentStringsA(c.input, buffer, sizeof buffer);
        EXPECT_STREQ(c.expected, buffer);
        EXPECT_EQ(std::strlen(c.expected) + 1, size); // counts the NUL
        EXPECT_EQ(size, ExpandEnvironmentStringsA(c.input, nullptr, 0));
    }
    SetEnvironmentVariableA("CORVANE_ROOT", nullptr);
    SetEnvironmentVariableA("CORVANE_EMPTY", nullptr);
}

TEST(EnvironmentExpansion, TooSmallBufferGetsWhatFitsAndTheSizeNeeded) {
    ASSERT_TRUE(SetEnvironmentVariableA("CORVANE_ROOT", "0123456789"));
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    SetLastError(0);
    EXPECT_EQ(15u, ExpandEnvironmentStringsA("ab%CORVANE_ROOT%cd", buffer, 6));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_STREQ("ab012", buffer);
    EXPECT_EQ('#', buffer[6]);
    SetLastError(0);
    EXPECT_EQ(15u, ExpandEnvironmentStringsA("ab%CORVANE_ROOT%cd", buffer, 15));
    EXPECT_EQ(0u, GetLastError());
    EXPECT_STREQ("ab0123456789cd", buffer);
    SetEnvironmentVariableA("CORVANE_ROOT", nullptr);
}
