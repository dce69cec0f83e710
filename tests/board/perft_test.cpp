#include <gtest/gtest.h>

#include "board/perft.h"
#include "board/position.h"
#include "interface/history.h"
#include "interface/postext.h"
#include "support/board_fixtures.h"

namespace tarnvel {
namespace {

constexpr const char* INITIAL = "B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.";

// Counts from the initial arrangement, Black to move.
TEST(Perft, InitialPosition) {
    const uint64_t expected[] = {7, 49, 302, 1469, 7361, 36768, 179740, 845931, 3963680};
    int side = 0;
    ASSERT_TRUE(parsePosition(INITIAL, &side));
    for (int depth = 1; depth <= 9; ++depth)
        EXPECT_EQ(perft(depth, side), expected[depth - 1]) << "depth " << depth;
}

// perft restores the position and the history length it started from.
TEST(Perft, LeavesThePositionAsItWas) {
    int side = 0;
    ASSERT_TRUE(parsePosition("W:W18,24,27,28,K10,K15:B12,16,20,K22,K25,K29.", &side));
    const Position before = position;
    perft(5, side);
    EXPECT_EQ(position.key, before.key);
    EXPECT_EQ(position.wm, before.wm);
    EXPECT_EQ(position.bk, before.bk);
    EXPECT_EQ(gameHistory.length, 0u);
}

TEST(Perft, InitialPositionAgainstReference) {
    int side = 0;
    ASSERT_TRUE(parsePosition(INITIAL, &side));
    EXPECT_EQ(perft(8, side), reference::perft(support::initialBoard(), false, 8));
}

// Positions with kings, multi-jumps and king tours, and their colour-reversed
// twins, which must give the same counts.
TEST(Perft, KingsAndMultiJumpsAgainstReference) {
    const struct {
        const char* text;
        int depth;
    } cases[] = {
        {"B:W18,24,27,28,K10,K15:B12,16,20,K22,K25,K29.", 7},
        {"W:W18,24,27,28,K10,K15:B12,16,20,K22,K25,K29.", 7},
        {"W:WK14:B9,10,17,18,19,26,27.", 7},        // a king among many men
        {"B:W6,7,14,15,22,23,K30:BK2,K3,11.", 7},   // a path crossing itself, found twice
        {"W:W21,22,23,25,26,K1:B6,7,9,10,14,15,K32.", 7},
        {"B:WK5,K6,K7,K8:BK25,K26,K27,K28.", 5},
    };
    for (const auto& c : cases) {
        int side = 0;
        ASSERT_TRUE(parsePosition(c.text, &side)) << c.text;
        const reference::Board board =
            reference::boardOf({position.wm, position.wk, position.bm, position.bk});
        const uint64_t expected = reference::perft(board, side, c.depth);
        EXPECT_EQ(perft(c.depth, side), expected) << c.text;
        support::loadEngine(reference::colourReversed(board), !side);
        EXPECT_EQ(perft(c.depth, !side), expected) << "twin of " << c.text;
    }
}

}  // namespace
}  // namespace tarnvel
