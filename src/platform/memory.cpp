#include "platform/memory.h"

#include <cstdint>
#include <cstdlib>

namespace tarnvel::platform {

namespace {
int failuresPending = 0;

bool overflows(size_t count, size_t size) { return size != 0 && count > SIZE_MAX / size; }
}  // namespace

void* reallocArray(void* old, size_t count, size_t size) {
    if (overflows(count, size) || allocationRefused()) return nullptr;
    return std::realloc(old, count * size);
}

void* zeroedArray(size_t count, size_t size) {
    if (overflows(count, size) || allocationRefused()) return nullptr;
    return std::calloc(count, size);
}

void release(void* p) { std::free(p); }

void failNextAllocations(int count) { failuresPending = count; }

bool allocationRefused() {
    if (failuresPending <= 0) return false;
    --failuresPending;
    return true;
}

}  // namespace tarnvel::platform
