// The heap of a large run on transparent huge pages.
#pragma once

#include <cstddef>

namespace posix {

// Grows glibc's main heap once by `reserve` bytes of address space, advises the
// kernel to back it with huge pages, and keeps glibc from giving heap memory
// back, which would shrink the advised area (a regrown heap is not advised).
// Blocks of up to 32 MiB then come from that area. Only touched memory is
// resident. False when the heap could not be grown (another allocator, a
// memory limit; then only the larger heap blocks differ) or the kernel has no
// huge pages.
bool PlaceHeapOnHugePages(size_t reserve);

} // namespace posix
