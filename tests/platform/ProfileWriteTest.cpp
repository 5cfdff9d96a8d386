// Changing private-profile files: the exact bytes after each change, deletions,
// failures and the flush request. The same expectations hold for the Windows
// build under Wine and for our own layer.
#include "ProfileTestSupport.h"

using namespace profile_test;
using testing_support::FileExists;
using testing_support::IsWindowsBuild;

namespace {

struct Step {
    const char* section;
    const char* key;
    const char* value;
    std::string expected; // the file afterwards
};

// Runs the steps on `file`, each expected to succeed.
void RunSteps(const std::string& file, const std::vector<Step>& steps) {
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.section ? step.section : "(null)") + " / " +
                     (step.key ? step.key : "(null)") + " = " +
                     (step.value ? step.value : "(null)"));
        EXPECT_TRUE(WritePrivateProfileStringA(step.section, step.key, step.value, file.c_str()));
        EXPECT_EQ(step.expected, SavedBytes(file));
    }
}

TEST(ProfileWrite, ChangesGiveCanonicalLinesInFileOrder) {
    ProfileFolder folder;
    const std::string file = folder.File("edits.ini");
    RunSteps(
        file,
        {
            {"App", "key", "value", "[App]\r\nkey=value\r\n"},
            {"App", "key2", "v2", "[App]\r\nkey=value\r\nkey2=v2\r\n"},
            {"Other", "k", "v", "[App]\r\nkey=value\r\nkey2=v2\r\n[Other]\r\nk=v\r\n"},
            // An existing key keeps its spelling.
            {"app", "KEY", "new", "[App]\r\nkey=new\r\nkey2=v2\r\n[Other]\r\nk=v\r\n"},
            // The latest line is written as given, less its leading blanks...
            {"App", "key3", "  lead and trail  ",
             "[App]\r\nkey=new\r\nkey2=v2\r\nkey3=lead and trail  \r\n[Other]\r\nk=v\r\n"},
            // ...and the next change writes it as it reads back.
            {"App", " key4 ", "x",
             "[App]\r\nkey=new\r\nkey2=v2\r\nkey3=lead and trail\r\nkey4 =x\r\n[Other]\r\nk=v\r\n"},
            {" Sec ", "k", "x",
             "[App]\r\nkey=new\r\nkey2=v2\r\nkey3=lead and trail\r\nkey4=x\r\n[Other]\r\nk=v\r\n"
             "[Sec ]\r\nk=x\r\n"},
            {"App", "key2", "",
             "[App]\r\nkey=new\r\nkey2=\r\nkey3=lead and trail\r\nkey4=x\r\n[Other]\r\nk=v\r\n"
             "[Sec]\r\nk=x\r\n"},
            {"App", "key2", nullptr,
             "[App]\r\nkey=new\r\nkey3=lead and "
             "trail\r\nkey4=x\r\n[Other]\r\nk=v\r\n[Sec]\r\nk=x\r\n"},
            // Deleting what is not there succeeds and changes nothing.
            {"App", "notthere", nullptr,
             "[App]\r\nkey=new\r\nkey3=lead and "
             "trail\r\nkey4=x\r\n[Other]\r\nk=v\r\n[Sec]\r\nk=x\r\n"},
            {"NoSec", nullptr, nullptr,
             "[App]\r\nkey=new\r\nkey3=lead and "
             "trail\r\nkey4=x\r\n[Other]\r\nk=v\r\n[Sec]\r\nk=x\r\n"},
            {"Other", nullptr, nullptr,
             "[App]\r\nkey=new\r\nkey3=lead and trail\r\nkey4=x\r\n[Sec]\r\nk=x\r\n"},
            {"App", "a=b", "c",
             "[App]\r\nkey=new\r\nkey3=lead and trail\r\nkey4=x\r\na=b=c\r\n[Sec]\r\nk=x\r\n"},
            {"App", "tab", "\tx\t",
             "[App]\r\nkey=new\r\nkey3=lead and "
             "trail\r\nkey4=x\r\na=b=c\r\ntab=x\t\r\n[Sec]\r\nk=x\r\n"},
            {"A]b", "k", "v",
             "[App]\r\nkey=new\r\nkey3=lead and "
             "trail\r\nkey4=x\r\na=b=c\r\ntab=x\r\n[Sec]\r\nk=x\r\n"
             "[A]b]\r\nk=v\r\n"},
            // The nameless section is the top of the file.
            {"", "k", "v",
             "k=v\r\n[App]\r\nkey=new\r\nkey3=lead and "
             "trail\r\nkey4=x\r\na=b=c\r\ntab=x\r\n[Sec]\r\n"
             "k=x\r\n[A]b]\r\nk=v\r\n"},
            {"App", "", "v",
             "k=v\r\n[App]\r\nkey=new\r\nkey3=lead and trail\r\nkey4=x\r\na=b=c\r\ntab=x\r\n=v\r\n"
             "[Sec]\r\nk=x\r\n[A]b]\r\nk=v\r\n"},
        });
    EXPECT_EQ("x", Value("Sec", "k", file));
    EXPECT_EQ("v", Value("A]b", "k", file));
    EXPECT_EQ("v", Value("", "k", file));
    EXPECT_EQ("b=c", Value("App", "a", file));

    // Quotes are stored as given and read back without them.
    EXPECT_TRUE(WritePrivateProfileStringA("App", "q", "\"quoted\"", file.c_str()));
    EXPECT_EQ("quoted", Value("App", "q", file));
}

