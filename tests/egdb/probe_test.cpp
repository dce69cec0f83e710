// The block decoder on hand-made blocks (every kind of code byte, guards
// against unusual inputs) and the cache's LRU order against a model.
#include <algorithm>

#include "egdb/cache.h"
#include "egdb/limits.h"
#include "egdb_support.h"

namespace tarnvel::testing {
namespace {

const SliceKey KK{0, 1, 0, 1, 0, 0, 0};    // 992 positions
const SliceKey KKK{0, 2, 0, 1, 0, 0, 0};   // 14880
const SliceKey KM{0, 1, 1, 0, 0, 0, 0};    // king against a man on White's back row: 124

int32_t probeAt(const SliceKey& key, uint32_t index, int32_t conditional = 0) {
    DbQuery q{};
    EXPECT_TRUE(positionAtIndex(key, index, &q)) << index;
    return probeDatabase(&q, conditional);
}

// A block holding the codes from byte `start` on.
std::string block(const std::string& codes, size_t start = 0) {
    return std::string(start, '\0') + codes + std::string(BLOCK_SIZE - start - codes.size(), '\0');
}

class ProbeEdges : public EgdbTest {
protected:
    void database(const std::string& db2, const std::string& cpr2, const std::string& db3 = "", const std::string& db4 = "") {
        writeText("db/db2.idx", db2);
        writeText("db/db2.cpr", cpr2);
        writeText("db/db3.idx", db3);
        writeText("db/db4.idx", db4);
        ASSERT_EQ(open(), 4);
    }
};

TEST_F(ProbeEdges, EveryKindOfCodeByte) {
    // KK: 80 (four draws), 0 (four wins), 5 (digits 2,1,0,0), 81 (5 wins),
    // 139 (5 losses), 255 (5 of result 4), 254 (10000 draws); then, from
    // byte 1000 of a second KK block, one-block KM decodes forward: wins.
    // KKK: 138 (10000 wins), then 254.
    writeText("db/db3.cpr", block("\x8a\xfe"));
    database("BASE0,1,0,1,0,0,b:0/0\nBASE0,1,1,0,0,0,b:1/1000\n",
             block(std::string("\x50\x00\x05\x51\x8b\xff\xfe", 7)) + block(std::string(10, '\x50'), 990),
             "BASE0,2,0,1,0,0,b:0/0\n");
    const int32_t expected[] = {3, 3, 3, 3, 1, 1, 1, 1, 3, 2, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 4, 4, 4, 4, 4, 3, 3, 3};
    for (uint32_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(probeAt(KK, i), expected[i]) << i;
    for (const auto& [key, index, result] : {std::tuple{KK, 991u, DB_DRAW}, {KKK, 0u, DB_WIN}, {KKK, 9999u, DB_WIN},
                                             {KKK, 10000u, DB_DRAW}, {KKK, 14879u, DB_DRAW}, {KM, 0u, DB_WIN}, {KM, 95u, DB_WIN}})
        EXPECT_EQ(probeAt(key, index), result) << index;
}

// Indexes beyond the codes of their block are logged; block 300 lies
// beyond the 250 of four pieces, block 5 beyond the file; men on their
// crowning row and sides of four are in no slice.
TEST_F(ProbeEdges, WhatNoBlockOrSliceHolds) {
    database("BASE0,1,1,0,0,0,b:0/1020\nBASE0,1,1,0,0,1,b:300/0\nBASE0,1,1,0,0,2,b:5/0\nBASE0,1,1,0,0,6,w:+\n"
             "BASE0,1,1,0,0,6,b:-\n", block(std::string(4, '\0'), 1020));
    EXPECT_EQ(probeAt(KM, 15), DB_WIN);
    EXPECT_EQ(probeAt(KM, 16), DB_UNKNOWN);
    EXPECT_EQ(probeAt(KM, 123), DB_UNKNOWN);
    EXPECT_EQ(readText("dberr.txt"), "db index overflow in bm 0 bk 1 wm 1 wk 0 bmrank 0 wmrank 0 index 16\n"
                                     "db index overflow in bm 0 bk 1 wm 1 wk 0 bmrank 0 wmrank 0 index 123\n");
    EXPECT_EQ(probeAt({0, 1, 1, 0, 0, 1, 0}, 0), DB_UNKNOWN);
    const SliceKey shortFile{0, 1, 1, 0, 0, 2, 0};
    EXPECT_EQ(probeAt(shortFile, 0, 1), DB_NOLOOK);
    const int32_t oldestBefore = lruOldest();
    EXPECT_EQ(probeAt(shortFile, 0), DB_UNKNOWN);
    // The failed read left no mapping: the slot is empty and reused first.
    EXPECT_EQ(lruOldest(), oldestBefore);
    EXPECT_EQ(lruEntry(oldestBefore).blockOf, -1);
    EXPECT_EQ(probeAt(shortFile, 0, 1), DB_NOLOOK);
    // A man against a king is stored with the king on Black's side.
    for (const auto& [q, result] : {std::pair{DbQuery{1u << 24, 0, 0, 1, 2}, DB_WIN}, {DbQuery{1u << 28, 0, 0, 1, 2}, DB_UNKNOWN},
                                    {DbQuery{0, 1u << 31, 1u << 4, 0, 2}, DB_LOSS}, {DbQuery{0, 1u << 31, 1u << 3, 0, 2}, DB_UNKNOWN},
                                    {DbQuery{0, 0xF, 0, 1u << 20, 2}, DB_UNKNOWN}})
        EXPECT_EQ(probeDatabase(&q, 0), result) << q.bm << " " << q.bk << " " << q.wm;
}

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

class Cache : public EgdbTest {
protected:
    // Kings only, mostly mixed results: over 100 blocks.
    void SetUp() override {
        EgdbTest::SetUp();
        for (const SliceKey& k : {SliceKey{0, 2, 0, 2, 0, 0, 0}, SliceKey{0, 3, 0, 1, 0, 0, 0}, SliceKey{0, 3, 0, 1, 0, 0, 1}})
            slices.push_back({k, patternedResults(sliceSize(k), 11u + static_cast<uint32_t>(slices.size()), 97)});
        const WriteReport r = writeDatabase(slices);
        ASSERT_TRUE(r.ok && r.blocks > 100) << r.error;
        for (int nbk : {2, 3}) forEachPosition(0, nbk, 0, 4 - nbk, [&](const DbQuery& q) { positions.push_back(q); });
    }
    bool answersRight(const DbQuery& q, int32_t got) {
        const RefLocation loc = referenceLocation(q);
        const uint8_t expected = resultsOf(slices, loc.key)[loc.index];
        return got == expected || (expected == RESULT_ANY && got != DB_UNKNOWN);
    }
    std::vector<SliceResults> slices;
    std::vector<DbQuery> positions;
};

TEST_F(Cache, EvictionFollowsTheLruRules) {
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
        EXPECT_TRUE(answersRight(q, got));
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

// An opening without its preload leaves every block to be read later, by a
// probe or by the preload going on, with the same answers.
TEST_F(Cache, APreloadCutShortGoesOnLater) {
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(openDatabase(256, text, /*preload=*/false), 4);
    ::testing::internal::GetCapturedStdout();
    const auto cachedBlocks = [] {
        int n = 0;
        for (int32_t s = 0; s < cacheBlocks; ++s) n += lruEntry(s).blockOf != -1;
        return n;
    };
    EXPECT_EQ(cachedBlocks(), 0);
    EXPECT_FALSE(continuePreload(0));
    EXPECT_EQ(cachedBlocks(), 0);
    const DbQuery& first = positions.front();
    EXPECT_EQ(probeDatabase(&first, 1), DB_NOLOOK);
    EXPECT_TRUE(answersRight(first, probeDatabase(&first, 0)));
    EXPECT_EQ(cachedBlocks(), 1);

    EXPECT_TRUE(continuePreload(INT64_MAX));
    const int all = cachedBlocks();
    EXPECT_GT(all, 100);
    for (const DbQuery& q : positions) ASSERT_TRUE(answersRight(q, probeDatabase(&q, 1)));
    EXPECT_EQ(cachedBlocks(), all);
    EXPECT_TRUE(continuePreload(0));  // nothing left: done at once
}

}  // namespace
}  // namespace tarnvel::testing
