// The block cache: LRU order against a model of the rules while the cache
// evicts, conditional probes, preload, reopening, and the memory fallback.
#include <algorithm>
#include <list>

#include "egdb/cache.h"
#include "egdb/limits.h"
#include "egdb/sliceindex.h"
#include "egdb/slicetable.h"
#include "egdb_support.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel::testing {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

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
    for (size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(lruEntry(order[i]).prev, i ? order[i - 1] : -1);
    int32_t mapped = 0;
    for (int32_t g = 0; g < maxBlocks; ++g)
        if (blockpointer[g]) {
            ++mapped;
            EXPECT_EQ(lruEntry(slotOf(blockpointer[g])).blockOf, g);
        }
    for (int32_t s = 0; s < cacheBlocks; ++s) mapped -= lruEntry(s).blockOf != -1;
    EXPECT_EQ(mapped, 0);
}

class Cache : public EgdbTest {
protected:
    // Kings only: 2K v 2K and 3K v K with mostly mixed results, about 120
    // blocks.
    void writeKingsDatabase() {
        for (const SliceKey& k : {SliceKey{0, 2, 0, 2, 0, 0, 0}, SliceKey{0, 3, 0, 1, 0, 0, 0},
                                  SliceKey{0, 3, 0, 1, 0, 0, 1}})
            slices.push_back({k, patternedResults(sliceSize(k), 11u + static_cast<uint32_t>(slices.size()), 97)});
        const WriteReport r = writeDatabase(slices);
        ASSERT_TRUE(r.ok) << r.error;
        ASSERT_GT(r.blocks, 100);
        for (int nbk : {2, 3})
            forEachPosition(0, nbk, 0, 4 - nbk, [&](const DbQuery& q) { positions.push_back(q); });
    }
    int32_t open(int32_t megabytes = 256) {
        CaptureStdout();
        const int32_t r = openDatabase(megabytes, text);
        out = GetCapturedStdout();
        return r;
    }
    uint8_t expected(const DbQuery& q) {
        const RefLocation loc = referenceLocation(q);
        for (const SliceResults& s : slices)
            if (s.key.nbk == loc.key.nbk && s.key.nwk == loc.key.nwk && s.key.side == loc.key.side)
                return s.results[loc.index];
        return 0;
    }
    std::vector<SliceResults> slices;
    std::vector<DbQuery> positions;
    char text[TARNVEL_TEXT_CAPACITY] = "";
    std::string out;
};

TEST_F(Cache, EvictionFollowsTheLruRules) {
    writeKingsDatabase();
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
        if (got == DB_NOLOOK) {
            ASSERT_TRUE(conditional);
            ++nolooks;
            EXPECT_EQ(lruOrder(), before);
            for (int32_t s = 0; s < cacheBlocks; ++s) EXPECT_EQ(lruEntry(s).blockOf, blocks[s]);
            continue;
        }
        const uint8_t want = expected(q);
        if (want != RESULT_ANY) {
            ASSERT_EQ(got, want);
        }
        const int32_t s = lruNewest();
        const bool wasCached = std::find(blocks.begin(), blocks.end(), lruEntry(s).blockOf) != blocks.end();
        if (wasCached) {
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
    EXPECT_GT(newestHits, 0);
    EXPECT_GT(oldestHits, 0);
    EXPECT_GT(otherHits, 0);
    EXPECT_GT(misses, 0);
    EXPECT_GT(nolooks, 0);
}

TEST_F(Cache, SmallDatabaseIsPreloadedWholeAndReopensTheSame) {
    writeKingsDatabase();
    ASSERT_EQ(open(), 4);
    EXPECT_EQ(cacheBlocks, 2000);
    const int32_t blocks = static_cast<int32_t>(std::filesystem::file_size("db/db4.cpr") / BLOCK_SIZE);
    for (int32_t g = 0; g < maxBlocks; ++g) EXPECT_EQ(blockpointer[g] != nullptr, g < blocks) << g;
    EXPECT_STREQ(text, "preload block 0 in db/db4.cpr");
    EXPECT_EQ(out, "preloading 2-piece db\npreloading 3-piece db\npreloading 4-piece db\n");
    expectConsistent();
    const std::vector<int32_t> order = lruOrder();
    EXPECT_EQ(order.front(), 0);
    EXPECT_EQ(order[blocks], blocks);  // then the empty slots, the highest reused first
    EXPECT_EQ(lruOldest(), 1999);

    std::vector<SliceRecord> first;
    std::vector<std::vector<uint32_t>> firstIdx;
    const SliceRecord* table = &SliceTable[0][0][0][0][0][0][0];
    const size_t records = sizeof(SliceTable) / sizeof(SliceRecord);
    for (size_t i = 0; i < records; ++i) {
        first.push_back(table[i]);
        firstIdx.emplace_back(table[i].idx, table[i].idx + table[i].blockCount);
    }
    const std::string details = DatabaseDetails;
    std::vector<uint8_t> preloaded(blockpointer[0], blockpointer[0] + BLOCK_SIZE);

    closeDatabase();
    EXPECT_STREQ(DatabaseDetails, "");
    ASSERT_EQ(open(), 4);
    EXPECT_EQ(DatabaseDetails, details);
    for (size_t i = 0; i < records; ++i) {
        const SliceRecord& a = first[i];
        const SliceRecord& b = table[i];
        ASSERT_EQ(std::tie(a.present, a.blockCount, a.blockOffset, a.firstBlock, a.startByte, a.singleValue, a.fileSlot),
                  std::tie(b.present, b.blockCount, b.blockOffset, b.firstBlock, b.startByte, b.singleValue, b.fileSlot));
        ASSERT_EQ(firstIdx[i], std::vector<uint32_t>(b.idx, b.idx + b.blockCount));
    }
    EXPECT_EQ(std::vector<uint8_t>(blockpointer[0], blockpointer[0] + BLOCK_SIZE), preloaded);
}

TEST_F(Cache, NoMemoryOpensNoDatabase) {
    writeKingsDatabase();
    platform::limitMemoryRequests(0);
    EXPECT_EQ(open(), 0);
    EXPECT_EQ(cacheBlocks, 0);
    EXPECT_STREQ(text, "no memory for the database cache: database not opened");
    EXPECT_STREQ(DatabaseDetails, "");
    EXPECT_EQ(probeDatabase(&positions[0], 0), DB_UNKNOWN);
    platform::limitMemoryRequests(SIZE_MAX);
    EXPECT_EQ(open(), 4);
    EXPECT_EQ(cacheBlocks, 2000);
}

TEST_F(Cache, RequestedSizeCountsForSevenPiecesOnly) {
    for (const char* name : {"db/db2.idx", "db/db3.idx", "db/db4.idx", "db/db5.idx", "db/db6.idx"})
        writeText(name, "");
    ASSERT_EQ(open(16), 6);
    EXPECT_EQ(cacheBlocks, 42000);
    writeText("db/db7.idx", "");
    EXPECT_EQ(open(16), 7);
    EXPECT_EQ(cacheBlocks, 65536);
    EXPECT_EQ(open(300), 7);
    EXPECT_EQ(cacheBlocks, 307200);
    EXPECT_EQ(open(-5), 7);
    EXPECT_EQ(cacheBlocks, 65536);
    // Far beyond what 32 bits of blocks hold: clamped, then halved to fit.
    platform::limitMemoryRequests(size_t{1} << 27);
    EXPECT_EQ(open(INT32_MAX), 7);
    EXPECT_EQ(cacheBlocks, 131071);
}

}  // namespace
}  // namespace tarnvel::testing
