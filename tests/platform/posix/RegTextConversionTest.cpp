// The lossless UTF-8 text of the Linux registry store against the UTF-16 of
// registry export files: the conversions on any units, and the reader on UTF-16
// files of any code units, whole or cut into pieces anywhere.
#include "common/TestSupport.h"
#include "regfile/RegFileReader.h"
#include "platform/TextConversion.h"
#include "platform/posix/RegistryStore.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

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

TEST(LosslessText, AnyUnitsComeBack) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 3000; ++round) {
        std::u16string units = MixedUnits(random);
        std::string text = text::WideToLossless(units);
        SCOPED_TRACE(::testing::PrintToString(text));
        EXPECT_EQ(units, text::LosslessToWide(text));
        EXPECT_EQ(units.size(), text::LosslessWideLength(text));
        // An ASCII character ends whatever comes before it.
        std::u16string other = MixedUnits(random);
        EXPECT_EQ(text + "x" + text::WideToLossless(other),
                  text::WideToLossless(units + u"x" + other));
    }
}

TEST(LosslessText, SurrogatesFollowTheRules) {
    struct Case {
        std::u16string units;
        std::string text;
    };
    const Case cases[] = {
        {u"\U0001F3B9", "\xF0\x9F\x8E\xB9"},
        {u"\xD800", "\xED\xA0\x80"},                   // a lone high surrogate: 3 bytes
        {u"\xDFFF", "\xED\xBF\xBF"},                   // a lone low one
        {u"\xDCC3\xDCA9", "\xED\xB3\x83\xED\xB2\xA9"}, // lone units that spell UTF-8 bytes
        {u"\xD800\xDC80", "\xF0\x90\x82\x80"},         // a pair
        {u"\xD800\xD800\xDC00", "\xED\xA0\x80\xF0\x90\x80\x80"},
        {u"a\xD800"
         u"b",
         "a\xED\xA0\x80"
         "b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        EXPECT_EQ(c.text, text::WideToLossless(c.units));
        Read read = ReadInPieces(FileWithUnits(c.units), {});
        ASSERT_TRUE(read.result.ok()) << read.result.message;
        ASSERT_EQ(1u, read.content.keys.size());
        EXPECT_EQ("HKCU\\K" + c.text, read.content.keys[0].path);
    }
}

// Bytes that no UTF-16 gives go by the rule for invalid input, one unit per byte.
TEST(LosslessText, OtherBytesBecomeOneUnitEach) {
    struct Case {
        std::string text;
        std::u16string units;
    };
    const Case cases[] = {
        {"\xE9", u"\xDCE9"},
        {"a\xC3", u"a\xDCC3"},
        {"\xC0\xAF", u"\xDCC0\xDCAF"}, // overlong
        // A pair split into two three-byte forms: the high one is no form of
        // anything, the low one stands alone.
        {"\xED\xA0\x80\xED\xB0\x80", u"\xDCED\xDCA0\xDC80\xDC00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        EXPECT_EQ(c.units, text::LosslessToWide(c.text));
        EXPECT_EQ(c.units.size(), text::LosslessWideLength(c.text));
    }
}

// Whatever the units and however the file is cut into pieces, the reader gives
// their lossless text.
TEST(RegFileReaderPieces, AnyUnitsReadTheSameWholeOrCutAnywhere) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 400; ++round) {
        std::u16string units = MixedUnits(random);
        std::string file = FileWithUnits(units);
        std::string text = text::WideToLossless(units);
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

// The name as it goes between the quotes of a UTF-16 file.
std::string QuotedUtf16(std::u16string_view units) {
    std::u16string escaped;
    for (char16_t unit : units) {
        if (unit == u'\\' || unit == u'"')
            escaped += u'\\';
        escaped += unit;
    }
    return Utf16LeBytes(escaped);
}

// Keys a run does not touch come out of the registry file holding the same
// UTF-16, unit for unit, whatever it is: names and string data of random units
// (lone surrogates of every kind included) in a key of another program, while
// the run changes and deletes values elsewhere in the store.
TEST(RegistryFileRoundTrip, UntouchedKeysKeepEveryUnit) {
    testing_support::ScratchDir dir;
    std::mt19937 random(1717);
    for (int round = 0; round < 150; ++round) {
        std::vector<std::u16string> names, texts;
        std::string file = "\xFF\xFE"s + AsciiUtf16("Windows Registry Editor Version 5.00\r\n\r\n"
                                                    "[HKEY_CURRENT_USER\\Software\\Brax\\Corvane\\"
                                                    "Audio]\r\n\"Device\"=\"x\"\r\n\r\n"
                                                    "[HKEY_CURRENT_USER\\Software\\Other]\r\n");
        for (int i = 0; i < 4; ++i) {
            names.push_back(u"n" + std::u16string(1, static_cast<char16_t>(u'0' + i)) +
                            MixedUnits(random));
            texts.push_back(MixedUnits(random));
            bool quoted = random() % 2 == 0;
            file += AsciiUtf16("\"") + QuotedUtf16(names.back()) + AsciiUtf16("\"=");
            if (quoted)
                file += AsciiUtf16("\"") + QuotedUtf16(texts.back()) + AsciiUtf16("\"\r\n");
            else
                file +=
                    AsciiUtf16("hex(1):" + HexList(Utf16LeBytes(texts.back() + u'\0')) + "\r\n");
        }
        const std::string path = dir.file("store" + std::to_string(round) + ".reg");
        testing_support::WriteFileBytes(path, file);
        posix::RegistryStore store(path);
        ASSERT_TRUE(store.Load().ok);
        std::shared_ptr<posix::RegistryKey> app =
            store.OpenPath(store.Root(), "Software\\Brax\\Corvane");
        ASSERT_TRUE(app);
        std::shared_ptr<posix::RegistryKey> audio = store.OpenPath(app, "Audio");
        ASSERT_TRUE(audio);
        store.SetValue(*audio, "Device", REG_SZ,
                       "Gr\xC3\xB6\xC3\x9F"
                       "e\0"s);
        store.DeleteKey(*audio);

        regfile::RegFileContent back;
        ASSERT_TRUE(regfile::ParseRegFile(store.Serialize(), back).ok());
        const regfile::RegFileKey* other = nullptr;
        for (const regfile::RegFileKey& key : back.keys)
            if (key.path == "HKEY_CURRENT_USER\\Software\\Other")
                other = &key;
        ASSERT_NE(nullptr, other);
        ASSERT_EQ(names.size(), other->values.size());
        for (size_t i = 0; i < names.size(); ++i) {
            SCOPED_TRACE(::testing::PrintToString(text::WideToLossless(names[i])));
            EXPECT_EQ(names[i], text::LosslessToWide(other->values[i].name));
            EXPECT_EQ(texts[i] + u'\0', text::LosslessToWide(other->values[i].data));
            EXPECT_EQ(static_cast<uint32_t>(REG_SZ), other->values[i].type);
        }
    }
}

} // namespace
