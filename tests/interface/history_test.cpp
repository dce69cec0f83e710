// The game history: growth by whole steps, failed growth, and the parity
// step of a move request.
#include <gtest/gtest.h>

#include "board/movestack.h"
#include "board/position.h"
#include "interface/history.h"
#include "interface/hostboard.h"
#include "platform/memory.h"

namespace tarnvel {
namespace {

// Each test starts from the state at load: no array, nothing stored.
class History : public ::testing::Test {
protected:
    void SetUp() override {
        platform::release(gameHistory.keys);
        gameHistory = GameHistory{nullptr, 0, 0};
        platform::failNextAllocations(0);
    }
    void TearDown() override { platform::failNextAllocations(0); }

    static uint64_t keyNumber(uint32_t i) { return 0x9E3779B97F4A7C15ull * (i + 1); }
};

TEST_F(History, GrowsByWholeStepsKeepingEveryKey) {
    historyPush(keyNumber(0));
    EXPECT_EQ(gameHistory.capacity, 256u);
    for (uint32_t i = 1; i < 256; ++i) historyPush(keyNumber(i));
    EXPECT_EQ(gameHistory.capacity, 256u);
    historyPush(keyNumber(256));
    EXPECT_EQ(gameHistory.capacity, 512u);
    EXPECT_EQ(gameHistory.length, 257u);
    for (uint32_t i = 257; i < 1000; ++i) historyPush(keyNumber(i));
    EXPECT_EQ(gameHistory.capacity, 1024u);
    for (uint32_t i = 0; i < 1000; ++i) ASSERT_EQ(gameHistory.keys[i], keyNumber(i)) << i;
}

// A reset only sets length to 0: the array is reused, not shrunk.
TEST_F(History, ResetKeepsTheArray) {
    for (uint32_t i = 0; i < 300; ++i) historyPush(keyNumber(i));
    const uint64_t* keys = gameHistory.keys;
    gameHistory.length = 0;
    for (uint32_t i = 0; i < 300; ++i) historyPush(keyNumber(i + 7));
    EXPECT_EQ(gameHistory.keys, keys);
    EXPECT_EQ(gameHistory.capacity, 512u);
    EXPECT_EQ(gameHistory.keys[299], keyNumber(306));
}

TEST_F(History, FailedFirstGrowthRecordsNothing) {
    platform::failNextAllocations(1);
    historyPush(1);
    EXPECT_EQ(gameHistory.keys, nullptr);
    EXPECT_EQ(gameHistory.length, 0u);
    EXPECT_EQ(gameHistory.capacity, 0u);
    historyPush(2);
    ASSERT_EQ(gameHistory.length, 1u);
    EXPECT_EQ(gameHistory.keys[0], 2u);
}

TEST_F(History, FailedGrowthKeepsTheOldArray) {
    for (uint32_t i = 0; i < 256; ++i) historyPush(keyNumber(i));
    platform::failNextAllocations(1);
    historyPush(keyNumber(999));
    EXPECT_EQ(gameHistory.length, 256u);
    EXPECT_EQ(gameHistory.capacity, 256u);
    for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(gameHistory.keys[i], keyNumber(i));
    historyPush(keyNumber(256));
    EXPECT_EQ(gameHistory.length, 257u);
    EXPECT_EQ(gameHistory.capacity, 512u);
    for (uint32_t i = 0; i < 257; ++i) ASSERT_EQ(gameHistory.keys[i], keyNumber(i));
}

// makeMove still makes the move when the history cannot grow; only the
// key of the position left goes unrecorded.
TEST_F(History, MakeMoveWithFailedGrowth) {
    for (uint32_t i = 0; i < 256; ++i) historyPush(keyNumber(i));
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
    EXPECT_EQ(gameHistory.capacity, 256u);
    EXPECT_EQ(gameHistory.keys[255], keyNumber(255));
}

// Step 5 of a move request: append the old key exactly when the length has
// the wrong parity for the side to move, counting the opponent's move as
// reversible.
TEST_F(History, ParityStep) {
    position = Position{0xABCD, 0, 0, 0, 0, 0, 0, 3};
    historyParityStep(1);  // White, length 0 (even): append
    ASSERT_EQ(gameHistory.length, 1u);
    EXPECT_EQ(gameHistory.keys[0], 0xABCDu);
    EXPECT_EQ(position.reversiblePlies, 4u);
    historyParityStep(1);  // White, odd: nothing
    EXPECT_EQ(gameHistory.length, 1u);
    position.key = 0x1111;
    historyParityStep(0);  // Black, odd: append
    ASSERT_EQ(gameHistory.length, 2u);
    EXPECT_EQ(gameHistory.keys[1], 0x1111u);
    EXPECT_EQ(position.reversiblePlies, 5u);
    historyParityStep(0);  // Black, even: nothing
    EXPECT_EQ(gameHistory.length, 2u);
    EXPECT_EQ(position.reversiblePlies, 5u);
}

TEST_F(History, ParityStepWithBlackOnAnEmptyHistory) {
    position = Position{0xABCD, 0, 0, 0, 0, 0, 0, 3};
    historyParityStep(0);
    EXPECT_EQ(gameHistory.length, 0u);
    EXPECT_EQ(position.reversiblePlies, 3u);
}

}  // namespace
}  // namespace tarnvel
