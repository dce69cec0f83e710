#include "v13/search/tt.h"

#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "platform/memory.h"

namespace tarnvel {

TTEntry* ttEntries = nullptr;
uint32_t ttMegabytes = 0;
uint32_t ttIndexMask = 0;

bool ttAllocate(uint32_t megabytes) {
    if (megabytes == ttMegabytes && ttEntries) return true;
    const uint64_t entries = uint64_t{megabytes} * TT_ENTRIES_PER_MEGABYTE;
    if (std::popcount(entries) != 1) {
        std::fprintf(stderr, "no power of two entries %" PRIu64 "\n", entries);
        return false;
    }
    // The old table stays until the new one exists, so a failed resize
    // leaves the engine with a working table.
    auto* fresh = static_cast<TTEntry*>(platform::zeroedArray(entries, sizeof(TTEntry)));
    if (!fresh) {
        std::fprintf(stderr, "out of memory\n");
        return false;
    }
    platform::release(ttEntries);
    ttEntries = fresh;
    ttMegabytes = megabytes;
    // Only the low 32 key bits pick the slot, so larger tables are simply
    // not fully used.
    ttIndexMask = static_cast<uint32_t>(entries - 1);
    return true;
}

void ttClear() {
    if (ttEntries)
        std::memset(ttEntries, 0, size_t{ttMegabytes} * TT_ENTRIES_PER_MEGABYTE * sizeof(TTEntry));
}

uint32_t ttRoundMegabytes(uint32_t requested) {
    uint32_t size = TT_MAX_MEGABYTES;
    while (size > requested) size /= 2;
    return size;
}

}  // namespace tarnvel
