// Heap allocation through one seam, so tests can make allocations fail.
#pragma once

#include <cstddef>

namespace tarnvel::platform {

// realloc of count × size bytes; null on overflow or failure (the old block
// then stays valid).
void* reallocArray(void* old, size_t count, size_t size);
// Zero-filled count × size bytes, or null.
void* zeroedArray(size_t count, size_t size);
void release(void* p);

// Test seam: the next `count` allocations through this file, or through
// an allocator that asks allocationRefused first, fail.
void failNextAllocations(int count);
// True when the seam refuses this allocation (and counts it).
bool allocationRefused();

}  // namespace tarnvel::platform
