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

void* mapZeroedPages(size_t bytes) {
#ifdef _WIN32
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN, PAGE_READWRITE);
#else
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
#endif
}

void unmapPages(void* pages, size_t bytes) {
    if (pages == nullptr) return;
#ifdef _WIN32
    VirtualFree(pages, bytes, MEM_DECOMMIT);
    VirtualFree(pages, 0, MEM_RELEASE);
#else
    munmap(pages, bytes);
#endif
}

bool reserveMemory(size_t bytes, void** region, MemoryUse use) {
    *region = nullptr;
    if (bytes == 0) return true;
    if (bytes > requestLimit) return false;
    *region = mapZeroedPages(bytes);
    if (*region == nullptr) return false;
    if (use == MemoryUse::TABLE) {
        // Large pages need a privilege most Windows users lack.
#if !defined(_WIN32) && defined(MADV_HUGEPAGE)
        madvise(*region, bytes, MADV_HUGEPAGE);
#endif
        touchEveryPage(*region, bytes);
    }
    return true;
}

void releaseMemory(void* region, size_t bytes) { unmapPages(region, bytes); }

void limitMemoryRequests(size_t bytes) { requestLimit = bytes; }

}  // namespace tarnvel::platform
