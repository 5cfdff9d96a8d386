// The 8-bit (UTF-8) text of the Linux build against the UTF-16 of registry export
// files: the conversions on any input, and the reader on UTF-16 files of any code
// units, whole or cut into pieces anywhere.
#include "platform/RegExportFormat.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// Byte strings mixing ASCII, UTF-8 of every length, encoded surrogates, cut and
// overlong sequences, and single bytes that are not UTF-8.
std::string MixedBytes(std::mt19937& random) {
    static const std::vector<std::string> pieces = {"a",
                                                    "Zq9",
                                                    "\\",
                                                    "\"",
                                                    " ",
                                                    "\xC3\xA4",
                                                    "\xE2\x82\xAC",
                                                    "\xF0\x9F\x8E\xB9",
                                                    "\xED\xA0\x80",
                                                    "\xED\xB2\x80",
                                                    "\xC3",
                                                    "\xE2\x82",
                                                    "\xF0\x9F\x8E",
                                                    "\x80",
                                                    "\xBF",
                                                    "\xC0\xAF",
                                                    "\xF8\x88\x80\x80\x80",
                                                    "\xFF",
                                                    "\xFE",
                                                    "\x7F",
                                                    "\x01"};
    std::string out;
    for (int n = static_cast<int>(random() % 16); n > 0; --n) {
        if (random() % 8 == 0)
            out += static_cast<char>(random() % 256);
        else
            out += pieces[random() % pieces.size()];
    }
    return out;
}

// Code units of every kind: ASCII, other BMP characters, surrogate pairs, lone high
// and low surrogates, the units that carry single bytes (U+DC80..U+DCFF), and a
// high surrogate before such a unit. No NUL, line break or bracket.
std::u16string MixedUnits(std::mt19937& random) {
    static const std::vector<std::u16string> pieces = {u"a",
                                                       u"Key 7",
                                                       u"\u00E4",
                                                       u"\u20AC",
                                                       u"\uFFFD",
                                                       u"\U0001F3B9",
                                                       u"\xD800",
                                                       u"\xDBFF",
                                                       u"\xDC00",
                                                       u"\xDFFF",
                                                       u"\xDC80",
                                                       u"\xDCFF",
                                                       u"\xD800\xDC80",
                                                       u"\xD83C\xD83C\xDFB9",
                                                       u"\x7F",
                                                       u"\x80"};
    std::u16string out;
    for (int n = static_cast<int>(random() % 12); n > 0; --n)
        out += pieces[random() % pieces.size()];
    return out;
}

std::string Utf16LeBytes(std::u16string_view units) {
    std::string bytes;
    for (char16_t unit : units) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string AsciiUtf16(std::string_view ascii) {
    std::string bytes;
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

std::string HexList(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i++) {
        if (i > 0)
            out += ',';
        out += digits[static_cast<unsigned char>(bytes[i]) >> 4];
        out += digits[static_cast<unsigned char>(bytes[i]) & 0x0F];
    }
    return out;
}

// A UTF-16 file with the units in a key name, a quoted string and hex(2) data.
std::string FileWithUnits(std::u16string_view units) {
    return "\xFF\xFE"s + AsciiUtf16("Windows Registry Editor Version 5.00\r\n\r\n[HKCU\\K") +
           Utf16LeBytes(units) + AsciiUtf16("]\r\n\"S\"=\"") + Utf16LeBytes(units) +
           AsciiUtf16("\"\r\n\"E\"=hex(2):" + HexList(Utf16LeBytes(units)) + "\r\n");
}

struct Read {
    regfile::RegParseResult result;
    regfile::RegFileContent content;
};

// Reads bytes through RegFileReader, handed over in pieces ending at the cuts.
Read ReadInPieces(std::string_view bytes, const std::vector<size_t>& cuts) {
    Read read;
    regfile::RegFileReader reader;
    size_t start = 0;
    for (size_t cut : cuts) {
        reader.Add(bytes.substr(start, cut - start));
        start = cut;
    }
    reader.Add(bytes.substr(start));
    read.result = reader.Finish(read.content.format, [&](regfile::RegFileKey& key) {
        read.content.keys.push_back(std::move(key));
    });
    return read;
}

TEST(AnsiText, AnyBytesComeBackFromUtf16) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 3000; ++round) {
        std::string text = MixedBytes(random);
        SCOPED_TRACE(::testing::PrintToString(text));
        std::u16string units = regfile::AnsiToUtf16(text);
        EXPECT_EQ(text, regfile::Utf16ToAnsi(units));
        EXPECT_EQ(units.size(), regfile::Utf16Length(text));
        // An ASCII character ends whatever comes before it.
        std::string other = MixedBytes(random);
        EXPECT_EQ(units + u"x" + regfile::AnsiToUtf16(other),
                  regfile::AnsiToUtf16(text + "x" + other));
    }
}

