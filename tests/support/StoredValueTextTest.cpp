// Text forms of profile values: numbers, byte blocks, integer lists.
#include "support/StoredValueText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace corvane;

namespace {

using namespace std::string_literals;

std::string Encode(const std::string& bytes) {
    return EncodeByteBlock(bytes.data(), static_cast<UINT>(bytes.size())).str();
}

// Decodes into a buffer of the given capacity, pre-filled with '#' so that
// stray writes show. *result gets the decoder's result.
std::string Decode(const char* text, UINT capacity, bool* result, UINT* count) {
    std::vector<char> buffer(capacity + 4, '#');
    *count = capacity;
    *result = DecodeByteBlock(text, buffer.data(), count);
    return std::string(buffer.data(), buffer.size());
}

TEST(DoubleText, TrailingZerosAndPointRemoved) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0.5, "0.5"},
        {100, "100"},
        {-1, "-1"},
        {2.25, "2.25"},
        {0, "0"},
        {static_cast<double>(0.8f), "0.80000001192092896"},
        {0.1, "0.10000000000000001"},
        {-0.0, "-0"},
        {1e20, "100000000000000000000"},
        {10, "10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_STREQ(c.text, FormatDoubleText(c.value));
    }
}

TEST(ByteBlockText, ChoosesTheShorterForm) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"letters", "abc", "'abc"},
        {"two control bytes", "\x00\x01"s, "0001"},
        {"one byte", "A", "41"},
        {"empty", "", ""},
        {"escapes", "a\\\nb", "'a\\\\\\nb"},
        {"all escapes", "ab\x00\r\n\\\x1f\x7f"s, "'ab\\z\\r\\n\\\\\\1F\x7f"},
        {"equal length takes hex", "\x01\x02z"s, "01027A"},
        {"high bytes as themselves", "\x80\xff\xa0x", "'\x80\xff\xa0x"},
        {"quote inside", "a'b", "'a'b"},
        {"double quote at the end", "ab\"", "'ab\""},
        {"backslash at the end", "ab\\", "'ab\\\\"},
        {"NUL at the end", "abcd\x00"s, "'abcd\\z"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.text, Encode(c.bytes));
    }
}

TEST(ByteBlockText, FinalBlankOrQuoteIsEscaped) {
    // The profile functions trim a final blank and drop a quote that pairs
    // with the leading one; such a final byte is written as an escape, and the
    // longer text still has to beat the hex form.
    struct Case {
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"abcde ", "'abcde\\20"}, {"abcde'", "'abcde\\27"}, {"a'b'c'", "'a'b'c\\27"},
        {"abc ", "'abc\\20"},     {"ab ", "616220"},        {"''", "2727"},
        {"  ", "2020"},           {"abcd  ", "'abcd \\20"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(c.text, Encode(c.bytes));
        bool result;
        UINT count;
        std::string out = Decode(c.text.c_str(), 64, &result, &count);
        EXPECT_TRUE(result);
        EXPECT_EQ(c.bytes, out.substr(0, count));
    }
}

TEST(ByteBlockText, DecodesBothForms) {
    struct Case {
        const char* what;
        const char* text;
        UINT capacity;
        bool result;
        UINT count;
        std::string buffer; // the whole buffer afterwards, '#' where untouched
    };
    const Case cases[] = {
        {"quoted with escapes", "'a\\\\\\nb", 4, true, 4, "a\\\nb####"},
        {"hex cut to capacity", "0A0B0C", 2, true, 2, "\x0a\x0b####"},
        {"hex stops at a non-digit", "0G12", 4, false, 0, "########"},
        {"hex lower case", "0a0bff", 8, true, 3, "\x0a\x0b\xff#########"},
        {"odd hex digit dropped", "414", 8, true, 1, "A###########"},
        {"hex stops midway", "4142zz43", 8, true, 2, "AB##########"},
        {"quoted cut to capacity", "'abcdef", 3, true, 3, "abc####"},
        {"quoted hex escapes", "'\\41\\6a\\z", 8, true, 3, "Aj\0#########"s},
        {"quoted empty", "'", 8, false, 0, "############"},
        {"empty text", "", 8, false, 0, "############"},
        {"zero capacity quoted", "'abc", 0, false, 0, "####"},
        {"zero capacity hex", "4142", 0, false, 0, "####"},
        {"full buffer before a bad escape", "'ab\\", 2, true, 2, "ab####"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool result;
        UINT count;
        std::string buffer = Decode(c.text, c.capacity, &result, &count);
        EXPECT_EQ(c.result, result);
        EXPECT_EQ(c.count, count);
        EXPECT_EQ(c.buffer, buffer);
    }
}

TEST(ByteBlockText, MalformedQuotedTextFailsWithoutCount) {
    struct Case {
        const char* what;
        const char* text;
        std::string buffer;
    };
    const Case cases[] = {
        {"backslash at the end", "'ab\\", "ab######"},
        {"non-hex escape", "'a\\x1", "a#######"},
        {"one digit then end", "'a\\4", "a#######"},
        {"upper-case letter escape", "'\\N", "########"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool result;
        UINT count;
        std::string buffer = Decode(c.text, 4, &result, &count);
        EXPECT_FALSE(result);
        EXPECT_EQ(4u, count);
        EXPECT_EQ(c.buffer, buffer);
    }
    UINT count = 4;
    EXPECT_FALSE(DecodeByteBlock("41", nullptr, &count));
    EXPECT_FALSE(DecodeByteBlock("41", nullptr, nullptr));
}

TEST(ByteBlockText, EveryBlockDecodesToItself) {
    unsigned seed = 7;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 24;
    };
    for (int round = 0; round < 3000; ++round) {
        std::string bytes(next() * 3 % 701, '\0');
        int flavour = round % 3;
        for (char& ch : bytes) {
            unsigned r = next();
            ch = static_cast<char>(flavour == 0   ? r
                                   : flavour == 1 ? 'a' + r % 26
                                                  : " '\\\"\n"[r % 5]);
        }
        std::string text = Encode(bytes);
        SCOPED_TRACE("round " + std::to_string(round) + ": " + text);
        std::vector<char> buffer(bytes.size() + 1, '#');
        UINT count = static_cast<UINT>(bytes.size());
        EXPECT_EQ(!bytes.empty(), DecodeByteBlock(text.c_str(), buffer.data(), &count));
        ASSERT_EQ(bytes.size(), count);
        EXPECT_EQ(bytes, std::string(buffer.data(), count));
        EXPECT_EQ('#', buffer[count]);
        // The quoted form is only ever the shorter one.
        if (!text.empty() && text[0] == '\'') {
            EXPECT_LT(text.size(), 2 * bytes.size());
        }
    }
}

TEST(IntListText, JoinsSignedValues) {
    CDWordArray values;
    EXPECT_STREQ("", FormatIntList(values));
    values.Add(0);
    EXPECT_STREQ("0", FormatIntList(values));
    values.Add(static_cast<DWORD>(-2));
    values.Add(0xFFFFFFFFu);
    values.Add(2147483647u);
    EXPECT_STREQ("0,-2,-1,2147483647", FormatIntList(values));
}

} // namespace
