// Large regions straight from the operating system's virtual memory: the
// database cache and its bookkeeping arrays.
#pragma once

#include <cstddef>

namespace tarnvel::platform {

// How a region will be used.
enum class MemoryUse {
    PLAIN,
    // Probed at random from the start: large pages where the system grants
    // them unprivileged (far fewer address-translation misses), every page
    // touched now, so that no search pays for the first touch.
    TABLE,
};

// Reserves and commits `bytes` of zeroed read/write memory. A request of 0
// bytes succeeds with a null region. Returns false when the memory cannot
// be had; *region is then null.
bool reserveMemory(size_t bytes, void** region, MemoryUse use = MemoryUse::PLAIN);

// Gives back a region obtained from reserveMemory with the same size.
void releaseMemory(void* region, size_t bytes);

// Test seam: requests larger than `bytes` fail (SIZE_MAX lifts the limit).
void limitMemoryRequests(size_t bytes);

// The same without the seam, for allocators that keep their own: `bytes`
// (not 0) of zeroed read/write pages, or null; and their release.
void* mapZeroedPages(size_t bytes);
void unmapPages(void* pages, size_t bytes);

}  // namespace tarnvel::platform
