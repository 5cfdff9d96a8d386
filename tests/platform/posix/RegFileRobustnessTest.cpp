// Registry export files that are broken, cut or huge: the reader never crashes or
// hangs, and whatever it accepts the writer writes back to the same content.
#include "regfile/RegExportWriter.h"
#include "regfile/RegFileReader.h"
#include "platform/TextConversion.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// Reads bytes; when accepted, writing and reading again must give the same file.
void ExpectStableWhenAccepted(const std::string& bytes) {
    regfile::RegFileContent content;
    regfile::RegParseResult result = regfile::ParseRegFile(bytes, content);
    if (!result.ok()) {
        EXPECT_GE(result.line, 1);
        EXPECT_FALSE(result.message.empty());
        return;
    }
    std::string written = regfile::WriteRegFile(content);
    regfile::RegFileContent again;
    regfile::RegParseResult second = regfile::ParseRegFile(written, again);
    ASSERT_TRUE(second.ok()) << second.line << ": " << second.message;
    EXPECT_EQ(written, regfile::WriteRegFile(again));
}

const std::string kSample = "Windows Registry Editor Version 5.00\r\n"
                            "\r\n"
                            "[HKEY_CURRENT_USER\\Software\\Brax\\Corvane]\r\n"
                            "@=\"default\"\r\n"
                            "\"Path\"=\"C:\\\\Data \\\"x\\\"\"\r\n"
                            "\"Count\"=dword:0000000a\r\n"
                            "\"Bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,\\\r\n"
                            "  11,12\r\n"
                            "\"Exp\"=hex(2):25,00,78,00,25,00,00,00\r\n"
                            "\"Gone\"=-\r\n"
                            "\r\n"
                            "[-HKEY_CURRENT_USER\\Software\\Old]\r\n";

