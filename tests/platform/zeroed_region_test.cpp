// The re-zeroable region: zeroing clears every noted write and touches no
// page that was not written (the pages' residency, from mincore, shows it).
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <vector>

#include "platform/memory.h"
#include "platform/zeroed_region.h"

namespace tarnvel::platform {
namespace {

constexpr size_t CHUNK = size_t{1} << ZeroedRegion::CHUNK_SHIFT;

size_t residentPages(const ZeroedRegion& r) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> in((r.size() + page - 1) / page);
    if (mincore(r.data(), r.size(), in.data()) != 0) return SIZE_MAX;
    return static_cast<size_t>(std::count_if(in.begin(), in.end(), [](unsigned char c) { return c & 1; }));
}

TEST(ZeroedRegion, ZeroingClearsWhatWasWrittenAndTouchesNothingElse) {
    const size_t bytes = 5 * CHUNK + 100;  // the last chunk is partial
    ZeroedRegion region = ZeroedRegion::create(bytes);
    ASSERT_NE(region.data(), nullptr);
    auto* b = static_cast<unsigned char*>(region.data());
    region.zero();
    EXPECT_EQ(residentPages(region), 0u);  // untouched: nothing faulted in
    std::mt19937 rng(3);
    for (int round = 0; round < 20; ++round) {
        std::vector<size_t> chunks;
        for (int w = 0; w < round % 4 + 1; ++w) {
            const size_t at = round == 19 ? bytes - 1 : rng() % bytes;
            b[at] = static_cast<unsigned char>(1 + rng() % 255);
            region.noteWrite(at);
            chunks.push_back(at / CHUNK);
        }
        std::sort(chunks.begin(), chunks.end());
        chunks.erase(std::unique(chunks.begin(), chunks.end()), chunks.end());
        const bool last = chunks.back() == bytes / CHUNK;
        EXPECT_EQ(region.writtenBytes(), chunks.size() * CHUNK - (last ? CHUNK - 100 : 0));
        region.zero();
        EXPECT_EQ(region.writtenBytes(), 0u);
        ASSERT_TRUE(std::all_of(b, b + bytes, [](unsigned char c) { return c == 0; })) << round;
    }
    region = ZeroedRegion::create(bytes);  // the old one is released
    b = static_cast<unsigned char*>(region.data());
    b[CHUNK + 1] = 7;
    region.noteWrite(CHUNK + 1);
    region.zero();
    EXPECT_LE(residentPages(region) * static_cast<size_t>(sysconf(_SC_PAGESIZE)), CHUNK);
}

TEST(ZeroedRegion, EmptyAndRefused) {
    EXPECT_EQ(ZeroedRegion::create(0).data(), nullptr);
    failNextAllocations(1);
    EXPECT_EQ(ZeroedRegion::create(4096).data(), nullptr);
    const ZeroedRegion region = ZeroedRegion::create(4096);
    EXPECT_NE(region.data(), nullptr);
    EXPECT_EQ(region.size(), 4096u);
}

}  // namespace
}  // namespace tarnvel::platform
