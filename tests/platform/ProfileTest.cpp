// Reading private-profile files: values, defaults, buffers and lists. The same
// expectations hold for the Windows build under Wine and for our own layer.
#include "ProfileTestSupport.h"

#include <cstdint>

using namespace profile_test;
using testing_support::IsWindowsBuild;

namespace {

const std::string kSample = "top=headless\r\n"
                            "=nameless top\r\n"
                            "[Sec1]\r\n"
                            "key1=val1\r\n"
                            "  key2  =  val2  \r\n"
                            "\tktab\t=\tvtab\t\r\n"
                            "noequals\r\n"
                            "; comment=x\r\n"
                            "# hash=1\r\n"
                            "kq=\"abc\"\r\n"
                            "ksq='abc'\r\n"
                            "kq1=\"abc\r\n"
                            "kqq=\"\"\r\n"
                            "kq_only=\"\r\n"
                            "kmix=\"abc'\r\n"
                            "emptyv=\r\n"
                            "=novalkey\r\n"
                            "dup=first\r\n"
                            "DUP=second\r\n"
                            "a=b=c\r\n"
                            "\r\n\r\n"
                            "[ Sec2 ]\r\n"
                            "k=v\r\n"
                            "[Sec3\r\n"
                            "k3=v3\r\n"
                            "[sec1]\r\n"
                            "key1=dup\r\n"
                            "key3=fromdup\r\n"
                            "[a]b]c\r\n"
                            "ka=va\r\n"
                            "[Sec5]trailing\r\n"
                            "k5=v5\r\n"
                            "[]\r\n"
                            "ke=ve\r\n"
                            "[semi;colon]\r\n"
                            "k=semi\r\n"
                            "  [Indented]  \r\n"
                            "ki=vi\r\n"
                            "[Empty]\r\n";

struct ValueCase {
    const char* section;
    const char* key;
    std::string expected; // "(default)" when the default comes back
};

const ValueCase kValueCases[] = {
    {"Sec1", "key1", "val1"},
    {"SEC1", "KEY1", "val1"},          // names ignore case
    {" Sec1 ", " key1 ", "val1"},      // and surrounding blanks
    {"Sec1", "key2", "val2"},          // blanks around '=' go
    {"Sec1", "ktab", "vtab"},          // tabs too
    {"Sec1", "noequals", "(default)"}, // a line without '=' has no value
    {"Sec1", "; comment", "x"},        // comments are found by their name
    {"Sec1", "# hash", "1"},           // '#' starts no comment
    {"Sec1", "kq", "abc"},             // matching quotes go
    {"Sec1", "ksq", "abc"},            // single quotes too
    {"Sec1", "kq1", "\"abc"},          // an unmatched quote stays
    {"Sec1", "kqq", ""},               // two quotes are an empty value
    {"Sec1", "kq_only", "\""},         // one quote alone stays
    {"Sec1", "kmix", "\"abc'"},        // different quotes stay
    {"Sec1", "emptyv", ""},            // empty, not the default
    // "=x" is the key without a name. (Windows itself is documented to give the
    // default for an empty name; the Windows build under Wine finds the key.)
    {"Sec1", "", "novalkey"},
    {"Sec1", " ", "novalkey"},     // the key name is trimmed first
    {"Sec1", "dup", "first"},      // the first of two keys wins
    {"Sec1", "a", "b=c"},          // the first '=' splits
    {"Sec1", "key3", "(default)"}, // a repeated section is not searched
    {"Sec2", "k", "v"},            // "[ Sec2 ]" is Sec2
    {" Sec2", "k", "v"},           // lookup names are trimmed
    {"Sec2", "k3", "v3"},          // "[Sec3" opens no section
    {"Sec3", "k3", "(default)"},   //
    {"a]b", "ka", "va"},           // the name ends at the last ']'
    {"Sec5", "k5", "v5"},          // text after ']' is ignored
    {"", "top", "headless"},       // lines before the first header
    {" ", "top", "headless"},      //
    {"", "", "nameless top"},      //
    {"", "ke", "(default)"},       // "[]" opens a second nameless section
    {"Empty", "ke", "(default)"},  //
    {"semi;colon", "k", "semi"},   //
    {"Indented", "ki", "vi"},      // an indented header
    {"Missing", "k", "(default)"}, //
};

struct ListCase {
    const char* section; // null: the section list
    std::string expected;
};

const ListCase kListCases[] = {
    {nullptr, "Sec1\0Sec2\0sec1\0a]b\0Sec5\0semi;colon\0Indented\0Empty\0"s},
    // Comments and lines without '=' are no keys; "=x" lists an empty name.
    {"Sec1",
     "key1\0key2\0ktab\0# hash\0kq\0ksq\0kq1\0kqq\0kq_only\0kmix\0emptyv\0\0dup\0DUP\0a\0"s},
    {"sec1",
     "key1\0key2\0ktab\0# hash\0kq\0ksq\0kq1\0kqq\0kq_only\0kmix\0emptyv\0\0dup\0DUP\0a\0"s},
    {"Sec2", "k\0k3\0"s},
    // The lines before the first header. (Windows itself is documented to
    // give the default for an empty section name; Wine lists these keys.)
    {"", "top\0\0"s},
    {" Sec1", "(default)"}, // lists do not trim the section name
    {"Empty", "(default)"},
    {"Missing", "(default)"},
};

TEST(ProfileRead, ValuesAndListsReadTheSameWithEveryLineEnd) {
    ProfileFolder folder;
    for (const auto& [style, lineEnd] : LineEndStyles()) {
        SCOPED_TRACE(style);
        std::string file =
            folder.FileWith("read-" + style + ".ini", WithLineEnds(kSample, lineEnd));
        for (const ValueCase& c : kValueCases) {
            SCOPED_TRACE("[" + std::string(c.section) + "] " + c.key);
            EXPECT_EQ(c.expected, Value(c.section, c.key, file));
        }
        for (const ListCase& c : kListCases) {
            SCOPED_TRACE(c.section ? c.section : "(sections)");
            Got got = GetString(c.section, nullptr, "(default)", 1024, file);
            EXPECT_EQ(c.expected, got.text);
        }
    }
}

TEST(ProfileRead, DefaultsLoseTrailingSpacesAndQuotes) {
    ProfileFolder folder;
    std::string file = folder.FileWith("defaults.ini", "[A]\r\nk=1\r\n");
    struct Case {
        const char* def;
        std::string value; // default of a missing key
        std::string list;  // default of a missing section's key list
    };
    const Case cases[] = {
        {"def  ", "def", "def  "},
        {"  def\t", "  def\t", "  def\t"},
        {"\"def\"", "def", "def"},
        {"   ", " ", "   "},
        {" ", " ", " "},
        {"a ", "a", "a "},
        {"\"a\" ", "a", "\"a\" "},
        {"' '", " ", " "},
        {"''", "", ""},
        {"\"", "\"", "\""},
        {nullptr, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.def ? c.def : "(null)");
        EXPECT_EQ(c.value, GetString("A", "missing", c.def, 100, file).text);
        EXPECT_EQ(c.list, GetString("Missing", nullptr, c.def, 100, file).text);
    }
}

TEST(ProfileRead, BufferSizesCutValuesDefaultsAndLists) {
    ProfileFolder folder;
    std::string file = folder.FileWith(
        "sizes.ini", "[A]\r\nk=abcd\r\nq=\"abcd\"\r\nr='ab'\r\nkk=1\r\n[BB]\r\nx=1\r\n");
    struct Case {
        const char* section;
        const char* key;
        DWORD size;
        std::string expected;
        bool cut = false; // a list cut at the buffer's end
    };
    const bool wine = IsWindowsBuild();
    const Case cases[] = {
        {"A", "k", 1, ""},
        {"A", "k", 2, "a"},
        {"A", "k", 3, "ab"},
        {"A", "k", 4, "abc"},
        {"A", "k", 5, "abcd"},
        {"A", "k", 6, "abcd"},
        {"A", "q", 2, "a"},
        {"A", "q", 4, "abc"},
        // A quoted value that just fits comes back whole; Wine drops one more
        // character there, which a caller cannot tell from a cut value.
        {"A", "q", 5, wine ? "abc" : "abcd"},
        {"A", "q", 6, "abcd"},
        {"A", "r", 3, wine ? "a" : "ab"},
        {"A", "r", 4, "ab"},
        {"A", "missing", 1, ""},
        {"A", "missing", 2, "d"},
        {"A", "missing", 5, "defg"},
        // Sections "A\0BB\0": a list that fills the buffer exactly counts as cut.
        {nullptr, nullptr, 1, ""},
        {nullptr, nullptr, 2, "", true},
        {nullptr, nullptr, 3, "A", true},
        {nullptr, nullptr, 4, "A\0"s, true},
        {nullptr, nullptr, 5, "A\0B"s, true},
        {nullptr, nullptr, 6, "A\0BB"s, true},
        {nullptr, nullptr, 7, "A\0BB\0"s},
        {nullptr, nullptr, 8, "A\0BB\0"s},
        // Keys "k\0q\0r\0kk\0"; no room for a name gives the default.
        {"A", nullptr, 1, ""},
        {"A", nullptr, 2, "d"},
        {"A", nullptr, 3, "k", true},
        {"A", nullptr, 4, "k\0"s, true},
        {"A", nullptr, 5, "k\0q"s, true},
        {"A", nullptr, 9, "k\0q\0r\0k"s, true},
        {"A", nullptr, 10, "k\0q\0r\0kk"s, true},
        {"A", nullptr, 11, "k\0q\0r\0kk\0"s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section ? c.section : "(null)") + "/" +
                     (c.key ? c.key : "(null)") + " size " + std::to_string(c.size));
        Got got = GetString(c.section, c.key, c.key ? "defg" : "d", c.size, file);
        EXPECT_EQ(c.expected, got.text);
        // Wine leaves the byte after a cut list alone; a reader then runs past
        // the last name, so our layer ends it with the second NUL.
        if (c.cut && !wine) {
            EXPECT_EQ('\0', got.buffer[got.result + 1]);
        }
    }
    // Size 0 returns 0 and touches nothing (checked inside GetString).
    GetString("A", "k", "d", 0, file);
    GetString(nullptr, nullptr, "d", 0, file);
    char unused = kSentinel;
    EXPECT_EQ(0u, GetPrivateProfileStringA("A", "k", "d", nullptr, 10, file.c_str()));
    EXPECT_EQ(0u, GetPrivateProfileStringA(nullptr, nullptr, "d", nullptr, 10, file.c_str()));
    EXPECT_EQ(kSentinel, unused);
}