std::string AsUtf16(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

TEST(RegFileRobustness, EveryCutOfAFileIsReadOrRefused) {
    for (const std::string& file : {kSample, AsUtf16(kSample)}) {
        for (size_t length = 0; length <= file.size(); length++) {
            SCOPED_TRACE(length);
            ExpectStableWhenAccepted(file.substr(0, length));
        }
    }
}

TEST(RegFileRobustness, EveryChangedByteIsReadOrRefused) {
    const char replacements[] = {'\0', '\n', '\r', '"', '\\', '[',   ']',
                                 ',',  ';',  '=',  '-', 'x',  '\xff'};
    for (size_t position = 0; position < kSample.size(); position++) {
        for (char replacement : replacements) {
            std::string changed = kSample;
            changed[position] = replacement;
            SCOPED_TRACE(std::to_string(position) + " " + std::to_string(replacement));
            ExpectStableWhenAccepted(changed);
        }
    }
}

// Random text made of the format's own pieces: names and strings full of quotes
// and backslashes, numbers of every length, hex lists with continuations, and now
// and then any byte at all.
class RandomRegText {
  public:
    explicit RandomRegText(unsigned seed) : m_random(seed) {}

    std::string File() {
        std::string text = Pick(8) ? "Windows Registry Editor Version 5.00\r\n" : "REGEDIT4\n";
        int lines = static_cast<int>(m_random() % 12);
        for (int i = 0; i < lines; i++)
            text += Line();
        if (Pick(4) && !text.empty()) // one byte changed to anything
            text[m_random() % text.size()] = static_cast<char>(m_random() % 256);
        return text;
    }

  private:
    bool Pick(int outOf) { return m_random() % 10 < static_cast<unsigned>(outOf); }

    std::string Text(const std::string& alphabet, size_t longest) {
        std::string text;
        for (size_t length = m_random() % (longest + 1); length > 0; length--)
            text += alphabet[m_random() % alphabet.size()];
        return text;
    }

    std::string Line() {
        const char* end = Pick(7) ? "\r\n" : "\n";
        switch (m_random() % 8) {
        case 0:
            return "[" + std::string(Pick(2) ? "-" : "") + (Pick(8) ? "HKCU\\" : "HKLM\\") +
                   Text("ab\\]-[ ;", 8) + "]" + end;
        case 1:
            return Text(" ;\t", 3) + end;
        default: {
            std::string name = Pick(2) ? "@" : "\"" + Text("ab\\\"nr= ;", 6) + "\"";
            return name + Text(" ", 1) + "=" + Text(" ", 1) + Data() + end;
        }
        }
    }

    std::string Data() {
        switch (m_random() % 5) {
        case 0:
            return "\"" + Text("ab\\\"nrt; ", 10) + "\"";
        case 1:
            return "dword:" + Text("0123456789abcdefABCDEF", 9);
        case 2:
            return "-";
        default: {
            std::string data = Pick(5) ? "hex:" : "hex(" + Text("0127b", 2) + "):";
            for (int i = static_cast<int>(m_random() % 12); i > 0; i--) {
                data += Text("0123456789abcdef", 2);
                data += Pick(8) ? "," : Pick(5) ? ",\\\r\n  " : " ";
            }
            return data;
        }
        }
    }

    std::mt19937 m_random;
};

TEST(RegFileRobustness, RandomFilesAreReadOrRefused) {
    RandomRegText generator(20240611);
    int accepted = 0;
    for (int round = 0; round < 5000; round++) {
        std::string text = generator.File();
        SCOPED_TRACE(::testing::PrintToString(text));
        ExpectStableWhenAccepted(round % 3 == 0 ? AsUtf16(text) : text);
        regfile::RegFileContent content;
        accepted += regfile::ParseRegFile(text, content).ok();
    }
    // Both paths are walked often.
    EXPECT_GT(accepted, 200);
    EXPECT_LT(accepted, 4500);
}

TEST(RegFileRobustness, HugeLinesAndValuesTakeLinearTime) {
    auto start = std::chrono::steady_clock::now();
    const size_t bytes = 4 * 1024 * 1024;
    std::string oneLine = "REGEDIT4\n[HKCU\\K]\n\"Bin\"=hex:";
    std::string continued = oneLine;
    for (size_t i = 0; i < bytes; i++) {
        oneLine += i + 1 < bytes ? "ab," : "ab";
        continued += i + 1 < bytes ? (i % 25 == 24 ? "ab,\\\n  " : "ab,") : "ab";
    }
    std::string longString = "REGEDIT4\n[HKCU\\" + std::string(1 << 20, 'k') + "]\n\"S\"=\"" +
                             std::string(8 << 20, 's') + "\"\n";
    std::string manyLines = "REGEDIT4\n[HKCU\\K]\n";
    for (int i = 0; i < 300000; i++)
        manyLines += "\"v" + std::to_string(i) + "\"=dword:1\n";
    for (const std::string* file : {&oneLine, &continued, &longString, &manyLines}) {
        regfile::RegFileContent content;
        ASSERT_TRUE(regfile::ParseRegFile(*file, content).ok());
        ASSERT_EQ(1u, content.keys.size());
        std::string written = regfile::WriteRegFile(content);
        EXPECT_GT(written.size(), 1000000u);
    }
    regfile::RegFileContent content;
    ASSERT_TRUE(regfile::ParseRegFile(continued, content).ok());
    EXPECT_EQ(std::string(bytes, '\xab'), content.keys[0].values[0].data);
    // Generous: a quadratic step would take minutes.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

// Text of every kind (ASCII, UTF-8 of every length, lone surrogates) in key
// names, value names and data, mixed in runs of every length, comes back from a
// UTF-16 file byte for byte, and the file's text is the code units the
// conversion functions give.
TEST(RegFileRobustness, MixedTextSurvivesAUtf16File) {
    const std::vector<std::string> pieces = {"a",
                                             "\\",
                                             "\"",
                                             ",",
                                             "@",
                                             "\xC3\xA4",
                                             "\xE2\x82\xAC",
                                             "\xF0\x9F\x8E\xB9",
                                             "\xED\xB3\xBF",
                                             "\xED\xB3\x83",
                                             "\xED\xA0\x80-", // a lone high surrogate
                                             "\xED\xBF\xBF",
                                             "~",
                                             " "};
    std::mt19937 random(20261208);
    for (int round = 0; round < 300; ++round) {
        auto text = [&] {
            std::string out;
            for (int n = static_cast<int>(random() % 12); n > 0; --n)
                out += pieces[random() % pieces.size()];
            return out;
        };
        regfile::RegFileContent content;
        regfile::RegFileKey key;
        key.path = "HKEY_CURRENT_USER\\K" + text();
        regfile::RegFileValue value;
        value.name = "v" + text();
        value.type = REG_SZ;
        value.data = text() + '\0';
        key.values.push_back(value);
        value.name = "m" + text();
        value.type = REG_MULTI_SZ;
        value.data = text() + '\0' + text() + '\0' + '\0';
        key.values.push_back(value);
        content.keys.push_back(key);

        std::string file = regfile::WriteRegFile(content);
        regfile::RegFileContent back;
        ASSERT_TRUE(regfile::ParseRegFile(file, back).ok()) << round;
        ASSERT_EQ(1u, back.keys.size());
        EXPECT_EQ(key.path, back.keys[0].path);
        ASSERT_EQ(2u, back.keys[0].values.size());
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(key.values[i].name, back.keys[0].values[i].name) << round;
            EXPECT_EQ(key.values[i].data, back.keys[0].values[i].data) << round;
        }
        std::u16string units = text::LosslessToWide("[" + key.path + "]");
        std::string wide;
        for (char16_t unit : units) {
            wide += static_cast<char>(unit & 0xFF);
            wide += static_cast<char>(unit >> 8);
        }
        EXPECT_NE(std::string::npos, file.find(wide)) << round;
    }
}

} // namespace
