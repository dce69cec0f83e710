#include "search/tt.h"

#include <gtest/gtest.h>

#include <random>
#include <unordered_map>

#include "platform/memory.h"

namespace tarnvel {
namespace {

// Every test starts from a fresh 1 MB table (131072 entries of 8 bytes).
class TranspositionTable : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ttAllocate(2));
        ASSERT_TRUE(ttAllocate(1));
    }
};

// Random stores, probes and clears against a model of a directly mapped
// table indexed by the key's low bits and checked by its high half; an
// empty slot reads as zero.
TEST_F(TranspositionTable, BehavesAsADirectlyMappedTable) {
    struct Stored {
        uint64_t key;
        int score, draft, bound, move;
    };
    std::unordered_map<uint32_t, Stored> model;
    std::mt19937_64 rng(5);
    for (int i = 0; i < 200000; ++i) {
        // Few distinct low halves, so slots are shared and overwritten often.
        const uint64_t key = (rng() & 0xFFFFFFFF00000000ull) * (rng() % 8 != 0) | (rng() % 4096) * 977;
        const uint32_t slot = static_cast<uint32_t>(key) % 131072;
        if (i == 100000) {
            ttClear();
            model.clear();
        }
        if (rng() % 2) {
            const Stored s{key, static_cast<int>(rng() % 64001) - 32000, static_cast<int>(rng() % 64),
                           static_cast<int>(1 + rng() % 3), static_cast<int>(rng() % 65) - 1};
            ttStore(key, s.score, s.draft, static_cast<uint8_t>(s.bound), s.move);
            model[slot] = s;
            continue;
        }
        const TTEntry* e = ttProbe(key);
        const auto it = model.find(slot);
        const Stored s = it != model.end() ? it->second : Stored{key & 0xFFFFFFFF, 0, 0, 0, 0};
        ASSERT_EQ(e != nullptr, s.key >> 32 == key >> 32) << i;
        if (!e) continue;
        EXPECT_EQ(e->score, s.score);
        EXPECT_EQ(ttDraft(*e), s.draft);
        EXPECT_EQ(ttBound(*e), s.bound);
        EXPECT_EQ(e->move, s.move);
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
    EXPECT_EQ(ttProbe(key), nullptr);
    ttStore(0x00000001'0003FFFFull, 9, 1, BOUND_EXACT, 0);  // the last slot of 2 MB
    EXPECT_EQ(ttProbe(0x00000001'0001FFFFull), nullptr);
    EXPECT_EQ(ttEntries[0x3FFFF].score, 9);
}

// A refused or failed resize says why and leaves the table as it was.
TEST_F(TranspositionTable, RefusedResizeKeepsTheTable) {
    const struct {
        uint32_t megabytes;
        bool failAllocation;
        const char* message;
    } cases[] = {{0, false, "no power of two entries 0\n"},
                 {3, false, "no power of two entries 393216\n"},
                 {4, true, "out of memory\n"}};
    const uint64_t key = 0x0F0F0F0F12345678ull;
    ttStore(key, 300, 9, BOUND_UPPER, 3);
    TTEntry* const before = ttEntries;
    for (const auto& c : cases) {
        platform::failNextAllocations(c.failAllocation ? 1 : 0);
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(ttAllocate(c.megabytes));
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.message);
        EXPECT_EQ(ttEntries, before);
        EXPECT_EQ(ttMegabytes, 1u);
        ASSERT_NE(ttProbe(key), nullptr);
        EXPECT_EQ(ttProbe(key)->score, 300);
    }
    platform::failNextAllocations(0);
}

TEST_F(TranspositionTable, WithoutATableProbesMissAndStoresDoNothing) {
    TTEntry* const table = ttEntries;
    ttEntries = nullptr;
    ttMegabytes = 0;
    ttStore(0, 1, 1, BOUND_EXACT, 1);
    EXPECT_EQ(ttProbe(0), nullptr);
    ttClear();
    ttEntries = table;
    ttMegabytes = 1;
}

}  // namespace
}  // namespace tarnvel
