// The whole-section reader and writer: the file after each write and the list
// each read returns, byte for byte. The Windows build under Wine is the
// reference; our layer must give the same.
#include "ProfileTestSupport.h"

using namespace profile_test;

namespace {

struct SectionWrite {
    const char* name;
    std::string before; // the file before ("" and `missing`: no file)
    const char* section;
    std::string lines; // NUL-separated; the block handed over ends with one more NUL
    bool nullLines;    // a null text instead of `lines`
    std::string after; // the file afterwards
};

TEST(ProfileSection, WriteReplacesTheLinesOfTheSection) {
    const std::vector<SectionWrite> cases = {
        {"a new section goes to the end", "[A]\r\nk=1\r\n", "New", "x=1\0y=2"s, false,
         "[A]\r\nk=1\r\n[New]\r\nx=1\r\ny=2\r\n"},
        {"a new file", "", "New", "x=1"s, false, "[New]\r\nx=1\r\n"},
        {"an existing section loses its lines, comments too",
         "[A]\r\n;c\r\nk=1\r\nbare\r\n[B]\r\nb=2\r\n", "a", "n=3"s, false,
         "[A]\r\nn=3\r\n[B]\r\nb=2\r\n"},
        {"every section of the name is emptied, the first is filled",
         "[A]\r\nk=1\r\n[B]\r\nb=2\r\n[a]\r\nk=2\r\n", "A", "n=3"s, false,
         "[A]\r\nn=3\r\n[B]\r\nb=2\r\n[a]\r\n"},
        {"repeated keys stay repeated", "", "S", "k=1\0K=2\0k=3"s, false,
         "[S]\r\nk=1\r\nK=2\r\nk=3\r\n"},
        {"strings without '=' are passed over", "", "S", "bare\0k=1\0;c"s, false, "[S]\r\nk=1\r\n"},
        {"a line without a name", "", "S", "=v\0k=1"s, false, "[S]\r\n=v\r\nk=1\r\n"},
        {"the value splits at the first '='", "", "S", "a=b=c"s, false, "[S]\r\na=b=c\r\n"},
        {"leading blanks of key and value go", "", "S", "  k = v "s, false, "[S]\r\nk =v \r\n"},
        {"an empty text empties the section", "[A]\r\nk=1\r\n[B]\r\nb=2\r\n", "A", ""s, false,
         "[A]\r\n[B]\r\nb=2\r\n"},
        {"an empty text for a missing section changes nothing", "[A]\r\nk=1\r\n", "B", ""s, false,
         "[A]\r\nk=1\r\n"},
        {"a null text deletes the section", "[A]\r\nk=1\r\n[B]\r\nb=2\r\n", "a", ""s, true,
         "[B]\r\nb=2\r\n"},
        {"the nameless section is the top of the file", "top=1\r\n[A]\r\nk=1\r\n", "", "n=2"s,
         false, "n=2\r\n[A]\r\nk=1\r\n"},
        {"a blank-padded name finds the section", "[A]\r\nk=1\r\n", " A ", "n=2"s, false,
         "[A]\r\nk=1\r\nn=2\r\n"},
    };
    for (const SectionWrite& c : cases) {
        SCOPED_TRACE(c.name);
        ProfileFolder folder;
        std::string file =
            c.before.empty() ? folder.File("s.ini") : folder.FileWith("s.ini", c.before);
        std::string block = c.lines + '\0';
        EXPECT_TRUE(WritePrivateProfileSectionA(c.section, c.nullLines ? nullptr : block.c_str(),
                                                file.c_str()));
        EXPECT_EQ(c.after, SavedBytes(file));
    }
}

TEST(ProfileSection, WriteIntoAMissingFolderFails) {
    ProfileFolder folder;
    std::string file = folder.File("nodir/s.ini");
    EXPECT_FALSE(WritePrivateProfileSectionA("S", "k=1\0\0", file.c_str()));
    EXPECT_FALSE(testing_support::FileExists(file));
}

// What one GetPrivateProfileSectionA call gave: the result and the buffer up
// to the last byte written (the buffer is pre-filled with the sentinel).
std::string ReadSection(const char* section, DWORD size, const std::string& file, DWORD& result) {
    std::vector<char> buffer(size + kGuard, kSentinel);
    result = GetPrivateProfileSectionA(section, buffer.data(), size, file.c_str());
    size_t end = buffer.size();
    while (end > 0 && buffer[end - 1] == kSentinel)
        --end;
    EXPECT_LE(end, size) << "a write past the buffer";
    return std::string(buffer.data(), end);
}

struct SectionRead {
    const char* section;
    DWORD size;
    DWORD result;
    std::string buffer; // up to the last byte written
};

TEST(ProfileSection, ReadGivesEveryLineButCommentsWithTwoNulsAtTheEnd) {
    ProfileFolder folder;
    std::string file = folder.FileWith(
        "r.ini", "top=0\r\n[A]\r\nk = \"q\" \r\n;c=1\r\nbare\r\n=v\r\n\r\n[B]\r\n[a]\r\nz=9\r\n");
    const std::vector<SectionRead> cases = {
        // Values as stored: quotes stay, blanks around "=" and at the end go.
        {"A", 100, 14, "k=\"q\"\0bare\0=v\0\0"s},
        {"a", 100, 14, "k=\"q\"\0bare\0=v\0\0"s},
        {"", 100, 6, "top=0\0\0"s},
        {"B", 100, 0, "\0\0"s},
        {"Missing", 100, 0, "\0\0"s},
        // A list that does not fit, or just fills the buffer, is cut: size - 2
        // bytes of it, then two NULs.
        {"A", 16, 14, "k=\"q\"\0bare\0=v\0\0"s},
        {"A", 15, 13, "k=\"q\"\0bare\0=v\0\0"s},
        {"A", 10, 8, "k=\"q\"\0ba\0\0"s},
        {"A", 2, 0, "\0\0"s},
    };
    for (const SectionRead& c : cases) {
        SCOPED_TRACE(std::string(c.section) + " size " + std::to_string(c.size));
        DWORD result = 0;
        std::string buffer = ReadSection(c.section, c.size, file, result);
        EXPECT_EQ(c.result, result);
        EXPECT_EQ(c.buffer, buffer);
    }
}

TEST(ProfileSection, WrittenSectionReadsBackAsWritten) {
    ProfileFolder folder;
    std::string file = folder.File("w.ini");
    std::string lines = "a=1\0b=two words\0c=x=y\0"s;
    ASSERT_TRUE(WritePrivateProfileSectionA("S", (lines + '\0').c_str(), file.c_str()));
    DWORD result = 0;
    EXPECT_EQ(lines + '\0', ReadSection("S", 64, file, result));
    EXPECT_EQ(lines.size(), result);
}

} // namespace
