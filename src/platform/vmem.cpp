#include "platform/vmem.h"

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace tarnvel::platform {

namespace {
size_t requestLimit = SIZE_MAX;
}

namespace {
constexpr size_t PAGE_BYTES = 4096;

void touchEveryPage(void* region, size_t bytes) {
    auto* p = static_cast<volatile unsigned char*>(region);
    for (size_t offset = 0; offset < bytes; offset += PAGE_BYTES) p[offset] = 0;
}
}  // namespace

bool reserveMemory(size_t bytes, void** region, MemoryUse use) {
    *region = nullptr;
    if (bytes == 0) return true;
    if (bytes > requestLimit) return false;
#ifdef _WIN32
    // Large pages need a privilege most users lack.
    *region = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN, PAGE_READWRITE);
    if (*region && use == MemoryUse::TABLE) touchEveryPage(*region, bytes);
    return *region != nullptr;
#else
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return false;
    if (use == MemoryUse::TABLE) {
#ifdef MADV_HUGEPAGE
        madvise(p, bytes, MADV_HUGEPAGE);
#endif
        touchEveryPage(p, bytes);
    }
    *region = p;
    return true;
#endif
}

void releaseMemory(void* region, size_t bytes) {
    if (region == nullptr) return;
#ifdef _WIN32
    VirtualFree(region, bytes, MEM_DECOMMIT);
    VirtualFree(region, 0, MEM_RELEASE);
#else
    munmap(region, bytes);
#endif
}

void limitMemoryRequests(size_t bytes) { requestLimit = bytes; }

}  // namespace tarnvel::platform