TEST(ProfileWrite, ExistingTextIsRewrittenCanonicallyOnlyWhenSomethingChanges) {
    ProfileFolder folder;
    struct Case {
        const char* name;
        std::string before;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"mixed line ends",
         "; top comment\n\n\n[A]\n  k1 = v1  \nnoeq\n\n[B]\r\nx=1\r[C]\ry=2",
         {{"A", "k2", "v2",
           "; top comment\r\n[A]\r\nk1=v1\r\nnoeq\r\nk2=v2\r\n[B]\r\nx=1\r\n[C]\r\ny=2\r\n"}}},
        {"no change, no rewrite",
         "[A]\r\nk = 1\r\n\r\n\r\n[B]\r\n",
         {{"A", "k", "1", "[A]\r\nk = 1\r\n\r\n\r\n[B]\r\n"},
          {"A", "j", nullptr, "[A]\r\nk = 1\r\n\r\n\r\n[B]\r\n"},
          {"C", nullptr, nullptr, "[A]\r\nk = 1\r\n\r\n\r\n[B]\r\n"}}},
        {"values compare with case, names without",
         "[A]\r\nk=abc\r\n",
         {{"A", "k", "ABC", "[A]\r\nk=ABC\r\n"}, {"A", "K", "ABC", "[A]\r\nk=ABC\r\n"}}},
        {"blank lines go",
         "[A]\n\n\n\nk=1\n  \n\t\n[B]\n\n",
         {{"B", "b", "1", "[A]\r\nk=1\r\n[B]\r\nb=1\r\n"}}},
        {"a line empty after a NUL is blank once",
         "[A]\r\nk=1\r\n\0\r\n[B]\r\nb=1\r\n"s,
         {{"B", "c", "2", "[A]\r\nk=1\r\n\r\n[B]\r\nb=1\r\nc=2\r\n"},
          {"B", "d", "3", "[A]\r\nk=1\r\n[B]\r\nb=1\r\nc=2\r\nd=3\r\n"}}},
        {"\"[]\" joins the section before it",
         "[X]\r\nx=1\r\n[]\r\nk=1\r\n[Y]\r\ny=1\r\n",
         {{"Y", "z", "2", "[X]\r\nx=1\r\nk=1\r\n[Y]\r\ny=1\r\nz=2\r\n"}}},
        {"\"[]\" first is not the top",
         "[]\r\nk=1\r\n[X]\r\nx=1\r\n",
         {{"", "k", "2", "k=2\r\nk=1\r\n[X]\r\nx=1\r\n"}}},
        {"deleting the top section",
         "h=1\r\n[X]\r\nx=1\r\n[ ]\r\nk=1\r\n",
         {{"", nullptr, nullptr, "[X]\r\nx=1\r\nk=1\r\n"}}},
        {"deleting the top makes \"[]\" the top",
         "[]\r\nk=1\r\n[X]\r\nx=1\r\n",
         {{"", nullptr, nullptr, "k=1\r\n[X]\r\nx=1\r\n"}}},
        {"the top comes back after its deletion",
         "k0=top\r\n[A]\r\nk=1\r\n",
         {{"", nullptr, nullptr, "[A]\r\nk=1\r\n"}, {"", "k", "v", "k=v\r\n[A]\r\nk=1\r\n"}}},
        {"bytes beyond ASCII stay",
         "[A]\r\nk=\x80\x81\xff\xc3\r\n[\xe9]\r\nx=1\r\n",
         {{"A", "m", "\x81\x8d\x90",
           "[A]\r\nk=\x80\x81\xff\xc3\r\nm=\x81\x8d\x90\r\n[\xe9]\r\nx=1\r\n"},
          {"\xc9", "y", "2",
           "[A]\r\nk=\x80\x81\xff\xc3\r\nm=\x81\x8d\x90\r\n[\xe9]\r\nx=1\r\n[\xc9]\r\ny=2\r\n"}}},
        {"only ASCII blanks are trimmed",
         "[A]\r\n",
         {{"A", "m", "\xa0x", "[A]\r\nm=\xa0x\r\n"},
          {"A", "n", "\x0bx", "[A]\r\nm=\xa0x\r\nn=x\r\n"}}},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunSteps(folder.FileWith("existing" + std::to_string(index++) + ".ini", c.before), c.steps);
    }
    std::string merged = folder.File("existing5.ini");
    EXPECT_EQ("1", Value("X", "k", merged));
    EXPECT_EQ("1", Value("", "k", folder.File("existing8.ini")));
}

