// Large regions straight from the operating system's virtual memory: the
// database cache and its bookkeeping arrays.
#pragma once

#include <cstddef>

namespace tarnvel::platform {

// Reserves and commits `bytes` of zeroed read/write memory. A request of 0
// bytes succeeds with a null region. Returns false when the memory cannot
// be had; *region is then null.
bool reserveMemory(size_t bytes, void** region);

// Gives back a region obtained from reserveMemory with the same size.
void releaseMemory(void* region, size_t bytes);

// Test seam: requests larger than `bytes` fail (SIZE_MAX lifts the limit).
void limitMemoryRequests(size_t bytes);

}  // namespace tarnvel::platform