TEST(ProfileRead, KeyListStartingWithAnUnnamedKeyGivesTheDefault) {
    ProfileFolder folder;
    std::string file = folder.FileWith("unnamed.ini", "[B]\r\n=y\r\nb=1\r\n");
    EXPECT_EQ("d", GetString("B", nullptr, "d", 100, file).text);
}

TEST(ProfileRead, MissingFilesFoldersAndFolderPathsGiveDefaults) {
    ProfileFolder folder;
    struct Case {
        std::string path;
        DWORD error;
    };
    const Case cases[] = {
        {folder.File("missing.ini"), ERROR_FILE_NOT_FOUND},
        {folder.File("no-folder/missing.ini"), ERROR_PATH_NOT_FOUND},
        {folder.File(""), ERROR_ACCESS_DENIED}, // the folder itself
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        SetLastError(0xdead);
        EXPECT_EQ("def", GetString("S", "k", "def  ", 100, c.path).text);
        EXPECT_EQ(c.error, GetLastError());
        EXPECT_EQ("def  ", GetString("S", nullptr, "def  ", 100, c.path).text);
        Got sections = GetString(nullptr, nullptr, "def", 100, c.path);
        EXPECT_EQ(0u, sections.result);
        EXPECT_EQ(77u, GetPrivateProfileIntA("S", "k", 77, c.path.c_str()));
    }
    EXPECT_EQ("d", Value("corvane-surely-missing-section", "k", std::string(), "d"));
    char buffer[8];
    EXPECT_EQ(1u, GetPrivateProfileStringA("corvane-surely-missing-section", "k", "d", buffer,
                                           sizeof buffer, nullptr));
}

