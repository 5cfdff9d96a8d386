// A run converting a large registry fills a few hundred MiB of fresh heap, and
// each 4 KiB page touched for the first time costs a page fault: on virtual
// machines whose faults are expensive, a third of the whole run. In 2 MiB pages
// there are about 500 times fewer. glibc grows its main heap with brk() and
// advises it only when told by a tunable at start, so this does it by hand.
#include "platform/posix/HeapPages.h"

#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace posix {

namespace {

const size_t kHugePage = size_t{2} << 20;
const int kLargestHeapBlock = 32 << 20; // glibc's largest mmap threshold
const int kDefaultTopPad = 128 << 10;   // glibc's own
const int kDefaultTrimThreshold = 128 << 10;

} // namespace

bool PlaceHeapOnHugePages(size_t reserve) {
#ifdef __GLIBC__
    if (reserve > static_cast<size_t>(INT32_MAX))
        reserve = INT32_MAX;
    // Blocks below the threshold come from the heap (the one below too), and
    // the heap is not trimmed: neither now, which would give back the
    // reserve, nor later, which would shrink the advised area.
    mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
    mallopt(M_TRIM_THRESHOLD, INT32_MAX);
    mallopt(M_TOP_PAD, static_cast<int>(reserve));
    char* before = static_cast<char*>(sbrk(0));
    // A block larger than any free space makes malloc grow the heap by it and
    // the pad; volatile, so that the compiler keeps the pair.
    void* volatile block = malloc(4 << 20);
    free(block);
    char* after = static_cast<char*>(sbrk(0));
    mallopt(M_TOP_PAD, kDefaultTopPad);
    if (before == reinterpret_cast<char*>(-1) || after <= before ||
        static_cast<size_t>(after - before) < reserve) {
        mallopt(M_TRIM_THRESHOLD, kDefaultTrimThreshold);
        return false;
    }
    uintptr_t start = (reinterpret_cast<uintptr_t>(before) + kHugePage - 1) & ~(kHugePage - 1);
    uintptr_t end = reinterpret_cast<uintptr_t>(after) & ~(kHugePage - 1);
    return end > start && madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE) == 0;
#else
    (void)reserve;
    return false;
#endif
}

} // namespace posix
