// The host's 8×8 board against the global position.
#include "interface/hostboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "board/position.h"
#include "interface/history.h"
#include "support/board_fixtures.h"

namespace tarnvel {
namespace {

constexpr int32_t SENTINEL = 0x5A5A1234;

// Export writes exactly the 32 playable entries with the host's codes;
// import gives the position back and leaves key and reversiblePlies alone.
TEST(HostBoard, ExportImportRoundTrip) {
    std::mt19937 rng(17);
    for (int i = 0; i < 3000; ++i) {
        const reference::Board ref = support::randomPlacement(rng, (i % 10) / 9.0, (i % 3) / 2.0);
        support::loadEngine(ref, 1);
        const Position original = position;
        int32_t board[8][8], expected[8][8];
        support::toHostBoard(ref, expected, SENTINEL);
        std::fill(&board[0][0], &board[0][0] + 64, SENTINEL);
        exportHostBoard(board);
        ASSERT_EQ(std::memcmp(board, expected, sizeof board), 0) << i;
        position = Position{0x1234, ~0u, ~0u, ~0u, ~0u, 99, 99, 42};
        importHostBoard(board);
        ASSERT_EQ((reference::Bitboards{position.wm, position.wk, position.bm, position.bk}),
                  reference::bitboardsOf(ref));
        ASSERT_EQ(position.wcount, original.wcount);
        ASSERT_EQ(position.bcount, original.bcount);
        ASSERT_EQ(position.key, 0x1234u);
        ASSERT_EQ(position.reversiblePlies, 42u);
    }
}

// Any 32-bit value may sit on any square; only the four piece codes on
// playable squares count.
TEST(HostBoard, ArbitraryValuesImportAsEmpty) {
    std::mt19937 rng(23);
    const int32_t codes[] = {5, 9, 6, 10};
    const int32_t odd[] = {INT32_MIN, INT32_MAX, -1, -5, 1, 2, 4, 7, 8, 11, 0x105, 0x10009};
    for (int i = 0; i < 3000; ++i) {
        int32_t board[8][8];
        reference::Board expected;
        for (int c = 0; c < 8; ++c)
            for (int r = 0; r < 8; ++r) {
                const uint32_t pick = rng() % 8;
                board[c][r] = pick < 4 ? codes[pick] : pick < 6 ? odd[rng() % 12] : static_cast<int32_t>(rng());
                for (int kind = 0; kind < 4; ++kind)
                    if (board[c][r] == codes[kind] && reference::isPlayable(c, r)) expected.cell[c][r] = 1 + kind;
            }
        support::loadEngine(expected, 1);
        const Position want = position;
        importHostBoard(board);
        ASSERT_EQ((reference::Bitboards{position.wm, position.wk, position.bm, position.bk}),
                  (reference::Bitboards{want.wm, want.wk, want.bm, want.bk}));
        ASSERT_EQ(position.wcount, want.wcount);
        ASSERT_EQ(position.bcount, want.bcount);
    }
}

// A move request first brings the history to its parity: the old key is
// appended exactly when the length has the wrong parity for the side to
// move, counting the opponent's move as reversible.
TEST(HostBoard, HistoryParityStep) {
    gameHistory.length = 0;
    position = Position{0xABCD, 0, 0, 0, 0, 0, 0, 3};
    historyParityStep(0);  // Black, even: nothing
    EXPECT_EQ(gameHistory.length, 0u);
    EXPECT_EQ(position.reversiblePlies, 3u);
    historyParityStep(1);  // White, even: append
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
}

}  // namespace
}  // namespace tarnvel
