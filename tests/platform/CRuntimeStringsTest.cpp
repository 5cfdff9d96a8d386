// Case-insensitive comparisons of the Windows C runtime.
#include "platform/winapi.h"

#include <gtest/gtest.h>

namespace {

int Sign(int value) {
    return (value > 0) - (value < 0);
}

const unsigned char* U(const char* text) {
    return reinterpret_cast<const unsigned char*>(text);
}

} // namespace

TEST(CaseInsensitiveCompare, FoldsAsciiLettersToLowerCase) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    } cases[] = {
        {"Settings", "SETTINGS", 0},
        {"keep", "KEEP", 0},
        {"abc", "abd", -1},
        {"abd", "ABC", 1},
        {"ab", "abc", -1},
        {"", "", 0},
        {"_", "A", -1}, // letters fold down: 'a' (0x61) sorts after '_' (0x5F)
        {"[", "a", -1},
        {"a", "[", 1},
        {"\xC3\xA9", "\xC3\x89", 1}, // non-ASCII bytes do not fold
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(c.sign, Sign(_stricmp(c.a, c.b)));
        EXPECT_EQ(c.sign, Sign(_mbsicmp(U(c.a), U(c.b))));
    }
}

TEST(CaseInsensitiveCompare, BoundedFormsStopAfterN) {
    struct Case {
        const char* a;
        const char* b;
        size_t n;
        int sign;
    } cases[] = {
        {"APP=Corvane", "app=", 4, 0}, {"appx=Corvane", "app=", 4, 1},  {"ap", "app=", 4, -1},
        {"app", "app=", 4, -1},        {"anything", "different", 0, 0}, {"Mirel", "mirelX", 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(c.sign, Sign(_strnicmp(c.a, c.b, c.n)));
        EXPECT_EQ(c.sign, Sign(_mbsnicmp(U(c.a), U(c.b), c.n)));
    }
}
