// The command line: splitting a Win32 command line into arguments, the run's own
// flags, and the quoting that builds a command line from arguments on Linux.
// Input: arguments separated by line feeds (each cut at a NUL), also taken
// whole as one command line.
// Properties:
// - any command line parses without harm; the application name is never empty
//   nor has blanks around it, the section prefix is one of the three known;
// - quoting arguments and splitting the line gives the same arguments back
//   (the program name without double quotes, which it cannot hold).
#include "FuzzSupport.h"

#include "app/CommandLine.h"
#include "app/CorvaneApp.h"
#include "framework/CommandLine.h"
#include "platform/posix/CommandLineQuoting.h"

#include <string>
#include <vector>

using namespace corvane;

namespace {

std::string Describe(const std::vector<std::string>& args) {
    std::string out;
    for (const std::string& arg : args)
        out += fuzz::Printable(arg) + " ";
    return out;
}

void CheckParse(std::string line) {
    theApp.m_lpCmdLine = line.data();
    CMyCommandLineInfo info;
    theApp.ParseCommandLine(info);
    theApp.m_lpCmdLine = nullptr;
    const std::string& name = info.m_strAppName.str();
    FUZZ_CHECK(!name.empty(), "empty application name from " + fuzz::Printable(line));
    CString trimmed(info.m_strAppName);
    trimmed.Trim();
    FUZZ_CHECK(trimmed == info.m_strAppName, "blanks around the application name " +
                                                 fuzz::Printable(name) + " from " +
                                                 fuzz::Printable(line));
    const CString& prefix = info.m_strSectionPrefix;
    FUZZ_CHECK(prefix.IsEmpty() || prefix == "Mirel" || prefix == "Halbrek",
               "section prefix " + fuzz::Printable(prefix.str()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckParse(std::string(input).c_str());

    std::vector<std::string> args;
    while (args.size() < 8) {
        fuzz::Split split = fuzz::SplitAt(input, "\n");
        args.emplace_back(std::string(split.head).c_str());
        if (split.tail.data() == nullptr || split.head.size() == input.size())
            break;
        input = split.tail;
    }
    std::string line = posix::QuoteCommandLine(args);
    std::vector<std::string> expected = args;
    std::erase(expected[0], '"');
    std::vector<std::string> got;
    for (const CString& arg : SplitCommandLine(line.c_str()))
        got.push_back(arg.str());
    FUZZ_CHECK(got == expected, "arguments " + Describe(expected) + "quoted as " +
                                    fuzz::Printable(line) + " split into " + Describe(got));
    CheckParse(line);
    return 0;
}