TEST(ProfileWrite, EveryLineEndStyleGivesTheSameCanonicalFile) {
    ProfileFolder folder;
    const std::string crlf = "; c\r\n[A]\r\n k = 1 \r\n\r\n[B]\r\nx=2\r\n";
    for (const auto& [style, lineEnd] : LineEndStyles()) {
        SCOPED_TRACE(style);
        std::string file = folder.FileWith(style + ".ini", WithLineEnds(crlf, lineEnd));
        EXPECT_TRUE(WritePrivateProfileStringA("B", "y", "3", file.c_str()));
        EXPECT_EQ("; c\r\n[A]\r\nk=1\r\n[B]\r\nx=2\r\ny=3\r\n", SavedBytes(file));
    }
}

TEST(ProfileWrite, TheLatestLineReadsBackAsTheNextChangeWritesIt) {
    ProfileFolder folder;
    const std::string file = folder.File("latest.ini");
    RunSteps(file, {{"A", "k1", "x  ", "[A]\r\nk1=x  \r\n"}});
    EXPECT_EQ("x", Value("A", "k1", file));
    RunSteps(file, {{"A", "k2 ", "y", "[A]\r\nk1=x\r\nk2 =y\r\n"}});
    EXPECT_EQ("k1\0k2\0"s, GetString("A", nullptr, "", 100, file).text);
    RunSteps(file, {{" B ", "k", "z", "[A]\r\nk1=x\r\nk2=y\r\n[B ]\r\nk=z\r\n"}});
    EXPECT_EQ("A\0B\0"s, GetString(nullptr, nullptr, "", 100, file).text);
    // A value with line ends becomes several lines, here a new section in the
    // middle of the file.
    RunSteps(file, {{"A", "k3", "v\r\n[C]\r\nc=1",
                     "[A]\r\nk1=x\r\nk2=y\r\nk3=v\r\n[C]\r\nc=1\r\n[B]\r\nk=z\r\n"}});
    EXPECT_EQ("v", Value("A", "k3", file));
    EXPECT_EQ("1", Value("C", "c", file));
    EXPECT_EQ("A\0C\0B\0"s, GetString(nullptr, nullptr, "", 100, file).text);
    RunSteps(
        file,
        {
            {"A", "k4", "w", "[A]\r\nk1=x\r\nk2=y\r\nk3=v\r\nk4=w\r\n[C]\r\nc=1\r\n[B]\r\nk=z\r\n"},
            {"C", "c", nullptr, "[A]\r\nk1=x\r\nk2=y\r\nk3=v\r\nk4=w\r\n[C]\r\n[B]\r\nk=z\r\n"},
        });

    // An unchanged value is not written again, so trailing blanks stay.
    const std::string again = folder.File("again.ini");
    RunSteps(again, {
                        {"A", "k1", "x  ", "[A]\r\nk1=x  \r\n"},
                        {"A", "k2", "y  ", "[A]\r\nk1=x\r\nk2=y  \r\n"},
                        {"A", "k2", "y", "[A]\r\nk1=x\r\nk2=y  \r\n"},
                        {"A", "k1", "x", "[A]\r\nk1=x\r\nk2=y  \r\n"},
                    });

    // A key that looks like a header, a value with a lone CR.
    const std::string odd = folder.File("odd.ini");
    RunSteps(odd, {
                      {"A", "k", "   ", "[A]\r\nk=\r\n"},
                      {"A", "[X]", "1", "[A]\r\nk=\r\n[X]=1\r\n"},
                  });
    EXPECT_EQ("A\0X\0"s, GetString(nullptr, nullptr, "", 100, odd).text);
    RunSteps(odd, {
                      {"A", "z", "1", "[A]\r\nk=\r\nz=1\r\n[X]\r\n"},
                      {"A", "cr", "a\rb", "[A]\r\nk=\r\nz=1\r\ncr=a\rb\r\n[X]\r\n"},
                  });
    EXPECT_EQ("a", Value("A", "cr", odd));
    EXPECT_EQ("k\0z\0cr\0"s, GetString("A", nullptr, "", 100, odd).text);
    RunSteps(odd, {{"A", "z", "2", "[A]\r\nk=\r\nz=2\r\ncr=a\r\nb\r\n[X]\r\n"}});
}

