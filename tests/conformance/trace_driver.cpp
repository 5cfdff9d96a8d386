// The conformance driver: replays platform calls and prints what they did, one
// line per call, so that the output of the native build and of the Windows build
// under Wine can be compared line by line (compare.py).
//
//   trace_driver --folder DIR [--key TEXT] --seed N [--seeds K] --calls M [--emit-script]
//   trace_driver --folder DIR [--key TEXT] --script FILE
//
// DIR is an empty scratch folder for the profile files; the registry calls work
// below HKEY_CURRENT_USER\Software\CorvaneConformance<TEXT>, deleted at the start
// and at the end. With --seeds K the seeds N..N+K-1 run one after the other in this one
// process, each from a clean start. --emit-script prints the calls instead of
// running them; such a script (or any hand-written one) replays with --script.
#include "TraceFormat.h"
#include "TraceGenerator.h"
#include "TraceRunner.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

void Print(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

int Usage() {
    std::fprintf(stderr, "usage: trace_driver --folder DIR [--key TEXT] (--seed N [--seeds K] "
                         "--calls M [--emit-script] | --script FILE)\n");
    return 2;
}

// Runs the calls from a clean start; 0, or 3 when a call was not understood.
int RunCalls(trace::Runner& runner, const std::vector<trace::Call>& calls) {
    runner.Reset();
    int status = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
        std::string line;
        if (!runner.Run(calls[i], line)) {
            std::fprintf(stderr, "call %zu: %s\n", i + 1, line.c_str());
            status = 3;
        }
        Print(std::to_string(i + 1) + " " + line);
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::string folder, script, keySuffix;
    unsigned long long seed = 0, seeds = 1, calls = 0;
    bool haveSeed = false, emit = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* text = nullptr;
        if (arg == "--emit-script") {
            emit = true;
        } else if (arg == "--folder" && (text = value())) {
            folder = text;
        } else if (arg == "--key" && (text = value())) {
            keySuffix = text;
        } else if (arg == "--script" && (text = value())) {
            script = text;
        } else if (arg == "--seed" && (text = value())) {
            seed = std::strtoull(text, nullptr, 10);
            haveSeed = true;
        } else if (arg == "--seeds" && (text = value())) {
            seeds = std::strtoull(text, nullptr, 10);
        } else if (arg == "--calls" && (text = value())) {
            calls = std::strtoull(text, nullptr, 10);
        } else {
            return Usage();
        }
    }
    if (haveSeed == !script.empty())
        return Usage();
    if (emit) {
        for (unsigned long long n = seed; n < seed + seeds; ++n) {
            if (seeds > 1)
                Print("# seed " + std::to_string(n));
            for (const trace::Call& call : trace::GenerateCalls(n, calls))
                Print(trace::FormatCall(call));
        }
        return 0;
    }
    if (folder.empty())
        return Usage();

    trace::Runner runner(folder, trace::kRegistryRoot + keySuffix);
    int status = 0;
    if (!script.empty()) {
        std::ifstream in(script, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", script.c_str());
            return 2;
        }
        std::vector<trace::Call> parsed;
        std::string line, error;
        for (int number = 1; std::getline(in, line); ++number) {
            trace::Call call;
            if (!trace::ParseCall(line, call, error)) {
                std::fprintf(stderr, "%s:%d: %s\n", script.c_str(), number, error.c_str());
                return 2;
            }
            if (!call.op.empty())
                parsed.push_back(std::move(call));
        }
        status = RunCalls(runner, parsed);
    } else {
        for (unsigned long long n = seed; n < seed + seeds; ++n) {
            Print("== seed " + std::to_string(n));
            int result = RunCalls(runner, trace::GenerateCalls(n, calls));
            if (result != 0)
                status = result;
        }
    }
    runner.Finish();
    std::fflush(stdout);
    return status;
}
