// Splitting a command line by the C runtime's rules, and the framework's
// hand-over of each argument to ParseParam.
#include "framework/CommandLine.h"
#include "framework/WinApp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Split(const char* line) {
    std::vector<std::string> args;
    for (const CString& arg : SplitCommandLine(line))
        args.push_back(arg.str());
    return args;
}

struct Call {
    std::string param;
    bool flag;
    bool last;
    bool operator==(const Call& other) const {
        return param == other.param && flag == other.flag && last == other.last;
    }
};

std::ostream& operator<<(std::ostream& out, const Call& call) {
    return out << "{" << call.param << ", " << call.flag << ", " << call.last << "}";
}

class RecordingInfo : public CCommandLineInfo {
  public:
    void ParseParam(const char* pszParam, BOOL bFlag, BOOL bLast) override {
        calls.push_back({pszParam, bFlag != FALSE, bLast != FALSE});
        CCommandLineInfo::ParseParam(pszParam, bFlag, bLast);
    }
    std::vector<Call> calls;
};

} // namespace

TEST(SplitCommandLine, FollowsTheCRuntimeRules) {
    struct Case {
        const char* line;
        std::vector<std::string> args;
    } cases[] = {
        {"prog a b", {"prog", "a", "b"}},
        {"\"C:\\Program Files\\x.exe\" -app=Y", {"C:\\Program Files\\x.exe", "-app=Y"}},
        // The program name knows only quotes: backslashes before them are plain.
        {"C:\\a\\\"b c\"\\x.exe arg", {"C:\\a\\b c\\x.exe", "arg"}},
        {"\"C:\\dir\\\\\" next", {"C:\\dir\\\\", "next"}},
        {"prog \"a b\" c", {"prog", "a b", "c"}},
        {"prog a\\\\b", {"prog", "a\\\\b"}},
        {"prog a\\\"b", {"prog", "a\"b"}},
        {"prog a\\\\\\\"b", {"prog", "a\\\"b"}},
        {"prog a\\\\\\\\\"b c\"", {"prog", "a\\\\b c"}},
        {"prog \"C:\\dir\\\\\"", {"prog", "C:\\dir\\"}},
        {"prog a\\", {"prog", "a\\"}},
        {"prog \\\"a", {"prog", "\"a"}},
        {"prog \"a\"\"b\"", {"prog", "a\"b"}},
        {"prog \"a\"\"b c\"", {"prog", "a\"b c"}},
        {"prog a\"b\"c", {"prog", "abc"}},
        {"prog \"\"", {"prog", ""}},
        {"prog \"\" \"\"", {"prog", "", ""}},
        {"prog  \t a\t\tb  ", {"prog", "a", "b"}},
        {"prog \"open to the end", {"prog", "open to the end"}},
        {"prog /app=\"My App\"", {"prog", "/app=My App"}},
        {"prog \"/app=  Spaced  \"", {"prog", "/app=  Spaced  "}},
        {"prog a\nb", {"prog", "a\nb"}}, // only blanks and tabs separate
        {"prog", {"prog"}},
        {" prog a", {"", "prog", "a"}}, // a blank first: the program name is empty
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(c.args, Split(c.line));
    }
    EXPECT_TRUE(Split(nullptr).empty());
}

TEST(ParseCommandLine, HandsEachArgumentAfterTheProgramToParseParam) {
    struct Case {
        const char* line;
        std::vector<Call> calls;
    } cases[] = {
        {"prog", {}},
        {"prog -app=X", {{"app=X", true, true}}},
        {"\"C:\\my dir\\prog.exe\" -app=X /keep plain -",
         {{"app=X", true, false},
          {"keep", true, false},
          {"plain", false, false},
          {"", true, true}}},
        {"prog \"/app=  Name  \" keep", {{"app=  Name  ", true, false}, {"keep", false, true}}},
        {"prog \"\"", {{"", false, true}}},
        {"prog --x //y", {{"-x", true, false}, {"/y", true, true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        CWinApp app("CommandLineTest");
        std::string line = c.line;
        app.m_lpCmdLine = line.data();
        RecordingInfo info;
        app.ParseCommandLine(info);
        EXPECT_EQ(c.calls, info.calls);
    }
}

TEST(ParseCommandLine, NoCommandLineMeansNoArguments) {
    CWinApp app("CommandLineTest");
    app.m_lpCmdLine = nullptr;
    RecordingInfo info;
    app.ParseCommandLine(info);
    EXPECT_TRUE(info.calls.empty());
}

TEST(CommandLineInfo, FirstPlainArgumentIsTheFileToOpen) {
    CWinApp app("CommandLineTest");
    std::string line = "prog /flag first.ini second.ini";
    app.m_lpCmdLine = line.data();
    CCommandLineInfo info;
    EXPECT_EQ(CCommandLineInfo::FileNew, info.m_nShellCommand);
    app.ParseCommandLine(info);
    EXPECT_STREQ("first.ini", info.m_strFileName);
    EXPECT_EQ(CCommandLineInfo::FileOpen, info.m_nShellCommand);
}
