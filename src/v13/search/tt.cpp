#include "v13/search/tt.h"

#include <bit>
#include <cinttypes>
#include <cstdio>
#include <utility>

namespace tarnvel {

namespace {
// Constant-initialized, since the library's load hook allocates the table
// before dynamic initializers run, and never destroyed, since a host
// thread may still be searching while the process exits.
union Holder {
    constexpr Holder() : region() {}
    ~Holder() {}
    platform::ZeroedRegion region;
};
constinit Holder holder;
}  // namespace

platform::ZeroedRegion& ttRegion = holder.region;
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
    platform::ZeroedRegion fresh = platform::ZeroedRegion::create(entries * sizeof(TTEntry));
    if (!fresh.data()) {
        std::fprintf(stderr, "out of memory\n");
        return false;
    }
    ttRegion = std::move(fresh);  // the old table goes with `fresh`
    ttEntries = static_cast<TTEntry*>(ttRegion.data());
    ttMegabytes = megabytes;
    // Only the low 32 key bits pick the slot, so larger tables are simply
    // not fully used.
    ttIndexMask = static_cast<uint32_t>(entries - 1);
    return true;
}

void ttClear() { ttRegion.zero(); }

uint32_t ttRoundMegabytes(uint32_t requested) {
    uint32_t size = TT_MAX_MEGABYTES;
    while (size > requested) size /= 2;
    return size;
}

}  // namespace tarnvel