TEST(ProfileRead, BytesBeyondAsciiNulBytesAndBlanks) {
    ProfileFolder folder;
    std::string bytes = "[A]\r\nk=\x80\x81\xff\xc3\r\nm=\x81\x8d\x90\r\n[\xe9]\r\nx=1\r\n";
    std::string file = folder.FileWith("bytes.ini", bytes);
    EXPECT_EQ("\x80\x81\xff\xc3", Value("A", "k", file));
    EXPECT_EQ("\x81\x8d\x90", Value("A", "m", file));
    EXPECT_EQ("1", Value("\xe9", "x", file));
    EXPECT_EQ("(default)", Value("\xc9", "x", file)); // only ASCII letters fold

    // A NUL ends a name or value; '=' after it still splits the line.
    std::string nul =
        folder.FileWith("nul-bytes.ini", "[A]\r\nk=a\0b\r\nj=\0\r\nn\0=v\r\n[B\0C]\r\nx=1\r\n"s);
    EXPECT_EQ("a", Value("A", "k", nul));
    EXPECT_EQ("", Value("A", "j", nul));
    EXPECT_EQ("v", Value("A", "n", nul));
    EXPECT_EQ("A\0B\0"s, GetString(nullptr, nullptr, "", 100, nul).text);
    EXPECT_EQ("1", Value("B", "x", nul));

    // Blanks are space, tab, LF, VT, FF, CR and Ctrl-Z; a no-break space is none.
    std::string blanks = folder.FileWith(
        "blanks.ini",
        "[A]\r\n\x0bk\x0c=\x0bv\x0c\r\n\xa0j\xa0=\xa0w\xa0\r\n\x1az=\x1a\r\n[a\x1a]\r\n");
    EXPECT_EQ("v", Value("A", "k", blanks));
    EXPECT_EQ("(default)", Value("A", "j", blanks));
    EXPECT_EQ("\xa0w\xa0", Value("A", "\xa0j\xa0", blanks));
    EXPECT_EQ("", Value("A", "z", blanks));
    EXPECT_EQ("A\0a\0"s, GetString(nullptr, nullptr, "", 100, blanks).text);
}