TEST(ProfileWrite, DeletionsRemoveTheFirstMatchOnly) {
    ProfileFolder folder;
    struct Case {
        const char* name;
        std::string before;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"repeated sections",
         "[A]\r\nk=1\r\n[a]\r\nk=2\r\nj=3\r\n[A]\r\nz=9\r\n",
         {{"A", "j", "new", "[A]\r\nk=1\r\nj=new\r\n[a]\r\nk=2\r\nj=3\r\n[A]\r\nz=9\r\n"},
          {"A", "k", "new", "[A]\r\nk=new\r\nj=new\r\n[a]\r\nk=2\r\nj=3\r\n[A]\r\nz=9\r\n"},
          // A key is looked for in every section of that name...
          {"A", "z", nullptr, "[A]\r\nk=new\r\nj=new\r\n[a]\r\nk=2\r\nj=3\r\n[A]\r\n"},
          // ...a section deletion takes the first one.
          {"a", nullptr, nullptr, "[a]\r\nk=2\r\nj=3\r\n[A]\r\n"}}},
        {"keys of a repeated section",
         "[A]\r\nk=1\r\n[B]\r\nb=1\r\n[a]\r\nk=2\r\nj=3\r\n",
         {{"A", "j", nullptr, "[A]\r\nk=1\r\n[B]\r\nb=1\r\n[a]\r\nk=2\r\n"},
          {"A", "k", nullptr, "[A]\r\n[B]\r\nb=1\r\n[a]\r\nk=2\r\n"},
          {"A", "k", nullptr, "[A]\r\n[B]\r\nb=1\r\n[a]\r\n"}}},
        {"repeated keys",
         "[A]\r\nk=1\r\nk=2\r\nK=3\r\n",
         {{"A", "k", "x", "[A]\r\nk=x\r\nk=2\r\nK=3\r\n"},
          {"A", "k", nullptr, "[A]\r\nk=2\r\nK=3\r\n"},
          {"A", "k", nullptr, "[A]\r\nK=3\r\n"}}},
        {"all sections one by one",
         "[A]\r\na=1\r\n[a]\r\nb=1\r\n[A]\r\nc=1\r\n",
         {{"A", nullptr, nullptr, "[a]\r\nb=1\r\n[A]\r\nc=1\r\n"},
          {"A", nullptr, nullptr, "[A]\r\nc=1\r\n"},
          {"A", nullptr, nullptr, ""}}},
        {"deletion names are not trimmed",
         "[A]\r\nk=1\r\n[B]\r\nx=1\r\n",
         {{" A ", nullptr, nullptr, "[A]\r\nk=1\r\n[B]\r\nx=1\r\n"},
          {"B", " x ", nullptr, "[A]\r\nk=1\r\n[B]\r\nx=1\r\n"},
          {" B ", "x", nullptr, "[A]\r\nk=1\r\n[B]\r\nx=1\r\n"}}},
        {"comments and lines without '='",
         "[A]\r\nnoeq\r\n; c=1\r\n;d\r\nk=1\r\n",
         {{"A", "noeq", "v", "[A]\r\nnoeq=v\r\n; c=1\r\n;d\r\nk=1\r\n"},
          {"A", "; c", nullptr, "[A]\r\nnoeq=v\r\n;d\r\nk=1\r\n"},
          {"A", ";d", nullptr, "[A]\r\nnoeq=v\r\nk=1\r\n"},
          {"A", ";e", "5", "[A]\r\nnoeq=v\r\nk=1\r\n;e=5\r\n"}}},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunSteps(folder.FileWith("delete" + std::to_string(index++) + ".ini", c.before), c.steps);
    }
    EXPECT_EQ("noeq\0k\0"s, GetString("A", nullptr, "", 100, folder.File("delete5.ini")).text);

    // Deleting from a file that does not exist creates none.
    const std::string none = folder.File("none.ini");
    EXPECT_TRUE(WritePrivateProfileStringA("S", "k", nullptr, none.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("S", nullptr, nullptr, none.c_str()));
    SetLastError(0xdead);
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, none.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(FileExists(none));
    RunSteps(none, {{"S", "k", "", "[S]\r\nk=\r\n"}});
}

