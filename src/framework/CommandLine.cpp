#include "framework/CommandLine.h"

namespace {

bool IsBlank(char ch) {
    return ch == ' ' || ch == '\t';
}

} // namespace

std::vector<CString> SplitCommandLine(const char* commandLine) {
    std::vector<CString> args;
    if (!commandLine || !*commandLine)
        return args;
    const char* p = commandLine;

    // The program name.
    std::string name;
    bool inQuotes = false;
    for (; *p && (inQuotes || !IsBlank(*p)); ++p) {
        if (*p == '"')
            inQuotes = !inQuotes;
        else
            name += *p;
    }
    args.emplace_back(std::move(name));

    for (;;) {
        while (IsBlank(*p))
            ++p;
        if (!*p)
            break;
        std::string arg;
        inQuotes = false;
        while (*p && (inQuotes || !IsBlank(*p))) {
            if (*p == '\\') {
                size_t backslashes = 0;
                while (*p == '\\') {
                    ++backslashes;
                    ++p;
                }
                if (*p == '"') {
                    arg.append(backslashes / 2, '\\');
                    if (backslashes % 2) {
                        arg += '"';
                        ++p;
                    }
                    // An even count leaves the quote to act below.
                } else {
                    arg.append(backslashes, '\\');
                }
                continue;
            }
            if (*p == '"') {
                if (inQuotes && p[1] == '"') {
                    arg += '"'; // "" inside quotes: a literal quote, still quoted
                    p += 2;
                } else {
                    inQuotes = !inQuotes;
                    ++p;
                }
                continue;
            }
            arg += *p++;
        }
        args.emplace_back(std::move(arg));
    }
    return args;
}