TEST(ProfileRead, ByteOrderMarksChooseTheEncoding) {
    ProfileFolder folder;
    auto utf16 = [](const std::string& ascii, bool bigEndian) {
        std::string out = bigEndian ? "\xfe\xff" : "\xff\xfe";
        for (char ch : ascii)
            out += bigEndian ? "\0"s + ch : std::string(1, ch) + '\0';
        return out;
    };
    const std::string text = "[A]\r\nk=1\r\n[B]\r\nb=two\r\n";
    const std::pair<std::string, std::string> files[] = {
        {"utf8.ini", "\xef\xbb\xbf" + text},
        {"utf16le.ini", utf16(text, false)},
        {"utf16be.ini", utf16(text, true)},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        std::string file = folder.FileWith(name, bytes);
        EXPECT_EQ("1", Value("A", "k", file));
        EXPECT_EQ("two", Value("B", "b", file));
        EXPECT_EQ("A\0B\0"s, GetString(nullptr, nullptr, "", 100, file).text);
    }
    // Without a byte-order mark UTF-16 text is not recognised.
    std::string bare = utf16(text, false).substr(2);
    EXPECT_EQ("(default)", Value("A", "k", folder.FileWith("bare16.ini", bare)));
}

TEST(ProfileRead, LongLinesAndLongValues) {
    ProfileFolder folder;
    std::string big(1 << 20, 'x');
    big.front() = 'a';
    big.back() = 'z';
    std::string noEquals(1 << 20, 'n');
    std::string file = folder.FileWith("big.ini", "[A]\r\nk=" + big + "\r\n" + noEquals +
                                                      "\r\nj=2\r\n[B]\r\nb=1\r\n");
    Got cut = GetString("A", "k", "d", 16384, file);
    EXPECT_EQ(16383u, cut.result);
    EXPECT_EQ(big.substr(0, 16383), cut.text);
    Got whole = GetString("A", "k", "d", static_cast<DWORD>(big.size() + 1), file);
    EXPECT_EQ(big, whole.text);
    EXPECT_EQ("2", Value("A", "j", file));
    EXPECT_EQ("k\0j\0"s, GetString("A", nullptr, "d", 100, file).text);
    EXPECT_EQ("A\0B\0"s, GetString(nullptr, nullptr, "d", 100, file).text);
}