TEST(ProfileWrite, ByteOrderMarksAndEncodingsAreKept) {
    ProfileFolder folder;
    auto utf16 = [](const std::string& ascii, bool bigEndian) {
        std::string out = bigEndian ? "\xfe\xff" : "\xff\xfe";
        for (char ch : ascii)
            out += bigEndian ? "\0"s + ch : std::string(1, ch) + '\0';
        return out;
    };
    struct Case {
        const char* name;
        std::string before;
        std::string after;
    };
    const Case cases[] = {
        {"utf8", "\xef\xbb\xbf[A]\r\nk=1\r\n", "\xef\xbb\xbf[A]\r\nk=1\r\nj=2\r\n"},
        {"utf16le", utf16("[A]\r\nk=1\r\n", false), utf16("[A]\r\nk=1\r\nj=2\r\n", false)},
        {"utf16be", utf16("[A]\n\nk=1", true), utf16("[A]\r\nk=1\r\nj=2\r\n", true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = folder.FileWith(std::string(c.name) + ".ini", c.before);
        EXPECT_TRUE(WritePrivateProfileStringA("A", "j", "2", file.c_str()));
        EXPECT_EQ(c.after, SavedBytes(file));
        EXPECT_EQ("2", Value("A", "j", file));
    }
}

TEST(ProfileWrite, ChangesThatCannotBeSavedFailAtTheCall) {
    ProfileFolder folder;
    testing_support::ScratchDir aside;
    struct Case {
        const char* name;
        std::string path;
        DWORD error;
    };
    const Case cases[] = {
        {"missing folder", folder.File("no-folder/x.ini"), ERROR_PATH_NOT_FOUND},
        {"path of a folder", aside.path().string(), ERROR_ACCESS_DENIED},
        {"folder path with separator", folder.File(""), ERROR_ACCESS_DENIED},
        {"empty path", "", ERROR_ACCESS_DENIED}, // the current folder
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const char* path = c.path.c_str();
        SetLastError(0);
        EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", path));
        EXPECT_EQ(c.error, GetLastError());
        SetLastError(0);
        EXPECT_FALSE(WritePrivateProfileStringA("S", "k", nullptr, path));
        EXPECT_EQ(c.error, GetLastError());
        SetLastError(0);
        EXPECT_FALSE(WritePrivateProfileStringA("S", nullptr, nullptr, path));
        EXPECT_EQ(c.error, GetLastError());
        SetLastError(0);
        EXPECT_FALSE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, path));
        EXPECT_EQ(c.error, GetLastError());
    }
    EXPECT_FALSE(FileExists(folder.File("no-folder")));

    // A key or value without a section is refused and changes nothing.
    const std::string file = folder.FileWith("kept.ini", "[A]\r\nk=1\r\n");
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "k", "v", file.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "k", nullptr, file.c_str()));
    EXPECT_EQ("[A]\r\nk=1\r\n", SavedBytes(file));
}

