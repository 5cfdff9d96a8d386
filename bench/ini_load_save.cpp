// Benchmark: reading a 5 MB INI file into the model, looking values up, and
// saving it again. Prints the times; not a test.
//   bench_ini_load_save [folder]   (default: the system's temporary folder)
#include "ini/IniFile.h"

#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace corvane;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSections = 380;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Processor time of this process (on a busy machine wall time says little).
double CpuMillisecondsSince(std::clock_t start) {
    return 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

// About 5 MB: 380 sections of 200 keys each, with comments and blank lines,
// one section of 20000 keys, and CRLF line ends.
std::string MakeText() {
    std::string text = "; generated benchmark file\r\n";
    char line[160];
    for (int s = 0; s < kSections; ++s) {
        std::snprintf(line, sizeof line, "[Section %d]\r\n; comment of section %d\r\n", s, s);
        text += line;
        for (int k = 0; k < 200; ++k) {
            std::snprintf(line, sizeof line,
                          "Key%03d=C:\\Program Files\\Plug-ins\\Effect %d-%d.dll:attributes\r\n", k,
                          s, k);
            text += line;
        }
        text += "\r\n";
    }
    text += "[Big]\r\n";
    for (int k = 0; k < 20000; ++k) {
        std::snprintf(line, sizeof line, "Entry%05d=%d\r\n", k, k * 7);
        text += line;
    }
    return text;
}

} // namespace

int main(int argc, char** argv) {
    std::filesystem::path folder =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
    std::filesystem::path input = folder / "corvane-bench-input.ini";
    std::filesystem::path output = folder / "corvane-bench-output.ini";
    std::string text = MakeText();
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }

    auto start = Clock::now();
    std::clock_t cpuStart = std::clock();
    CIniFile file(input.string().c_str());
    double loadMs = MillisecondsSince(start);
    double loadCpuMs = CpuMillisecondsSince(cpuStart);
    file.m_bAutoReload = false;
    file.m_bAutoSave = false;

    start = Clock::now();
    int found = 0;
    char key[32];
    for (int s = 0; s < kSections; ++s) {
        std::snprintf(key, sizeof key, "section %d", s);
        for (int k = 0; k < 200; k += 10) {
            char name[16];
            std::snprintf(name, sizeof name, "KEY%03d", k);
            found += file.GetValue(key, name, nullptr, false).IsEmpty() ? 0 : 1;
        }
    }
    for (int k = 0; k < 20000; ++k) {
        std::snprintf(key, sizeof key, "entry%05d", k);
        found += file.GetValue("big", key, nullptr, false).IsEmpty() ? 0 : 1;
        file.SetValue("big", key, "changed", true);
    }
    double lookupMs = MillisecondsSince(start);

    start = Clock::now();
    cpuStart = std::clock();
    bool saved = file.Save(output.string().c_str());
    double saveMs = MillisecondsSince(start);
    double saveCpuMs = CpuMillisecondsSince(cpuStart);

    std::error_code ignored;
    std::uintmax_t size = std::filesystem::file_size(output, ignored);
    std::filesystem::remove(input, ignored);
    std::filesystem::remove(output, ignored);

    std::printf("input %.2f MB, %d sections\n", text.size() / 1e6,
                static_cast<int>(file.GetSize()));
    std::printf("load            %8.1f ms (processor %.1f ms)\n", loadMs, loadCpuMs);
    std::printf("%d lookups + 20000 sets %8.1f ms (%d found)\n", kSections * 20 + 20000, lookupMs,
                found);
    std::printf("save            %8.1f ms (processor %.1f ms; %s, %.2f MB)\n", saveMs, saveCpuMs,
                saved ? "ok" : "FAILED", size / 1e6);
    std::printf("load + save     %8.1f ms\n", loadMs + saveMs);
    return saved && found == kSections * 20 + 20000 ? 0 : 1;
}
