#include "platform/AsciiText.h"

#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <string>

namespace {

// Within the 32-bit range the saturating conversion is the C library's atoi;
// beyond it, the nearest end of the range.
TEST(AsciiText, ToIntSaturatedIsAtoiClampedToTheIntRange) {
    struct Case {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"", 0},
        {"abc", 0},
        {" \t\n\v\f\r42x", 42},
        {"+7", 7},
        {"-0", 0},
        {"- 5", 0},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"99999999999999999999999", INT_MAX},
        {"-99999999999999999999999", INT_MIN},
        {"12\x80"
         "3",
         12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ascii::ToIntSaturated(c.text), c.expected);
        long long wide = std::strtoll(c.text, nullptr, 10);
        if (wide > INT_MIN && wide < INT_MAX)
            EXPECT_EQ(ascii::ToIntSaturated(c.text), std::atoi(c.text));
    }
    EXPECT_EQ(ascii::ToIntSaturated(nullptr), 0);
}

// Only ASCII letters fold: bytes of code-page or UTF-8 text stay as they are.
TEST(AsciiText, CaseRulesActOnAsciiLettersOnly) {
    for (int byte = 0; byte < 256; ++byte) {
        char ch = static_cast<char>(byte);
        bool upper = byte >= 'A' && byte <= 'Z', lower = byte >= 'a' && byte <= 'z';
        EXPECT_EQ(ascii::ToLower(ch), upper ? static_cast<char>(byte + 32) : ch) << byte;
        EXPECT_EQ(ascii::ToUpper(ch), lower ? static_cast<char>(byte - 32) : ch) << byte;
        int hex = ascii::HexDigitValue(byte);
        if (std::isxdigit(byte))
            EXPECT_EQ(hex, static_cast<int>(std::strtol(std::string(1, ch).c_str(), nullptr, 16)));
        else
            EXPECT_EQ(hex, -1) << byte;
    }
    EXPECT_EQ(ascii::Folded("Program 1 \xC3\x84"), "program 1 \xC3\x84");
    EXPECT_TRUE(ascii::EqualNoCase("HostCanDo", "HOSTCANDO"));
    EXPECT_FALSE(ascii::EqualNoCase("\xC3\x84", "\xC3\xA4"));
    EXPECT_FALSE(ascii::EqualNoCase("ab", "abc"));
    EXPECT_EQ(ascii::HexDigitValue(0x0661), -1); // a wide digit of another script
}

} // namespace
