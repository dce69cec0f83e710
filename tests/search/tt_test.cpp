#include "search/tt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <unordered_map>

#include "platform/memory.h"

namespace tarnvel {
namespace {

// Every test starts from a fresh 1 MB table.
class TranspositionTable : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ttAllocate(2));
        ASSERT_TRUE(ttAllocate(1));
    }
};

TEST(TranspositionTableSize, RoundsDownToAPowerOfTwoUpTo1024) {
    const uint32_t cases[][2] = {{3000, 1024}, {1024, 1024}, {1023, 512}, {700, 512}, {300, 256},
                                 {256, 256},   {3, 2},       {2, 2},      {1, 1},     {0, 0},
                                 {UINT32_MAX, 1024}};
    for (const auto& c : cases) EXPECT_EQ(ttRoundMegabytes(c[0]), c[1]) << c[0];
}

TEST_F(TranspositionTable, FreshTableIsZeroAndMasked) {
    EXPECT_EQ(ttMegabytes, 1u);
    EXPECT_EQ(ttIndexMask, 131071u);
    for (uint32_t i = 0; i <= ttIndexMask; ++i)
        ASSERT_EQ(std::memcmp(&ttEntries[i], "\0\0\0\0\0\0\0\0", 8), 0);
    // An empty slot matches a key whose high half is zero, with nothing
    // that could decide a node.
    const TTEntry* e = ttProbe(0x0000000012345678ull);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(ttDraft(*e), 0);
    EXPECT_EQ(ttBound(*e), 0);
    EXPECT_EQ(e->move, 0);
    EXPECT_EQ(ttProbe(0x0000000112345678ull), nullptr);
}

TEST_F(TranspositionTable, EntryBytesFollowTheLayout) {
    const uint64_t key = 0xA1B2C3D4'00054321ull;
    ttStore(key, -32000, DRAFT_DECIDED, BOUND_UPPER, -1);
    const TTEntry& raw = ttEntries[0x00054321 & ttIndexMask];
    unsigned char bytes[8];
    std::memcpy(bytes, &raw, 8);
    uint32_t check;
    int16_t score;
    std::memcpy(&check, bytes, 4);
    std::memcpy(&score, bytes + 4, 2);
    EXPECT_EQ(check, 0xA1B2C3D4u);
    EXPECT_EQ(score, -32000);
    EXPECT_EQ(bytes[6], 0x40 | 63);
    EXPECT_EQ(static_cast<int8_t>(bytes[7]), -1);

    ttStore(key, 32000, 5, BOUND_LOWER, 63);
    EXPECT_EQ(ttProbe(key)->draftBound, 0x80 | 5);
    ttStore(key, 17, 1, BOUND_EXACT, 0);
    const TTEntry* e = ttProbe(key);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->draftBound, 0xC0 | 1);
    EXPECT_EQ(ttBound(*e), BOUND_EXACT);
    EXPECT_EQ(ttDraft(*e), 1);
    EXPECT_EQ(e->score, 17);
    EXPECT_EQ(e->move, 0);
}

// Random stores and probes against a model of a directly mapped table.
TEST_F(TranspositionTable, BehavesAsADirectlyMappedTable) {
    struct Stored {
        uint64_t key;
        int score, draft, bound, move;
    };
    std::unordered_map<uint32_t, Stored> model;
    std::mt19937_64 rng(5);
    // Few distinct low halves, so slots are shared and overwritten often.
    for (int i = 0; i < 200000; ++i) {
        const uint64_t key = (rng() & 0xFFFFFFFF00000000ull) | (rng() % 4096) * 977;
        const uint32_t slot = static_cast<uint32_t>(key) & ttIndexMask;
        if (rng() % 2) {
            const Stored s{key, static_cast<int>(rng() % 64001) - 32000,
                           static_cast<int>(rng() % 64), static_cast<int>(1 + rng() % 3),
                           static_cast<int>(rng() % 65) - 1};
            ttStore(key, s.score, s.draft, static_cast<uint8_t>(s.bound), s.move);
            model[slot] = s;
        } else {
            const TTEntry* e = ttProbe(key);
            const auto it = model.find(slot);
            const bool hit = it != model.end() ? it->second.key >> 32 == key >> 32 : key >> 32 == 0;
            ASSERT_EQ(e != nullptr, hit);
            if (it == model.end() || !hit) continue;
            EXPECT_EQ(e->score, it->second.score);
            EXPECT_EQ(ttDraft(*e), it->second.draft);
            EXPECT_EQ(ttBound(*e), it->second.bound);
            EXPECT_EQ(e->move, it->second.move);
        }
    }
}

