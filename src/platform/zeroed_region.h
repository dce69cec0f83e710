// A large region of zeroed memory that can be zeroed again cheaply, for
// the engines' transposition tables, which every new game empties. Fresh
// pages from the operating system already read as zero, so a region that
// nobody wrote since it was made or last zeroed costs nothing to zero; the
// writer notes what it writes, in chunks, and zeroing clears only those
// chunks, never faulting in a page that was not written.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnvel::platform {

class ZeroedRegion {
public:
    // Chunks of 64 KiB: the record of a 1 GiB region (16 KiB) stays in the
    // first-level cache of a search's stores.
    static constexpr unsigned CHUNK_SHIFT = 16;

    ZeroedRegion() = default;
    ZeroedRegion(const ZeroedRegion&) = delete;
    ZeroedRegion& operator=(const ZeroedRegion&) = delete;
    ZeroedRegion(ZeroedRegion&& other) noexcept { swap(other); }
    ZeroedRegion& operator=(ZeroedRegion&& other) noexcept {
        swap(other);
        return *this;
    }
    ~ZeroedRegion();

    // A region of `bytes` zeroed bytes (0 gives an empty one). Returns an
    // empty region when memory is short or the test seam of
    // failNextAllocations (platform/memory.h) refuses it.
    static ZeroedRegion create(size_t bytes);

    void* data() const { return base; }
    size_t size() const { return bytes; }

    // Every write into the region must be noted, or zero() may miss it.
    void noteWrite(size_t offset) { written[offset >> CHUNK_SHIFT] = 1; }

    // Every byte zero again; touches only the chunks noted since the last
    // zeroing, and nothing at all when none was.
    void zero();

    // Bytes that the next zero() clears (tests and measurements).
    size_t writtenBytes() const;

private:
    void swap(ZeroedRegion& other) noexcept;
    size_t chunks() const { return (bytes + (size_t{1} << CHUNK_SHIFT) - 1) >> CHUNK_SHIFT; }

    unsigned char* base = nullptr;
    size_t bytes = 0;
    unsigned char* written = nullptr;  // one byte a chunk, 1 = noted since the last zero()
    size_t mapped = 0;                 // the region and its record, one mapping
};

}  // namespace tarnvel::platform
