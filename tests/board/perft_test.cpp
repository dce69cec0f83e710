#include "board/perft.h"

#include <gtest/gtest.h>

#include "board/position.h"
#include "interface/history.h"
#include "support/board_fixtures.h"

namespace tarnvel {
namespace {

constexpr const char* INITIAL = "B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.";

// Counts from the initial arrangement, Black to move; the reference agrees
// up to the depth it manages quickly.
TEST(Perft, InitialPosition) {
    const uint64_t expected[] = {7, 49, 302, 1469, 7361, 36768, 179740, 845931, 3963680};
    for (int depth = 1; depth <= 9; ++depth) {
        const int side = support::loadText(INITIAL);
        EXPECT_EQ(perft(depth, side), expected[depth - 1]) << "depth " << depth;
    }
    EXPECT_EQ(reference::perft(support::initialBoard(), false, 7), expected[6]);
}

// Positions with kings, multi-jumps and king tours, and their colour-reversed
// twins, which must give the same counts; perft leaves position and history
// as it found them.
TEST(Perft, KingsAndMultiJumpsAgainstReference) {
    const struct {
        const char* text;
        int depth;
    } cases[] = {
        {"B:W18,24,27,28,K10,K15:B12,16,20,K22,K25,K29.", 7},
        {"W:W18,24,27,28,K10,K15:B12,16,20,K22,K25,K29.", 7},
        {"W:WK14:B9,10,17,18,19,26,27.", 7},       // a king among many men
        {"B:W6,7,14,15,22,23,K30:BK2,K3,11.", 7},  // a path crossing itself, found twice
        {"W:W21,22,23,25,26,K1:B6,7,9,10,14,15,K32.", 7},
        {"B:WK5,K6,K7,K8:BK25,K26,K27,K28.", 5},
    };
    for (const auto& c : cases) {
        const int side = support::loadText(c.text);
        const Position before = position;
        const reference::Board board = reference::boardOf({position.wm, position.wk, position.bm, position.bk});
        const uint64_t expected = reference::perft(board, side, c.depth);
        gameHistory.length = 0;
        EXPECT_EQ(perft(c.depth, side), expected) << c.text;
        EXPECT_EQ(position.key, before.key) << c.text;
        EXPECT_EQ(position.wm | position.wk << 1, before.wm | before.wk << 1) << c.text;
        EXPECT_EQ(position.bm | position.bk << 1, before.bm | before.bk << 1) << c.text;
        EXPECT_EQ(gameHistory.length, 0u);
        support::loadEngine(reference::colourReversed(board), !side);
        EXPECT_EQ(perft(c.depth, !side), expected) << "twin of " << c.text;
    }
}

}  // namespace
}  // namespace tarnvel