TEST_F(TranspositionTable, SameSizeKeepsEntriesAndResizeDiscardsThem) {
    const uint64_t key = 0x1234567890ABCDEFull;
    ttStore(key, 55, 3, BOUND_EXACT, 2);
    EXPECT_TRUE(ttAllocate(1));
    ASSERT_NE(ttProbe(key), nullptr);
    EXPECT_EQ(ttProbe(key)->score, 55);
    EXPECT_TRUE(ttAllocate(2));
    EXPECT_EQ(ttMegabytes, 2u);
    EXPECT_EQ(ttIndexMask, 2u * 131072 - 1);
    EXPECT_EQ(ttProbe(key), nullptr);
}

TEST_F(TranspositionTable, ClearZeroesEveryEntry) {
    for (uint64_t k = 1; k < 1000; ++k) ttStore(k * 0x9E3779B97F4A7C15ull, 1, 1, BOUND_EXACT, 1);
    ttClear();
    for (uint32_t i = 0; i <= ttIndexMask; ++i)
        ASSERT_EQ(std::memcmp(&ttEntries[i], "\0\0\0\0\0\0\0\0", 8), 0);
}

TEST_F(TranspositionTable, ZeroSizeKeepsTheCurrentTable) {
    const uint64_t key = 0xFEDCBA9876543210ull;
    ttStore(key, -9, 4, BOUND_LOWER, 7);
    TTEntry* before = ttEntries;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ttAllocate(0));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "no power of two entries 0\n");
    EXPECT_EQ(ttEntries, before);
    EXPECT_EQ(ttMegabytes, 1u);
    ASSERT_NE(ttProbe(key), nullptr);
    EXPECT_EQ(ttProbe(key)->move, 7);
}

TEST_F(TranspositionTable, NonPowerOfTwoSizeIsRefused) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ttAllocate(3));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "no power of two entries 393216\n");
    EXPECT_EQ(ttMegabytes, 1u);
}

TEST_F(TranspositionTable, FailedAllocationKeepsTheOldTable) {
    const uint64_t key = 0x0F0F0F0F12345678ull;
    ttStore(key, 300, 9, BOUND_UPPER, 3);
    TTEntry* before = ttEntries;
    platform::failNextAllocations(1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ttAllocate(4));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "out of memory\n");
    EXPECT_EQ(ttEntries, before);
    EXPECT_EQ(ttMegabytes, 1u);
    EXPECT_EQ(ttIndexMask, 131071u);
    ASSERT_NE(ttProbe(key), nullptr);
    EXPECT_EQ(ttProbe(key)->score, 300);
}

TEST_F(TranspositionTable, WithoutATableProbesMissAndStoresDoNothing) {
    TTEntry* const table = ttEntries;
    const uint32_t megabytes = ttMegabytes, mask = ttIndexMask;
    ttEntries = nullptr;
    ttMegabytes = 0;
    ttIndexMask = 0;
    ttStore(0, 1, 1, BOUND_EXACT, 1);
    EXPECT_EQ(ttProbe(0), nullptr);
    ttClear();
    ttEntries = table;
    ttMegabytes = megabytes;
    ttIndexMask = mask;
}

}  // namespace
}  // namespace tarnvel
