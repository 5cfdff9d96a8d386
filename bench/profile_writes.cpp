// Times WritePrivateProfileStringA: 50,000 values (100 sections of 500 keys)
// written into one new file, then the flush request that saves it, then a
// conversion-like pass that reads every value back and deletes every section.
//
//   bench_profile_writes [folder]     (default: the system's temporary folder)
#include "platform/winapi.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Processor time of this process (on Linux; std::clock measures elapsed time
// on Windows), which a busy machine does not inflate as it does elapsed time.
double ProcessorSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

} // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path file = folder / ("profile-writes-" + std::to_string(stamp) + ".ini");
    std::string path = file.string();
    const int sections = 100;
    const int keys = 500;

    double cpuStart = ProcessorSeconds();
    auto start = std::chrono::steady_clock::now();
    for (int s = 0; s < sections; ++s) {
        std::string section = "Section" + std::to_string(s);
        for (int k = 0; k < keys; ++k) {
            std::string key = "Key" + std::to_string(k);
            std::string value = "value of " + section + "/" + key;
            if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                            path.c_str())) {
                std::fprintf(stderr, "write failed: error %u\n",
                             static_cast<unsigned>(GetLastError()));
                return 1;
            }
        }
    }
    double written = SecondsSince(start);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    double saved = SecondsSince(start);
    double savedCpu = ProcessorSeconds() - cpuStart;
    uintmax_t size = fs::file_size(file);

    double passCpuStart = ProcessorSeconds();
    auto pass = std::chrono::steady_clock::now();
    char buffer[16384];
    size_t bytes = 0;
    for (int s = 0; s < sections; ++s) {
        std::string section = "Section" + std::to_string(s);
        for (int k = 0; k < keys; ++k) {
            std::string key = "Key" + std::to_string(k);
            bytes += GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer,
                                              sizeof buffer, path.c_str());
        }
        WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, path.c_str());
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    double readBack = SecondsSince(pass);
    double readBackCpu = ProcessorSeconds() - passCpuStart;

    std::printf("%d writes into one file: %.3f s; with the save: %.3f s elapsed, %.3f s "
                "processor (%ju bytes)\n",
                sections * keys, written, saved, savedCpu, size);
    std::printf("%d reads and %d section deletions with the save: %.3f s elapsed, %.3f s "
                "processor (%zu bytes read)\n",
                sections * keys, sections, readBack, readBackCpu, bytes);
    fs::remove(file);
    return 0;
}