// The documentation speaks of decimal numbers only; the Windows build under
// Wine also reads "0x", "0o" and "0b" prefixes, and so do we.
TEST(ProfileInt, ReadsASignedNumberThatWrapsModulo2To32) {
    ProfileFolder folder;
    std::string file = folder.FileWith(
        "int.ini",
        "[I]\r\na=123\r\nb=-5\r\nc=+7\r\nd= 42 \r\ne=12abc\r\nf=abc\r\ng=\r\nh=4294967296\r\n"
        "i=99999999999\r\nj=-2147483649\r\nk=0x10\r\nl=  -3\r\nm=4294967295\r\nn=2147483648\r\n"
        "o=\"17\"\r\np=010\r\nq=0b11\r\nr=0o17\r\ns=- 4\r\n"
        "t=1234567890123456789012345678901234567\r\nu=--4\r\nv=0X1f\r\nw=0x\r\nx=1e3\r\n"
        "z=  \r\na2=\"\x01 7\"\r\nb2=\" -0x1F\"\r\nc2=0b102\r\nd2=+\r\n");
    std::string names = folder.FileWith("int-names.ini", "[12]\r\n34=5\r\n");
    struct Case {
        const char* section;
        const char* key;
        int64_t expected;
    };
    const Case cases[] = {
        {"I", "a", 123},        {"I", "b", -5},         {"I", "c", 7},
        {"I", "d", 42},         {"I", "e", 12},         {"I", "f", 0},
        {"I", "g", 77},         {"I", "h", 0}, // empty gives the default; 2^32 wraps to 0
        {"I", "i", 1215752191}, {"I", "j", 2147483647}, {"I", "k", 16},
        {"I", "l", -3},         {"I", "m", -1},         {"I", "n", 2147483648},
        {"I", "o", 17},         {"I", "p", 10}, // quotes go; no octal
        {"I", "q", 3},          {"I", "r", 15},         {"I", "s", 0},
        {"I", "t", 1849262357},                // only 29 digits are read
        {"I", "u", 0},          {"I", "v", 0}, // only a lower-case prefix counts
        {"I", "w", 0},          {"I", "x", 1},          {"I", "z", 77},
        {"I", "a2", 7}, // control characters are skipped
        {"I", "b2", -31},       {"I", "c2", 2},         {"I", "d2", 0},
        {"I", "absent", 77},    {"NoSection", "a", 77}, {"I", "", 77},
        {"I", nullptr, 0}, // the first key name, "a", is no number
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section ? c.section : "(null)") + "/" +
                     (c.key ? c.key : "(null)"));
        EXPECT_EQ(static_cast<UINT>(c.expected),
                  GetPrivateProfileIntA(c.section, c.key, 77, file.c_str()));
    }
    // Without a key the first key name is read, without a section the first
    // section name.
    EXPECT_EQ(12u, GetPrivateProfileIntA(nullptr, nullptr, 77, names.c_str()));
    EXPECT_EQ(12u, GetPrivateProfileIntA(nullptr, "34", 77, names.c_str()));
    EXPECT_EQ(34u, GetPrivateProfileIntA("12", nullptr, 77, names.c_str()));
}

} // namespace
