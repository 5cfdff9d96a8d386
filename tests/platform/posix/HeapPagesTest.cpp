// The heap set-up of the Linux program, tried in a child process so that this
// test binary's own allocator stays as it is.
#include "platform/posix/HeapPages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The smaps entry of the mapping that holds `address`: its "VmFlags:" line and
// its resident size in KiB.
bool MappingOf(const void* address, std::string& flags, long& residentKb) {
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    auto where = reinterpret_cast<uintptr_t>(address);
    while (std::getline(smaps, line)) {
        unsigned long start = 0, end = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx ", &start, &end) == 2 &&
            line.find(':') > line.find(' ')) {
            if (inside)
                return true;
            inside = where >= start && where < end;
        } else if (inside && line.rfind("Rss:", 0) == 0) {
            residentKb = std::strtol(line.c_str() + 4, nullptr, 10);
        } else if (inside && line.rfind("VmFlags:", 0) == 0) {
            flags = line;
        }
    }
    return inside;
}

// The child's findings as an exit code.
enum Finding { kAdvised = 0, kNotGrown = 10, kNoMapping, kNotAdvised, kReserveResident };

int TryInChild(size_t reserve, size_t blockSize) {
    pid_t child = fork();
    if (child == 0) {
        if (!posix::PlaceHeapOnHugePages(reserve))
            _exit(kNotGrown);
        // A block below the largest heap block comes from the advised area.
        char* block = static_cast<char*>(std::malloc(blockSize));
        std::memset(block, 1, blockSize);
        std::string flags;
        long residentKb = -1;
        // Its first bytes may lie below the first whole huge page.
        if (!MappingOf(block + blockSize / 2, flags, residentKb))
            _exit(kNoMapping);
        if (flags.find(" hg") == std::string::npos)
            _exit(kNotAdvised);
        // Touched memory only: well below the reserve.
        if (residentKb < 0 || static_cast<size_t>(residentKb) * 1024 >= reserve / 2)
            _exit(kReserveResident);
        _exit(kAdvised);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#if defined(__SANITIZE_ADDRESS__)
const bool kOwnAllocator = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
const bool kOwnAllocator = true;
#else
const bool kOwnAllocator = false;
#endif
#else
const bool kOwnAllocator = false;
#endif

TEST(HeapPages, TheHeapGrowsOnceIntoAnAdvisedAreaOfWhichOnlyTheTouchedPartIsResident) {
    if (kOwnAllocator) // the sanitizer's malloc has no brk heap: the set-up says no
        GTEST_SKIP() << "the address sanitizer replaces glibc's allocator";
    if (!std::ifstream("/sys/kernel/mm/transparent_hugepage/enabled"))
        GTEST_SKIP() << "this kernel has no transparent huge pages";
    EXPECT_EQ(kAdvised, TryInChild(size_t{256} << 20, size_t{8} << 20));
    // Blocks up to 32 MiB come from the heap, not from mappings of their own.
    EXPECT_EQ(kAdvised, TryInChild(size_t{256} << 20, size_t{30} << 20));
}

} // namespace
