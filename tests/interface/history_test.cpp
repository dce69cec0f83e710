// The game history: growth by whole steps, and failed growth.
#include "interface/history.h"

#include <gtest/gtest.h>

#include "board/movestack.h"
#include "board/position.h"
#include "platform/memory.h"

namespace tarnvel {
namespace {

uint64_t keyNumber(uint32_t i) { return 0x9E3779B97F4A7C15ull * (i + 1); }

// Each test starts from the state at load: no array, nothing stored.
class History : public ::testing::Test {
protected:
    void SetUp() override {
        platform::release(gameHistory.keys);
        gameHistory = GameHistory{nullptr, 0, 0};
    }
    void TearDown() override { platform::failNextAllocations(0); }
};

// Grows by 256 keys at a time keeping every key; a reset (length 0)
// reuses the array.
TEST_F(History, GrowsByWholeStepsKeepingEveryKey) {
    for (uint32_t i = 0; i < 1000; ++i) {
        historyPush(keyNumber(i));
        ASSERT_EQ(gameHistory.capacity, (i / 256 + 1) * 256) << i;
    }
    for (uint32_t i = 0; i < 1000; ++i) ASSERT_EQ(gameHistory.keys[i], keyNumber(i)) << i;
    const uint64_t* keys = gameHistory.keys;
    gameHistory.length = 0;
    for (uint32_t i = 0; i < 300; ++i) historyPush(keyNumber(i + 7));
    EXPECT_EQ(gameHistory.keys, keys);
    EXPECT_EQ(gameHistory.capacity, 1024u);
    EXPECT_EQ(gameHistory.keys[299], keyNumber(306));
}

// A failed growth records nothing and keeps the old array; the next push
// grows it. makeMove still makes its move then, only the key goes unrecorded.
TEST_F(History, FailedGrowth) {
    platform::failNextAllocations(1);
    historyPush(1);
    EXPECT_EQ(gameHistory.keys, nullptr);
    EXPECT_EQ(gameHistory.length + gameHistory.capacity, 0u);
    for (uint32_t i = 0; i < 256; ++i) historyPush(keyNumber(i));
    platform::failNextAllocations(1);
    historyPush(keyNumber(999));
    EXPECT_EQ(gameHistory.length, 256u);
    EXPECT_EQ(gameHistory.capacity, 256u);

    position = Position{0, 0, Bitboard{1} << 9, 0, 0, 1, 0, 0};
    position.key = keyFromScratch(position, 1);
    moveStack.flags[0] = KIND_WHITE_KING;
    moveStack.to[0] = Bitboard{1} << 12;
    moveStack.cleared[0] = Bitboard{1} << 9;
    platform::failNextAllocations(1);
    makeMove(0);
    EXPECT_EQ(position.wk, Bitboard{1} << 12);
    EXPECT_EQ(position.key, keyFromScratch(position, 0));
    EXPECT_EQ(position.reversiblePlies, 1u);
    EXPECT_EQ(gameHistory.length, 256u);

    historyPush(keyNumber(256));
    EXPECT_EQ(gameHistory.length, 257u);
    EXPECT_EQ(gameHistory.capacity, 512u);
    for (uint32_t i = 0; i < 257; ++i) ASSERT_EQ(gameHistory.keys[i], keyNumber(i));
}

}  // namespace
}  // namespace tarnvel
