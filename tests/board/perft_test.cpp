#include "board/perft.h"

#include <gtest/gtest.h>

#include "board/position.h"
#include "interface/history.h"
#include "support/board_fixtures.h"

namespace tarnvel {
namespace {

// Counts from the initial arrangement, Black to move.
TEST(Perft, InitialPosition) {
    const uint64_t expected[] = {7, 49, 302, 1469, 7361, 36768, 179740, 845931, 3963680};
    for (int depth = 1; depth <= 9; ++depth) {
        support::loadEngine(support::initialBoard(), 0);
        EXPECT_EQ(perft(depth, 0), expected[depth - 1]) << "depth " << depth;
    }
    EXPECT_EQ(reference::perft(support::initialBoard(), false, 7), expected[6]);
}

// Kings, multi-jumps and king tours against the reference, and the
// colour-reversed twins; perft leaves position and history as it found them.
TEST(Perft, KingsAndMultiJumpsAgainstReference) {
    for (const char* text : {"B:W18,24,27,28,K10,K15:B12,16,20,K22,K25,K29.",
                             "W:WK14:B9,10,17,18,19,26,27.",  // a king among many men
                             "B:W6,7,14,15,22,23,K30:BK2,K3,11.",  // a path crossing itself, found twice
                             "W:W21,22,23,25,26,K1:B6,7,9,10,14,15,K32."}) {
        const int side = support::loadText(text);
        const Position before = position;
        const reference::Board board = reference::boardOf({position.wm, position.wk, position.bm, position.bk});
        const uint64_t expected = reference::perft(board, side, 7);
        gameHistory.length = 0;
        EXPECT_EQ(perft(7, side), expected) << text;
        EXPECT_EQ(position.key, before.key) << text;
        EXPECT_EQ(position.wm ^ position.wk ^ position.bm ^ position.bk, before.wm ^ before.wk ^ before.bm ^ before.bk);
        EXPECT_EQ(gameHistory.length, 0u);
        support::loadEngine(reference::colourReversed(board), !side);
        EXPECT_EQ(perft(7, !side), expected) << "twin of " << text;
    }
}

}  // namespace
}  // namespace tarnvel