TEST(AnsiText, SurrogatesFollowTheRules) {
    struct Case {
        std::u16string units;
        std::string text;
    };
    const Case cases[] = {
        {u"\U0001F3B9", "\xF0\x9F\x8E\xB9"},
        {u"\xD800", "\xED\xA0\x80"},           // a lone high surrogate: 3 bytes
        {u"\xDFFF", "\xED\xBF\xBF"},           // a lone low one, outside U+DC80..U+DCFF
        {u"\xDC80\xDCFF", "\x80\xFF"},         // units that carry bytes
        {u"\xD800\xDC80", "\xF0\x90\x82\x80"}, // a pair, though its second unit carries bytes
        {u"\xD800\xD800\xDC00", "\xED\xA0\x80\xF0\x90\x80\x80"},
        {u"a\xD800"
         u"b",
         "a\xED\xA0\x80"
         "b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        EXPECT_EQ(c.text, regfile::Utf16ToAnsi(c.units));
        Read read = ReadInPieces(FileWithUnits(c.units), {});
        ASSERT_TRUE(read.result.ok()) << read.result.message;
        ASSERT_EQ(1u, read.content.keys.size());
        EXPECT_EQ("HKCU\\K" + c.text, read.content.keys[0].path);
    }
}

// Whatever the units and however the file is cut into pieces, the reader gives
// the text Utf16ToAnsi gives for the units.
TEST(RegFileReaderPieces, AnyUnitsReadTheSameWholeOrCutAnywhere) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 400; ++round) {
        std::u16string units = MixedUnits(random);
        std::string file = FileWithUnits(units);
        std::string text = regfile::Utf16ToAnsi(units);
        SCOPED_TRACE(::testing::PrintToString(text));
        std::vector<std::vector<size_t>> cutLists = {{}};
        for (size_t cut = 1; cut < file.size(); cut += 1 + random() % 3)
            cutLists.push_back({cut});
        std::vector<size_t> many;
        for (size_t cut = random() % 4; cut < file.size(); cut += 1 + random() % 5)
            many.push_back(cut);
        cutLists.push_back(many);
        for (const std::vector<size_t>& cuts : cutLists) {
            Read read = ReadInPieces(file, cuts);
            ASSERT_TRUE(read.result.ok()) << read.result.message;
            ASSERT_EQ(1u, read.content.keys.size());
            const regfile::RegFileKey& key = read.content.keys[0];
            ASSERT_EQ(2u, key.values.size());
            EXPECT_EQ("HKCU\\K" + text, key.path) << ::testing::PrintToString(cuts);
            EXPECT_EQ(text + '\0', key.values[0].data);
            // Empty hex data stays empty; other string data gets its final NUL.
            EXPECT_EQ(text.empty() ? "" : text + '\0', key.values[1].data);
            EXPECT_EQ(static_cast<uint32_t>(REG_EXPAND_SZ), key.values[1].type);
        }
    }
}

TEST(RegFileReaderPieces, AFileCutInsideAUnitIsRefusedWhereverTheCut) {
    std::string file = FileWithUnits(u"\U0001F3B9x") + "\x41";
    Read whole = ReadInPieces(file, {});
    EXPECT_EQ(regfile::RegParseError::BadEncoding, whole.result.error);
    EXPECT_EQ(6, whole.result.line); // the line after the last line end
    for (size_t cut = 1; cut < file.size(); cut++) {
        Read read = ReadInPieces(file, {cut});
        EXPECT_EQ(whole.result.error, read.result.error) << cut;
        EXPECT_EQ(whole.result.line, read.result.line) << cut;
        EXPECT_EQ(whole.result.message, read.result.message) << cut;
    }
}

} // namespace
