// Escaping of record texts and the duplicate prefix of record names.
#include "plugins/RecordEscape.h"

#include <gtest/gtest.h>

#include <string>

using namespace corvane;

namespace {

struct TextCase {
    const char* input;
    const char* expected;
};

TEST(RecordEscape, EscapesEachReservedCharacterAndCopiesTheRest) {
    const TextCase cases[] = {
        {"", ""},
        {"Plain Synth 2", "Plain Synth 2"},
        {"'", "''"},
        {"\\", "'0"},
        {":", "'1"},
        {"=", "'2"},
        {"(", "'3"},
        {")", "'4"},
        {"a=b (c)", "a'2b '3c'4"},
        {"v1.0:beta", "v1.0'1beta"},
        {"it's", "it''s"},
        {"''", "''''"},
        {"C:\\VST\\x.dll", "C'1'0VST'0x.dll"},
        {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"}, // multibyte text passes unchanged
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(std::string(EscapeName(c.input)), c.expected);
    }
}

TEST(RecordEscape, UnescapeDecodesPairsAndDropsBrokenOnes) {
    const TextCase cases[] = {
        {"no quotes: a\\b=c", "no quotes: a\\b=c"}, // returned unchanged
        {"''", "'"},
        {"'0'1'2'3'4", "\\:=()"},
        {"a'2b '3c'4", "a=b (c)"},
        {"x'9y", "xy"}, // unknown code: both characters go
        {"x'", "x"},    // quote at the very end goes
        {"'", ""},      // a name of one quote
        {"'''", "'"},   // a pair, then a lone quote at the end
        {"''''", "''"}, // names made only of quotes
        {"'''''", "''"},
        {"'a'b'c", ""},
        {"'\xC3\xA9", "\xA9"}, // byte-wise: the quote takes the first byte with it
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(std::string(UnescapeName(c.input)), c.expected);
    }
}

TEST(RecordEscape, UnescapeInvertsEscapeForEveryByte) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    CString escaped = EscapeName(all.c_str());
    for (char reserved : std::string("\\:=()"))
        EXPECT_EQ(escaped.Find(reserved), -1) << reserved;
    EXPECT_EQ(std::string(UnescapeName(escaped)), all);
}

TEST(RecordEscape, StripsOnlyShortDuplicatePrefixes) {
    const TextCase cases[] = {
        {"(2)0:Delay", "0:Delay"},
        {"(10)1:x", "1:x"},
        {"(100)1:x", "1:x"},        // ")" at index 4: still a prefix
        {"(1000)1:x", "(1000)1:x"}, // longer ones are kept
        {"()x", "x"},
        {"(ab)x", "x"}, // any text that short counts
        {"(2", "(2"},   // "(" without ")"
        {"(", "("},
        {"(((((", "((((("},
        {"x(2)", "x(2)"},
        {"", ""},
        {"(2)", ""},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(std::string(StripDuplicatePrefix(c.input)), c.expected);
    }
}

TEST(RecordEscape, DuplicatePrefixCountsFromTheSecondMember) {
    EXPECT_EQ(std::string(FormatDuplicatePrefix(0)), "");
    EXPECT_EQ(std::string(FormatDuplicatePrefix(1)), "(2)");
    EXPECT_EQ(std::string(FormatDuplicatePrefix(2)), "(3)");
    EXPECT_EQ(std::string(FormatDuplicatePrefix(99)), "(100)");
    // Every prefix the writer makes for up to 999 members reads back off.
    for (int member = 0; member < 999; ++member) {
        CString name = FormatDuplicatePrefix(member) + "0:x";
        ASSERT_EQ(std::string(StripDuplicatePrefix(name)), "0:x") << member;
    }
}

} // namespace
