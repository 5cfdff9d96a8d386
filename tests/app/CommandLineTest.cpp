// The command line of a run: application name, section prefix, keep flag, help.
#include "app/CommandLine.h"
#include "app/CorvaneApp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvane;

namespace {

struct ParsedLine {
    std::string appName;
    std::string prefix;
    bool removeSource;
    bool help;
};

// Feeds arguments the way the framework does: a leading '-' or '/' marks a
// flag and is not passed on.
ParsedLine Parse(const std::vector<std::string>& args) {
    CMyCommandLineInfo info;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool flag = !arg.empty() && (arg[0] == '-' || arg[0] == '/');
        info.ParseParam(flag ? arg.c_str() + 1 : arg.c_str(), flag, i + 1 == args.size());
    }
    return {info.m_strAppName.str(), info.m_strSectionPrefix.str(), info.m_bRemoveSource != 0,
            info.m_bShowHelp != 0};
}

struct Case {
    const char* what;
    std::vector<std::string> args;
    ParsedLine expected;
};

TEST(CommandLine, FlagsSetNamePrefixAndRemoval) {
    const Case cases[] = {
        {"no arguments", {}, {"Corvane", "", true, false}},
        {"app= with blanks around the name", {"/app=  My Host  "}, {"My Host", "", true, false}},
        {"app= in capitals keeps the typed case", {"-APP=corvaneX"}, {"corvaneX", "", true, false}},
        {"app= with nothing after it", {"/app="}, {"Corvane", "", true, false}},
        {"app= with only blanks", {"/app=   "}, {"Corvane", "", true, false}},
        {"a later app= wins", {"/app=One", "/app=Two"}, {"Two", "", true, false}},
        {"an empty app= keeps the earlier name", {"/app=One", "/app= "}, {"One", "", true, false}},
        {"appx is not a name", {"/appx=Other"}, {"Corvane", "", true, false}},
        {"too short for app=", {"/app"}, {"Corvane", "", true, false}},
        {"app= without a flag mark", {"app=Other"}, {"Corvane", "", true, false}},
        {"keep in any case", {"/KeEp"}, {"Corvane", "", false, false}},
        {"keep after a dash", {"-keep"}, {"Corvane", "", false, false}},
        {"keep as a plain argument", {"keep"}, {"Corvane", "", true, false}},
        {"keep is not undone", {"/keep", "/app=X"}, {"X", "", false, false}},
        {"keeps is not keep", {"/keeps"}, {"Corvane", "", true, false}},
        {"mirel", {"/MIREL"}, {"Corvane", "Mirel", true, false}},
        {"halbrek", {"-halbrek"}, {"Corvane", "Halbrek", true, false}},
        {"mirel then halbrek", {"/mirel", "/halbrek"}, {"Corvane", "Halbrek", true, false}},
        {"halbrek then mirel", {"/halbrek", "/mirel"}, {"Corvane", "Mirel", true, false}},
        {"mirel as a plain argument", {"mirel"}, {"Corvane", "", true, false}},
        {"all together", {"/app=Studio", "-keep", "/mirel"}, {"Studio", "Mirel", false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ParsedLine got = Parse(c.args);
        EXPECT_EQ(got.appName, c.expected.appName);
        EXPECT_EQ(got.prefix, c.expected.prefix);
        EXPECT_EQ(got.removeSource, c.expected.removeSource);
        EXPECT_EQ(got.help, c.expected.help);
    }
}

TEST(CommandLine, HelpFlagsAreRecognisedAnywhere) {
    const std::vector<std::string> asking[] = {
        {"/?"}, {"-?"}, {"-h"}, {"/H"}, {"--help"}, {"/help"}, {"/keep", "/?"}, {"-?", "/app=X"}};
    for (const auto& args : asking) {
        SCOPED_TRACE(args.front());
        EXPECT_TRUE(Parse(args).help);
    }
    const std::vector<std::string> notAsking[] = {{"?"}, {"h"}, {"--helper"}, {"/hh"}, {"help"}};
    for (const auto& args : notAsking) {
        SCOPED_TRACE(args.front());
        EXPECT_FALSE(Parse(args).help);
    }
}

// Feeds the arguments and tells whether they ask for a preview.
bool AsksForPreview(const std::vector<std::string>& args) {
    CMyCommandLineInfo info;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool flag = !arg.empty() && (arg[0] == '-' || arg[0] == '/');
        info.ParseParam(flag ? arg.c_str() + 1 : arg.c_str(), flag, i + 1 == args.size());
    }
    return info.m_bPreview != FALSE;
}

TEST(CommandLine, PreviewFlagsInAnySpelling) {
    const std::vector<std::string> asking[] = {{"/preview"}, {"-PREVIEW"},  {"-n"},
                                               {"/N"},       {"--dry-run"}, {"/keep", "--DRY-RUN"}};
    for (const auto& args : asking) {
        SCOPED_TRACE(args.back());
        EXPECT_TRUE(AsksForPreview(args));
    }
    const std::vector<std::string> notAsking[] = {{"preview"},   {"n"},   {"-dry-run"},
                                                  {"/previews"}, {"/nn"}, {"/keep"}};
    for (const auto& args : notAsking) {
        SCOPED_TRACE(args.front());
        EXPECT_FALSE(AsksForPreview(args));
    }
}

// Every argument is understood, or the first one that is not is named.
TEST(CommandLine, AnArgumentNotUnderstoodIsNamed) {
    const struct {
        std::vector<std::string> args;
        const char* error; // "" when the line is understood
    } cases[] = {
        {{}, ""},
        {{"/app=X", "-keep", "/MIREL", "/halbrek", "/datapath=d", "-registry=r.reg"}, ""},
        {{"--dry-run"}, ""},
        {{"-n", "/preview"}, ""},
        {{"/verbose", "/keep"}, "unknown flag \"verbose\""},
        {{"/keep", "/"}, "unknown flag \"\""},
        {{"my-export.reg"}, "unexpected argument \"my-export.reg\" (flags start with / or -)"},
        {{"keep"}, "unexpected argument \"keep\" (flags start with / or -)"},
        {{""}, "unexpected argument \"\" (flags start with / or -)"},
        {{"/x", "y"}, "unknown flag \"x\""},
        {{"/datapath="}, "/datapath= needs a folder"},
        {{"/datapath=  "}, "/datapath= needs a folder"},
        {{"/registry="}, "/registry= needs a file"},
        {{"/versions"}, "unknown flag \"versions\""},
        {{"/?", "/bogus"}, "unknown flag \"bogus\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        CMyCommandLineInfo info;
        for (size_t i = 0; i < c.args.size(); ++i) {
            const std::string& arg = c.args[i];
            bool flag = !arg.empty() && (arg[0] == '-' || arg[0] == '/');
            info.ParseParam(flag ? arg.c_str() + 1 : arg.c_str(), flag, i + 1 == c.args.size());
        }
        EXPECT_EQ(info.m_strError.str(), c.error);
    }
}

TEST(CommandLine, VersionDataFolderAndRegistryFile) {
    CMyCommandLineInfo info;
    const char* args[] = {"datapath= ~/corvane data ", "REGISTRY=/tmp/a.reg", "-version"};
    for (const char* arg : args)
        info.ParseParam(arg, TRUE, FALSE);
    EXPECT_EQ(info.m_strDataPath.str(), "~/corvane data");
    EXPECT_EQ(info.m_strRegistryFile.str(), "/tmp/a.reg");
    EXPECT_TRUE(info.m_bShowVersion);
    EXPECT_FALSE(info.m_bShowHelp);
    EXPECT_EQ(info.m_strError.str(), "");
}

// The help text lists every flag and every exit code.
TEST(CommandLine, TheUsageNamesEveryFlagAndExitCode) {
    std::string usage = UsageText();
    for (const char* flag : {"app=<name>", "mirel", "halbrek", "keep", "preview",
                             "datapath=<folder>", "registry=<file>", "version", "help"})
        EXPECT_NE(usage.find(flag), std::string::npos) << flag;
    for (int code = 0; code <= 6; ++code)
        EXPECT_NE(usage.find("\n  " + std::to_string(code) + "  "), std::string::npos) << code;
    std::string shortUsage = ShortUsageText();
    EXPECT_EQ(shortUsage.find('\n'), std::string::npos);
}

TEST(CommandLine, ParsedFromTheProcessCommandLineText) {
    struct Line {
        const char* text;
        ParsedLine expected;
    };
    const Line lines[] = {
        {"corvane-migrate.exe", {"Corvane", "", true, false}},
        {"corvane-migrate.exe \"/app= Blank Name \" /KEEP", {"Blank Name", "", false, false}},
        {"\"C:\\Program Files\\corvane-migrate.exe\" -Mirel keep",
         {"Corvane", "Mirel", true, false}},
        {"corvane-migrate.exe /halbrek /?", {"Corvane", "Halbrek", true, true}},
    };
    for (const Line& line : lines) {
        SCOPED_TRACE(line.text);
        // The one application object parses; a second one would replace it.
        std::string text = line.text;
        LPSTR saved = theApp.m_lpCmdLine;
        theApp.m_lpCmdLine = text.data();
        CMyCommandLineInfo info;
        theApp.ParseCommandLine(info);
        theApp.m_lpCmdLine = saved;
        EXPECT_EQ(info.m_strAppName.str(), line.expected.appName);
        EXPECT_EQ(info.m_strSectionPrefix.str(), line.expected.prefix);
        EXPECT_EQ(info.m_bRemoveSource != 0, line.expected.removeSource);
        EXPECT_EQ(info.m_bShowHelp != 0, line.expected.help);
    }
}

} // namespace
