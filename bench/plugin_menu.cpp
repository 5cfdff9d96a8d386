// Benchmark: a plug-in menu of 20,000 entries in 500 sub-menus is loaded from
// the registry (every level sorted) and saved to "PlugIns.ini". Prints the
// times; not a test.
//   bench_plugin_menu [folder]   (default: the system's temporary folder)
// On Linux the registry is a scratch file in that folder; on Windows the
// entries go below HKEY_CURRENT_USER\Software\Brax\CorvaneBench and are
// removed again.
#include "plugins/PluginMenu.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace corvane;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSubMenus = 500;
constexpr int kEntriesPerSubMenu = 40;
const char kStore[] = "Software\\Brax\\CorvaneBench\\PlugIns";

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void SetString(HKEY key, const std::string& name, const std::string& data) {
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
}

// 500 sub-menus in 25 groups; 40 entries each, in reverse name order so that
// the sort has work to do, with a duplicate name in every sub-menu.
bool FillRegistry() {
    HKEY store = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, kStore, &store) != ERROR_SUCCESS)
        return false;
    SetString(store, "", "PlugIns");
    char name[128];
    char data[256];
    for (int m = 0; m < kSubMenus; ++m) {
        std::snprintf(name, sizeof name, "Group %02d\\Vendor %03d", m % 25, kSubMenus - m);
        HKEY menu = nullptr;
        if (RegCreateKeyA(store, name, &menu) != ERROR_SUCCESS)
            return false;
        for (int e = kEntriesPerSubMenu - 1; e >= 0; --e) {
            std::snprintf(name, sizeof name, "%s%d:Effect %02d", e == 1 ? "(2)" : "", e % 3,
                          e == 1 ? 0 : e);
            std::snprintf(data, sizeof data,
                          "C:\\Program Files\\VST\\Vendor %03d\\Effect %02d.dll:\\uid%d\\arch1"
                          "\\ver1.%d'1%d\\vnameVendor %03d",
                          m, e, 1000 * m + e, m, e, m);
            SetString(menu, name, data);
        }
        RegCloseKey(menu);
    }
    RegCloseKey(store);
    return true;
}

int CountEntries(const CPluginItem& item) {
    int count = 0;
    for (int i = 0; i < item.m_children.GetSize(); ++i) {
        const CPluginItem& child = *item.m_children.GetItem(i);
        count += child.HasChildren() ? CountEntries(child) : 1;
    }
    return count;
}

} // namespace

int main(int argc, char** argv) {
    std::filesystem::path folder =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
    std::filesystem::path registry = folder / "corvane-bench-HKCU.reg";
    std::filesystem::path output = folder / "corvane-bench-PlugIns.ini";
    std::filesystem::remove(registry);
    SetEnvironmentVariableA("CORVANE_REGISTRY", registry.string().c_str());
#ifndef _WIN32
    setenv("CORVANE_REGISTRY", registry.string().c_str(), 1);
#endif

    auto start = Clock::now();
    if (!FillRegistry()) {
        std::fprintf(stderr, "cannot write the registry\n");
        return 1;
    }
    double fill = MillisecondsSince(start);

    int entries = 0;
    double load = 0;
    double save = 0;
    bool saved = false;
    std::clock_t cpuStart = std::clock();
    {
        CPluginMenu menu;
        start = Clock::now();
        menu.Load(kStore, HKEY_CURRENT_USER);
        load = MillisecondsSince(start);
        entries = CountEntries(menu.m_root);

        start = Clock::now();
        menu.SetIniPath(output.string().c_str());
        saved = menu.Save(nullptr, HKEY_CURRENT_USER);
        save = MillisecondsSince(start);
    }
    // Processor time (on Linux; Windows counts wall time here): the figure
    // that does not depend on how busy the machine is.
    double cpu = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;

    CPluginMenu clear;
    clear.m_hRootKey = HKEY_CURRENT_USER;
    clear.m_strStore = "Software\\Brax\\CorvaneBench";
    start = Clock::now();
    clear.ClearStore();
    double remove = MillisecondsSince(start);

    std::printf("entries loaded:          %d in %d sub-menus\n", entries, kSubMenus);
    std::printf("fill registry:           %8.1f ms\n", fill);
    std::printf("load and sort:           %8.1f ms\n", load);
    std::printf("save PlugIns.ini:        %8.1f ms (%s, %llu bytes)\n", save,
                saved ? "written" : "FAILED",
                static_cast<unsigned long long>(saved ? std::filesystem::file_size(output) : 0));
    std::printf("load, sort and save:     %8.1f ms (processor time %.1f ms)\n", load + save, cpu);
    std::printf("clear registry tree:     %8.1f ms\n", remove);
    std::filesystem::remove(output);
    std::filesystem::remove(registry);
    return saved && entries == kSubMenus * kEntriesPerSubMenu ? 0 : 1;
}
