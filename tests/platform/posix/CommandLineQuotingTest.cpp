// The command line made from the process arguments splits back into the same
// arguments by the rules the framework's parser uses.
#include "framework/CommandLine.h"
#include "platform/posix/CommandLineQuoting.h"
#include "platform/winapi.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> args;
    for (const CString& arg : SplitCommandLine(line.c_str()))
        args.push_back(arg.str());
    return args;
}

} // namespace

TEST(CommandLineQuoting, ArgumentsSurviveTheRoundTrip) {
    std::vector<std::vector<std::string>> cases = {
        {"/usr/bin/corvane-migrate"},
        {"/opt/my tools/corvane-migrate", "-app=Corvane"},
        {"prog", "/app=  Name With Blanks  ", "-keep"},
        {"prog", ""},
        {"prog", "", "x", ""},
        {"prog", "say \"hi\""},
        {"prog", "C:\\path\\"},
        {"prog", "C:\\path with blank\\"},
        {"prog", "a\\\\\"b"},
        {"prog", "\\\"", "\\\\", "\""},
        {"prog", "tab\there"},
        {"prog", "trailing\\\\"},
        {"prog", "\"\""},
        {"prog", "caf\xC3\xA9"},
        {"C:\\dir\\prog.exe", "C:\\dir\\"},
    };
    for (const auto& args : cases) {
        std::string line = posix::QuoteCommandLine(args);
        SCOPED_TRACE(line);
        EXPECT_EQ(args, Split(line));
    }
}

TEST(CommandLineQuoting, PlainArgumentsStayUnquoted) {
    EXPECT_EQ("prog -app=Corvane /keep C:\\a\\b",
              posix::QuoteCommandLine({"prog", "-app=Corvane", "/keep", "C:\\a\\b"}));
    EXPECT_EQ("\"/my dir/prog\" \"a b\" \"\"",
              posix::QuoteCommandLine({"/my dir/prog", "a b", ""}));
}

TEST(CommandLineQuoting, ProcessCommandLineMatchesItsArguments) {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> args;
    size_t pos = 0;
    while (pos < raw.size()) {
        size_t end = raw.find('\0', pos);
        args.push_back(raw.substr(pos, end - pos));
        pos = end + 1;
    }
    EXPECT_EQ(args, Split(GetCommandLineA()));
}
