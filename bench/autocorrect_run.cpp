// Times the autocorrection steps of a run on a large settings file: 128
// program sections of 200 keys each and 1,000 bank names.
//   bench_autocorrect_run [folder]   (default: a fresh folder in the temp folder)
#include "app/CorvaneApp.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

using namespace corvane;

namespace {

constexpr int kPrograms = 128;
constexpr int kKeysPerProgram = 200;
constexpr int kBankNames = 1000;

std::string SettingsText(const std::string& dataPath) {
    std::string text = "[Settings]\r\nDataPath=" + dataPath + "\r\nProfile=Benchmark\r\n";
    for (int i = 0; i < kBankNames; ++i)
        text += "bank" + std::to_string(i) + "=Bank name " + std::to_string(i) + "\r\n";
    text += "MidiIn=In\r\nMidiOut=Out\r\nMidiThru=1\r\nMidiRemote=2\r\nMasterLevel=0.8\r\n";
    text += "[Load]\r\nVSTPluginsPath=C:\\Plugins\r\n";
    for (int p = 0; p < kPrograms; ++p) {
        text += "[Program " + std::to_string(p) + "]\r\n";
        for (int k = 0; k < kKeysPerProgram; ++k)
            text +=
                "Parameter" + std::to_string(k) + "=" + std::to_string(p * 1000 + k) + ".125\r\n";
    }
    text += "[HostCanDo sendVstEvents]\r\nanswer=1\r\n";
    return text;
}

} // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    fs::path folder =
        argc > 1
            ? fs::path(argv[1])
            : fs::temp_directory_path() /
                  ("corvane-bench-" + std::to_string(std::rand()) +
                   std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(folder);
    std::string dataPath = folder.string();
    std::string mainFile = (folder / "Corvane.ini").string();
    {
        std::ofstream out(mainFile, std::ios::binary | std::ios::trunc);
        out << SettingsText(dataPath);
    }

    theApp.m_pszRegistryKey = nullptr;
    theApp.m_pszProfileName = strdup(mainFile.c_str());
    theApp.m_strDataPath = dataPath.c_str();

    auto start = std::chrono::steady_clock::now();
    theApp.FetchBankNames();
    theApp.AutocorrectInternalBank();
    theApp.AutocorrectHostCanDos();
    theApp.AutocorrectPreBankLogic();
    theApp.AutocorrectMidi();
    theApp.AutocorrectJoystick();
    theApp.EndPrivateProfile();
    theApp.SetPrivateProfile(nullptr);
    auto stepsDone = std::chrono::steady_clock::now();
    // Everything on disk, as at the end of a run.
    for (const char* name : {"Corvane.ini", "#Intern.corvane", "hostCanDos.ini"})
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, (folder / name).string().c_str());
    auto saved = std::chrono::steady_clock::now();
    using Ms = std::chrono::duration<double, std::milli>;

    std::printf("autocorrect steps: %d program sections x %d keys, %d bank names: %.1f ms "
                "(steps %.1f ms, saving the files %.1f ms)\n",
                kPrograms, kKeysPerProgram, kBankNames, Ms(saved - start).count(),
                Ms(stepsDone - start).count(), Ms(saved - stepsDone).count());
    std::printf("moved file: %ju bytes; settings file left: %ju bytes\n",
                static_cast<uintmax_t>(fs::file_size(folder / "#Intern.corvane")),
                static_cast<uintmax_t>(fs::file_size(mainFile)));
    if (argc <= 1)
        fs::remove_all(folder);
    return 0;
}