TEST(ProfileWrite, TheFlushRequestReturnsFalseAndClearsTheError) {
    ProfileFolder folder;
    const std::string file = folder.File("flush.ini");
    EXPECT_TRUE(WritePrivateProfileStringA("A", "k", "v", file.c_str()));
    SetLastError(0xdead);
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str()));
    EXPECT_EQ(0u, GetLastError());
    EXPECT_EQ("[A]\r\nk=v\r\n", testing_support::ReadFileBytes(file));
    SetLastError(0xdead);
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str()));
    EXPECT_EQ(0u, GetLastError()); // nothing more to save
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr));
}

TEST(ProfileWrite, AFileWrittenDirectlyIsReadAgain) {
    ProfileFolder folder;
    const std::string file = folder.FileWith("direct.ini", "[A]\r\nk=1\r\n");
    EXPECT_EQ("1", Value("A", "k", file));
    testing_support::WriteFileBytes(file, "[A]\r\nk=two\r\nj=3\r\n");
    EXPECT_EQ("two", Value("A", "k", file));
    EXPECT_TRUE(WritePrivateProfileStringA("A", "m", "4", file.c_str()));
    EXPECT_EQ("[A]\r\nk=two\r\nj=3\r\nm=4\r\n", SavedBytes(file));
}

TEST(ProfileWrite, LongNamesAndValuesRoundTrip) {
    ProfileFolder folder;
    const std::string file = folder.File("long.ini");
    // The Windows build's functions carry strings of up to 32766 characters;
    // longer ones are checked in the Linux suite.
    std::string value(32766, 'v');
    value.back() = 'e';
    std::string name(1000, 'n');
    EXPECT_TRUE(
        WritePrivateProfileStringA(name.c_str(), name.c_str(), value.c_str(), file.c_str()));
    EXPECT_EQ(value, Value(name.c_str(), name.c_str(), file, "", 40000));
    EXPECT_EQ("[" + name + "]\r\n" + name + "=" + value + "\r\n", SavedBytes(file));
    EXPECT_EQ(name + '\0', GetString(nullptr, nullptr, "", 2000, file).text);
}

} // namespace
