#include "platform/zeroed_region.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/memory.h"
#include "platform/vmem.h"

namespace tarnvel::platform {

ZeroedRegion ZeroedRegion::create(size_t bytes) {
    ZeroedRegion region;
    if (bytes == 0 || allocationRefused()) return region;
    region.bytes = bytes;
    // The record starts on a page of its own: reading it must not fault in
    // a page of the region.
    const size_t recordAt = region.chunks() << CHUNK_SHIFT;
    if (recordAt < bytes || recordAt > SIZE_MAX - region.chunks()) return ZeroedRegion{};
    void* p = mapZeroedPages(recordAt + region.chunks());
    if (!p) return ZeroedRegion{};
    region.base = static_cast<unsigned char*>(p);
    region.written = region.base + recordAt;
    region.mapped = recordAt + region.chunks();
    return region;
}

ZeroedRegion::~ZeroedRegion() { unmapPages(base, mapped); }

void ZeroedRegion::zero() {
    const size_t n = chunks();
    // Runs of written chunks are cleared with one memset each. Clearing
    // pages that are in memory is cheaper here than handing them back to
    // the system (madvise, decommit) and faulting them in again while the
    // next search runs.
    for (size_t i = 0; i < n;) {
        if (!written[i]) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < n && written[end]) ++end;
        const size_t from = i << CHUNK_SHIFT;
        const size_t to = std::min(bytes, end << CHUNK_SHIFT);
        std::memset(base + from, 0, to - from);
        std::memset(written + i, 0, end - i);
        i = end;
    }
}

size_t ZeroedRegion::writtenBytes() const {
    size_t total = 0;
    for (size_t i = 0; i < chunks(); ++i)
        if (written[i]) total += std::min(bytes, (i + 1) << CHUNK_SHIFT) - (i << CHUNK_SHIFT);
    return total;
}

void ZeroedRegion::swap(ZeroedRegion& other) noexcept {
    std::swap(base, other.base);
    std::swap(bytes, other.bytes);
    std::swap(written, other.written);
    std::swap(mapped, other.mapped);
}

}  // namespace tarnvel::platform
