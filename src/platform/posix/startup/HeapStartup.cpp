// Linked into the Linux program only (not its tests): sets up the heap before
// anything large is allocated. A static library would leave this file out, as
// nothing calls it, so the build adds it to the program itself.
#include "platform/posix/HeapPages.h"

namespace {

// Address space only: what is resident is what the run touches.
const size_t kHeapReserve = size_t{1} << 30;

__attribute__((constructor)) void PrepareHeap() {
    posix::PlaceHeapOnHugePages(kHeapReserve);
}

} // namespace
