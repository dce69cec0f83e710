// The block cache: LRU order against a model of the rules while the cache
// evicts, preloading and reopening, and the cache's size.
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
    for (int32_t s = 0; s < cacheBlocks; ++s) mapped -= lruEntry(s).blockOf != -1;
    EXPECT_EQ(mapped, 0);
}

// Kings only: 2K v 2K and 3K v K with mostly mixed results, over 100 blocks.
class Cache : public EgdbTest {
protected:
    void SetUp() override {
        EgdbTest::SetUp();
        for (const SliceKey& k : {SliceKey{0, 2, 0, 2, 0, 0, 0}, SliceKey{0, 3, 0, 1, 0, 0, 0},
                                  SliceKey{0, 3, 0, 1, 0, 0, 1}})
            slices.push_back({k, patternedResults(sliceSize(k), 11u + static_cast<uint32_t>(slices.size()), 97)});
        const WriteReport r = writeDatabase(slices);
        ASSERT_TRUE(r.ok) << r.error;
        ASSERT_GT(r.blocks, 100);
        for (int nbk : {2, 3}) forEachPosition(0, nbk, 0, 4 - nbk, [&](const DbQuery& q) { positions.push_back(q); });
    }
    uint8_t expected(const DbQuery& q) {
        const RefLocation loc = referenceLocation(q);
        for (const SliceResults& s : slices)
            if (s.key.nbk == loc.key.nbk && s.key.side == loc.key.side) return s.results[loc.index];
        return 0;
    }
    std::vector<SliceResults> slices;
    std::vector<DbQuery> positions;
};

TEST_F(Cache, EvictionFollowsTheLruRules) {
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
        std::vector<int32_t> blocks(cacheBlocks);
        for (int32_t s = 0; s < cacheBlocks; ++s) blocks[s] = lruEntry(s).blockOf;
        const bool conditional = step % 3 == 0;
        const int32_t got = probeDatabase(&q, conditional);
        if (got == DB_NOLOOK) {  // nothing read, nothing reordered
            ASSERT_TRUE(conditional);
            ++nolooks;
            EXPECT_EQ(lruOrder(), before);
            for (int32_t s = 0; s < cacheBlocks; ++s) EXPECT_EQ(lruEntry(s).blockOf, blocks[s]);
            continue;
        }
        if (expected(q) != RESULT_ANY) {
            ASSERT_EQ(got, expected(q));
        }
        const int32_t s = lruNewest();
        if (std::find(blocks.begin(), blocks.end(), lruEntry(s).blockOf) != blocks.end()) {
            (s == before.front() ? newestHits : s == before.back() ? oldestHits : otherHits)++;
        } else {
            ++misses;
            ASSERT_FALSE(conditional);
            EXPECT_EQ(s, before.back());  // the least recently used slot
            if (blocks[s] != -1) {
                EXPECT_EQ(blockpointer[blocks[s]], nullptr);
            }
        }
        std::list<int32_t> model(before.begin(), before.end());
        model.remove(s);
        model.push_front(s);
        ASSERT_EQ(lruOrder(), std::vector<int32_t>(model.begin(), model.end()));
    }
    expectConsistent();
    for (int n : {newestHits, oldestHits, otherHits, misses, nolooks}) EXPECT_GT(n, 0);
}

TEST_F(Cache, SmallDatabaseIsPreloadedWholeAndReopensTheSame) {
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(open(), 4);
        EXPECT_EQ(cacheBlocks, 2000);
        const auto blocks = static_cast<int32_t>(std::filesystem::file_size("db/db4.cpr") / BLOCK_SIZE);
        for (int32_t g = 0; g < maxBlocks; ++g) EXPECT_EQ(blockpointer[g] != nullptr, g < blocks) << g;
        EXPECT_STREQ(text, "preload block 0 in db/db4.cpr");
        EXPECT_EQ(out, "preloading 2-piece db\npreloading 3-piece db\npreloading 4-piece db\n");
        EXPECT_STREQ(DatabaseDetails, "db/db2.idx\ndb/db3.idx\ndb/db4.idx\n");
        expectConsistent();
        EXPECT_EQ(lruOrder()[blocks], blocks);  // then the empty slots, the highest reused first
        EXPECT_EQ(lruOldest(), 1999);
        for (size_t i = 0; i < positions.size(); i += 7) {
            const int32_t got = probeDatabase(&positions[i], 1);  // all cached: never nolook
            EXPECT_TRUE(got == expected(positions[i]) || (expected(positions[i]) == RESULT_ANY && got < DB_NOLOOK));
        }
        closeDatabase();
        EXPECT_STREQ(DatabaseDetails, "");
    }
}

// The requested size counts for seven pieces and more only; without
// memory no database opens, and a later opening with memory works.
TEST_F(Cache, SizeOfTheCache) {
    const struct {
        const char* extraIndex;
        int32_t megabytes;
        size_t memory;
        int32_t pieces, blocks;
    } cases[] = {
        {nullptr, 16, 0, 0, 0},           {nullptr, 16, SIZE_MAX, 4, 2000},  {"db/db5.idx", 16, SIZE_MAX, 5, 2000},
        {"db/db6.idx", 16, SIZE_MAX, 6, 42000}, {"db/db7.idx", 16, SIZE_MAX, 7, 65536},
        {nullptr, 300, SIZE_MAX, 7, 307200}, {nullptr, -5, SIZE_MAX, 7, 65536},
        {nullptr, INT32_MAX, size_t{1} << 27, 7, 131071},  // clamped, then halved to fit
    };
    for (const auto& c : cases) {
        if (c.extraIndex) writeText(c.extraIndex, "");
        platform::limitMemoryRequests(c.memory);
        EXPECT_EQ(open(c.megabytes), c.pieces) << c.megabytes;
        EXPECT_EQ(cacheBlocks, c.blocks) << c.megabytes;
        if (c.memory == 0) {
            EXPECT_STREQ(text, "no memory for the database cache: database not opened");
            EXPECT_EQ(probeDatabase(&positions[0], 0), DB_UNKNOWN);
        }
    }
}

}  // namespace
}  // namespace tarnvel::testing
