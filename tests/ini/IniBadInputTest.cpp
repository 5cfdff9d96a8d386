// CIniFile on damaged or hostile files: nothing crashes, hangs or loses a line.
#include "common/TestSupport.h"
#include "ini/IniFile.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace corvane;

using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

namespace {

std::string ReadAndSave(const ScratchDir& dir, const std::string& text) {
    std::string in = dir.file("in.ini");
    std::string out = dir.file("out.ini");
    WriteFileBytes(in, text);
    CIniFile file(in.c_str());
    EXPECT_TRUE(file.Save(out.c_str()));
    return ReadFileBytes(out);
}

TEST(IniBadInput, DamagedBytesAreKeptAsTheyAre) {
    ScratchDir dir;
    using namespace std::string_literals;
    struct Case {
        const char* what;
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"NUL bytes in lines and headers", "a=1\0x\n[s\0]\nb\0=2\n\0\n[T]\nk=\0v\n"s,
         "a=1\0x\r\n[s\0]\r\nb\0=2\r\n\0\r\n[T]\r\nk=\0v\r\n"s},
        {"invalid UTF-8", "\xff\xfe=\xc3\x28\n[\xe2\x82]\n\x80=1\n"s,
         "\xff\xfe=\xc3\x28\r\n[\xe2\x82]\r\n\x80=1\r\n"s},
        // A carriage return that no line feed follows ends a line of its own.
        {"UTF-16 text", "\xff\xfe[\0S\0]\0\r\0\n\0k\0=\0v\0"s,
         "\xff\xfe[\0S\0]\0\r\n\0\r\n\0k\0=\0v\0\r\n"s},
        {"header of only '['", "[\nk=v\n["s, "[[]\r\nk=v\r\n"s},
        {"brackets alone", "]\n[[\n]]\n"s, "]\r\n[[[]\r\n]]\r\n"s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string once = ReadAndSave(dir, c.in);
        EXPECT_EQ(c.out, once);
        EXPECT_EQ(once, ReadAndSave(dir, once));
    }
}

TEST(IniBadInput, LinesWithNulAreNeitherHeadersNorKeys) {
    ScratchDir dir;
    std::string path = dir.file("zero-bytes.ini");
    using namespace std::string_literals;
    WriteFileBytes(path, "[S]\nk=v\nk\0x=w\n"s);
    CIniFile file(path.c_str());
    EXPECT_STREQ("v", file.GetValue("S", "k", nullptr, false));
    EXPECT_TRUE(file.SetValue("S", "k", nullptr, true));
    EXPECT_EQ("[S]\r\nk\0x=w\r\n"s, ReadFileBytes(path));
}

TEST(IniBadInput, MegabyteLines) {
    ScratchDir dir;
    const std::string big(1 << 20, 'v');
    const std::string comment = "; " + std::string(1 << 20, 'c');
    const std::string in = "[S]\n" + comment + "\nbig=" + big + "\n[" + big + "]\nk=1";
    std::string path = dir.file("big.ini");
    WriteFileBytes(path, in);
    CIniFile file(path.c_str());
    EXPECT_EQ(big, file.GetValue("S", "BIG", nullptr, false).str());
    EXPECT_STREQ("1", file.GetValue(big.c_str(), "k", nullptr, false));
    std::string out = ReadAndSave(dir, in);
    EXPECT_EQ("[S]\r\n" + comment + "\r\nbig=" + big + "\r\n[" + big + "]\r\nk=1\r\n", out);
}

TEST(IniBadInput, LineEndsAcrossReadChunks) {
    // The file is read 64 KiB at a time: a CRLF split by that boundary, a line
    // running across it and a lone carriage return at its end.
    ScratchDir dir;
    const std::string a(65535, 'a'), b(65534, 'b');
    std::string in = a + "\r\n" + b + "\rc\n" + std::string(70000, 'd');
    EXPECT_EQ(a + "\r\n" + b + "\r\nc\r\n" + std::string(70000, 'd') + "\r\n",
              ReadAndSave(dir, in));
}

// Random bytes drawn mostly from the characters that carry meaning in the format.
std::string RandomText(std::mt19937& random, size_t length) {
    static const char alphabet[] = "[]=; \t\r\n\n\nab\0\xff\x80%";
    std::uniform_int_distribution<int> pick(0, sizeof alphabet - 2);
    std::uniform_int_distribution<int> any(0, 255);
    std::string text;
    for (size_t i = 0; i < length; ++i)
        text += (i % 7 == 3) ? static_cast<char>(any(random)) : alphabet[pick(random)];
    return text;
}

// Lines of a file as the reader cuts them, trimmed, headers left out.
size_t CountContentLines(const std::string& text) {
    size_t count = 0;
    std::string line;
    bool any = false;
    auto finish = [&] {
        size_t first = line.find_first_not_of(" \t\v\f");
        bool header = first != std::string::npos && line[first] == '[' &&
                      line.find('\0') == std::string::npos;
        if (!header)
            ++count;
        line.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char ch = text[i];
        any = true;
        if (ch == '\n') {
            finish();
        } else if (ch == '\r') {
            size_t j = i;
            while (j < text.size() && text[j] == '\r')
                ++j;
            if (j < text.size() && text[j] == '\n') {
                i = j;
                finish();
            } else {
                for (; i < j; ++i)
                    finish();
                --i;
            }
        } else {
            line += ch;
        }
    }
    if (any && !line.empty())
        finish();
    return count;
}

TEST(IniBadInput, RandomBytesReadBackStableAndWhole) {
    ScratchDir dir;
    std::mt19937 random(20240611);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::string in = RandomText(random, random() % 3000);
        std::string once = ReadAndSave(dir, in);
        EXPECT_EQ(CountContentLines(in), CountContentLines(once));
        ASSERT_EQ(once, ReadAndSave(dir, once));
    }
}

} // namespace
