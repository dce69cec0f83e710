// The block cache's LRU order against a model while a small cache evicts.
#include <algorithm>
#include <list>

#include "egdb/cache.h"
#include "egdb/limits.h"
#include "egdb_support.h"

namespace tarnvel::testing {
namespace {

std::vector<int32_t> lruOrder() {
    std::vector<int32_t> order;
    for (int32_t s = lruNewest(); s != -1 && order.size() <= static_cast<size_t>(cacheBlocks); s = lruEntry(s).next)
        order.push_back(s);
    return order;
}

// Links both ways, covers every slot once, and agrees with blockpointer.
void expectConsistent() {
    const std::vector<int32_t> order = lruOrder();
    ASSERT_EQ(order.size(), static_cast<size_t>(cacheBlocks));
    EXPECT_EQ(order.back(), lruOldest());
    for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(lruEntry(order[i]).prev, i ? order[i - 1] : -1);
    int32_t mapped = 0;
    for (int32_t g = 0; g < maxBlocks; ++g)
        if (blockpointer[g]) {
            ++mapped;
            EXPECT_EQ(lruEntry(slotOf(blockpointer[g])).blockOf, g);
        }
    EXPECT_EQ(mapped, std::count_if(order.begin(), order.end(), [](int32_t s) { return lruEntry(s).blockOf != -1; }));
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
    expectConsistent();
    EXPECT_EQ(lruNewest(), 0);
    EXPECT_EQ(lruOldest(), 61);
    std::mt19937 rng(5);
    int newestHits = 0, oldestHits = 0, otherHits = 0, misses = 0, nolooks = 0;
    for (int step = 0; step < 3000; ++step) {
        const DbQuery& q = positions[rng() % positions.size()];
        const std::vector<int32_t> before = lruOrder();
        std::vector<int32_t> blocks;
        for (int32_t s = 0; s < cacheBlocks; ++s) blocks.push_back(lruEntry(s).blockOf);
        const bool conditional = step % 3 == 0;
        const int32_t got = probeDatabase(&q, conditional);
        if (got == DB_NOLOOK) {  // nothing read, nothing reordered
            ASSERT_TRUE(conditional);
            ++nolooks;
            EXPECT_EQ(lruOrder(), before);
            continue;
        }
        const RefLocation loc = referenceLocation(q);
        const uint8_t expected = resultsOf(slices, loc.key)[loc.index];
        EXPECT_TRUE(got == expected || (expected == RESULT_ANY && got != DB_UNKNOWN));
        const int32_t s = lruNewest();
        if (std::find(blocks.begin(), blocks.end(), lruEntry(s).blockOf) != blocks.end()) {
            (s == before.front() ? newestHits : s == before.back() ? oldestHits : otherHits)++;
        } else {
            ++misses;
            ASSERT_FALSE(conditional);
            EXPECT_EQ(s, before.back());  // the least recently used slot
            EXPECT_TRUE(blocks[s] == -1 || blockpointer[blocks[s]] == nullptr);
        }
        std::list<int32_t> model(before.begin(), before.end());
        model.remove(s);
        model.push_front(s);
        ASSERT_EQ(lruOrder(), std::vector<int32_t>(model.begin(), model.end()));
    }
    expectConsistent();
    for (int n : {newestHits, oldestHits, otherHits, misses, nolooks}) EXPECT_GT(n, 0);
}

}  // namespace
}  // namespace tarnvel::testing
