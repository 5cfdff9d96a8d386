// The Windows code pages of the Linux build: characters of each table, the rule
// for bytes and units without a counterpart, and byte strings coming back
// unchanged from UTF-16 in every code page.
#include "platform/TextConversion.h"
#include "platform/posix/CodePage.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

const unsigned kCodePages[] = {874,  932,  936,  949,  950,  1250, 1251, 1252,
                               1253, 1254, 1255, 1256, 1257, 1258, 65001};

std::u16string Wide(unsigned number, std::string_view bytes) {
    std::u16string out;
    posix::CodePage::Find(number)->AppendWide(out, bytes);
    return out;
}

std::string Bytes(unsigned number, std::u16string_view wide, bool* whole = nullptr) {
    std::string out;
    bool all = posix::CodePage::Find(number)->AppendBytes(out, wide);
    if (whole)
        *whole = all;
    return out;
}

TEST(CodePageTables, EveryListedCodePageIsThere) {
    for (unsigned number : kCodePages) {
        ASSERT_NE(nullptr, posix::CodePage::Find(number)) << number;
        EXPECT_EQ(number, posix::CodePage::Find(number)->Number());
    }
    EXPECT_EQ(nullptr, posix::CodePage::Find(437));
    EXPECT_EQ(nullptr, posix::CodePage::Find(0));
}

TEST(CodePageTables, CharactersAndTheRuleForTheRest) {
    struct Case {
        unsigned codePage;
        std::string bytes;
        std::u16string wide;
    } cases[] = {
        {1252,
         "Gr\xF6\xDF"
         "e \x80",
         u"Gr\u00F6\u00DFe \u20AC"},
        {1252, "\x81\x8D\x9D", u"\x0081\x008D\x009D"}, // holes: the C1 controls
        {1250, "\x8A\xE8", u"\u0160\u010D"},
        {1251, "\xC0\xFF", u"\u0410\u044F"},
        {1253, "\xC1\xAA", u"\u0391\xDCAA"}, // 0xAA is no character of 1253
        {874, "\xA1", u"\u0E01"},
        {932, "\x93\xFA\x96\x7B", u"\u65E5\u672C"},
        {932, "\xB1", u"\uFF71"},       // a half-width katakana: one byte
        {932, "a\x93", u"a\xDC93"},     // a lead byte at the end
        {932, "\x93\x0A", u"\xDC93\n"}, // a lead byte before a byte that is no trail
        {936, "\xC8\xD5", u"\u65E5"},
        {949, "\xC0\xCF", u"\uC77C"},
        {950, "\xA4\xE9", u"\u65E5"},
        {65001, "\xC3\xA9\xE2\x82\xAC", u"\u00E9\u20AC"},
        {65001, "\xE9z", u"\xDCE9z"},
        {65001, "\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"}, // an encoded surrogate is no UTF-8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.codePage << " " << ::testing::PrintToString(c.bytes));
        EXPECT_EQ(c.wide, Wide(c.codePage, c.bytes));
        bool whole = false;
        EXPECT_EQ(c.bytes, Bytes(c.codePage, c.wide, &whole));
        EXPECT_TRUE(whole);
    }
}

TEST(CodePageTables, UnitsWithoutAFormBecomeQuestionMarks) {
    struct Case {
        unsigned codePage;
        std::u16string wide;
        std::string bytes;
    } cases[] = {
        {1252, u"\u65E5\u672C", "??"}, {1252, u"\U0001F3B9", "?"}, // a pair is one character
        {1252, u"\u0100", "?"},        {932, u"\u00E9", "?"},
        {65001, u"a\xD800", "a?"},     {65001, u"\xDFFF", "?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        bool whole = true;
        EXPECT_EQ(c.bytes, Bytes(c.codePage, c.wide, &whole));
        EXPECT_FALSE(whole);
    }
}

// Any byte string comes back unchanged from UTF-16, in every code page: 8-bit
// registry exports and INI files are never altered by being read.
TEST(CodePageTables, AnyBytesComeBackFromUtf16) {
    std::mt19937 random(17);
    for (unsigned number : kCodePages) {
        SCOPED_TRACE(number);
        for (int round = 0; round < 300; ++round) {
            std::string bytes;
            for (int n = static_cast<int>(random() % 24); n > 0; --n)
                bytes +=
                    static_cast<char>(random() % 3 == 0 ? 'A' + random() % 26 : random() % 256);
            ASSERT_EQ(bytes, Bytes(number, Wide(number, bytes))) << ::testing::PrintToString(bytes);
        }
    }
}

TEST(CodePageTables, TheSettingNamesAKnownCodePage) {
    struct Case {
        const char* setting;
        bool fine;
    } cases[] = {{nullptr, true},       {"", true},       {"1252", true},
                 {"65001", true},       {"932", true},    {"437", false},
                 {"12a", false},        {"-1252", false}, {" 1252", false},
                 {"99999999999", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting ? c.setting : "(unset)");
        std::string problem = posix::CodePageSettingProblem(c.setting);
        EXPECT_EQ(c.fine, problem.empty()) << problem;
    }
}

// The code page the tests run with (unset: 1252), and what it holds.
TEST(AnsiText, TheDefaultCodePageHoldsWesternTextOnly) {
    ASSERT_EQ(1252u, text::AnsiCodePage());
    EXPECT_TRUE(text::AnsiHolds(u"Gr\u00F6\u00DFe \u20AC"));
    EXPECT_FALSE(text::AnsiHolds(u"\u65E5\u672C"));
    EXPECT_FALSE(text::AnsiHolds(u"\xDCE9")); // comes back as U+00E9
    EXPECT_EQ("G\xF6 \\u65E5", text::PrintableAnsi(u"G\u00F6 \u65E5"));
    EXPECT_EQ("", text::AnsiLoss("its name", u"G\u00F6"));
    EXPECT_EQ("its name \"\\u65E5\" has characters that code page 1252 cannot hold",
              text::AnsiLoss("its name", u"\u65E5"));
    std::string scratch;
    EXPECT_EQ("G\xC3\xB6", text::AnsiToLossless("G\xF6", scratch));
    EXPECT_EQ("G\xF6", text::LosslessToAnsi("G\xC3\xB6", scratch));
}

} // namespace
