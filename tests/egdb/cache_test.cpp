// The block cache's LRU order against a model while a small cache evicts.
#include <algorithm>

#include "egdb/cache.h"
#include "egdb/limits.h"
#include "egdb_support.h"

namespace tarnvel::testing {
namespace {

// Newest first. Each slot links back to the one before it and its block is
// found through blockpointer.
std::vector<int32_t> lruOrder() {
    std::vector<int32_t> order;
    for (int32_t s = lruNewest(); s != -1 && order.size() <= static_cast<size_t>(cacheBlocks); s = lruEntry(s).next) {
        const LruEntry e = lruEntry(s);
        EXPECT_EQ(e.prev, order.empty() ? -1 : order.back());
        EXPECT_TRUE(e.blockOf == -1 || (blockpointer[e.blockOf] && slotOf(blockpointer[e.blockOf]) == s)) << s;
        order.push_back(s);
    }
    EXPECT_EQ(order.size(), static_cast<size_t>(cacheBlocks));
    EXPECT_EQ(order.back(), lruOldest());
    return order;
}

class Cache : public EgdbTest {};

TEST_F(Cache, EvictionFollowsTheLruRules) {
    // Kings only, mostly mixed results: over 100 blocks.
    std::vector<SliceResults> slices;
    for (const SliceKey& k : {SliceKey{0, 2, 0, 2, 0, 0, 0}, SliceKey{0, 3, 0, 1, 0, 0, 0}, SliceKey{0, 3, 0, 1, 0, 0, 1}})
        slices.push_back({k, patternedResults(sliceSize(k), 11u + static_cast<uint32_t>(slices.size()), 97)});
    const WriteReport r = writeDatabase(slices);
    ASSERT_TRUE(r.ok && r.blocks > 100) << r.error;
    std::vector<DbQuery> positions;
    for (int nbk : {2, 3}) forEachPosition(0, nbk, 0, 4 - nbk, [&](const DbQuery& q) { positions.push_back(q); });
    platform::limitMemoryRequests(64000);  // 2000 → … → 62 blocks
    ASSERT_EQ(open(), 4);
    ASSERT_EQ(cacheBlocks, 62);
    EXPECT_NE(out.find("\ndatabase cache reduced to 62 blocks"), std::string::npos);
    EXPECT_EQ(lruNewest(), 0);
    EXPECT_EQ(lruOldest(), 61);
    std::mt19937 rng(5);
    int seen[5] = {};  // hits on the newest, the oldest, another slot; misses; no looks
    for (int step = 0; step < 3000; ++step) {
        const DbQuery& q = positions[rng() % positions.size()];
        const std::vector<int32_t> before = lruOrder();
        std::vector<int32_t> blocks;
        for (int32_t s = 0; s < cacheBlocks; ++s) blocks.push_back(lruEntry(s).blockOf);
        const bool conditional = step % 3 == 0;
        const int32_t got = probeDatabase(&q, conditional);
        if (got == DB_NOLOOK) {  // nothing read, nothing reordered
            ASSERT_TRUE(conditional);
            ++seen[4];
            EXPECT_EQ(lruOrder(), before);
            continue;
        }
        const RefLocation loc = referenceLocation(q);
        const uint8_t expected = resultsOf(slices, loc.key)[loc.index];
        EXPECT_TRUE(got == expected || (expected == RESULT_ANY && got != DB_UNKNOWN));
        const int32_t s = lruNewest();
        const bool hit = lruEntry(s).blockOf == blocks[s];
        ++seen[hit ? (s == before.front() ? 0 : s == before.back() ? 1 : 2) : 3];
        if (!hit) {  // into the least recently used slot, its old block forgotten
            ASSERT_FALSE(conditional);
            EXPECT_EQ(s, before.back());
            EXPECT_TRUE(blocks[s] == -1 || blockpointer[blocks[s]] == nullptr);
        }
        std::vector<int32_t> model = before;
        std::erase(model, s);
        model.insert(model.begin(), s);
        ASSERT_EQ(lruOrder(), model);
    }
    for (int n : seen) EXPECT_GT(n, 0);
}

}  // namespace
}  // namespace tarnvel::testing
