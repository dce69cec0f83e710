#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "board/movestack.h"
#include "board/position.h"
#include "board/squares.h"
#include "interface/engine_state.h"
#include "interface/history.h"
#include "interface/postext.h"
#include "search/search.h"
#include "search/tt.h"
#include "support/board_fixtures.h"
#include "support/reference_board.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {
namespace {

using reference::Board;

class RootSearch : public ::testing::Test {
protected:
    char text[TARNVEL_TEXT_CAPACITY] = "untouched";

    void SetUp() override {
        ASSERT_TRUE(ttAllocate(1));
        ttClear();
        hostText = text;
        playNowFlag = nullptr;
        timeBudgetMs = INT64_MAX / 2;
        searchDepthLimit = 0;
    }
    void TearDown() override {
        hostText = nullptr;
        searchDepthLimit = 0;
    }

    int searchText(const char* position, uint32_t depthLimit) {
        int side = 0;
        EXPECT_TRUE(parsePosition(position, &side)) << position;
        searchDepthLimit = depthLimit;
        return rootSearch(side);
    }

    // The number after "win=" or "loss=" in the report, or −1.
    int reported(const char* word) const {
        const char* at = std::strstr(text, word);
        return at ? std::atoi(at + std::strlen(word)) : -1;
    }
};

// An independent judge: can the side to move leave the opponent without a
// move (or a piece) within `plies` plies?
bool forcesWin(const Board& board, bool white, int plies) {
    for (const reference::Move& move : reference::legalMoves(board, white)) {
        const Board after = reference::play(board, move);
        const std::vector<reference::Move> replies = reference::legalMoves(after, !white);
        if (replies.empty()) return true;
        if (plies < 3) continue;
        bool all = true;
        for (const reference::Move& reply : replies)
            if (!forcesWin(reference::play(after, reply), white, plies - 2)) {
                all = false;
                break;
            }
        if (all) return true;
    }
    return false;
}

int shortestWin(const Board& board, bool white, int maxPlies) {
    for (int plies = 1; plies <= maxPlies; plies += 2)
        if (forcesWin(board, white, plies)) return plies;
    return -1;
}

Board kingsOnly(std::mt19937& rng, int white, int black) {
    Board board;
    for (int placed = 0; placed < white + black;) {
        const reference::Square s = reference::squareOfBit(static_cast<int>(rng() % 32));
        if (board.cell[s.column][s.row] != reference::EMPTY) continue;
        board.cell[s.column][s.row] = placed < white ? reference::WHITE_KING : reference::BLACK_KING;
        ++placed;
    }
    return board;
}

// Short wins in the tiny king endings are found at once, with the exact
// distance; where the judge sees no win within five plies the engine
// reports none that short either.
TEST_F(RootSearch, ReportsExactDistancesOfShortKingWins) {
    std::mt19937 rng(2024);
    int wins = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const int white = 1 + trial % 2;
        const Board board = kingsOnly(rng, white, 1);
        support::loadEngine(board, 1);
        gameHistory.length = 0;
        std::strcpy(text, "");
        searchDepthLimit = 8;
        const int result = rootSearch(1);
        const int expected = shortestWin(board, true, 5);
        if (expected > 0) {
            ++wins;
            EXPECT_EQ(result, TARNVEL_WIN) << text;
            EXPECT_EQ(reported("win="), expected) << text;
        } else if (result == TARNVEL_WIN) {
            EXPECT_GT(reported("win="), 5) << text;
        }
    }
    EXPECT_GT(wins, 10);
}

TEST_F(RootSearch, KnownEndingDistances) {
    EXPECT_EQ(searchText("W:WK4:BK29.", 10), TARNVEL_WIN);
    EXPECT_STREQ(text, "Tarnvel v1.3 => win=11  depth=1/1  nodes=2  tbhits=0  time=0      0.0KN/s\n");
    // Every move of the lone king loses: the best loss is played, result unknown.
    EXPECT_EQ(searchText("W:WK4:BK11,K12.", 10), TARNVEL_UNKNOWN);
    EXPECT_EQ(reported("loss="), 2);
    EXPECT_EQ(position.wk, bitOf(bitOfSquareNumber(8)));
}

TEST_F(RootSearch, SingleLegalMoveSearchesOneIteration) {
    int side = 0;
    ASSERT_TRUE(parsePosition("B:W18,30:B14,1.", &side));
    ASSERT_EQ(support::engineRecords(side).size(), 1u);
    EXPECT_EQ(searchText("B:W18,30:B14,1.", 0), TARNVEL_UNKNOWN);
    EXPECT_NE(std::strstr(text, "  depth=1/"), nullptr) << text;
    EXPECT_EQ(positionText(position, 1), "W:W30:B1,23.");
}

TEST_F(RootSearch, NoLegalMoveLeavesPositionAndTextAlone) {
    int side = 0;
    ASSERT_TRUE(parsePosition("W:W3,4:B20,24.", &side));
    const Position before = position;
    EXPECT_EQ(rootSearch(side), TARNVEL_LOSS);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(position.key, before.key);
    EXPECT_EQ(gameHistory.length, 0u);
}

// After a finished iteration the moves are sorted by score, the best first,
// and the move played is the one in slot 0.
TEST_F(RootSearch, PlaysTheFirstOfTheSortedMoves) {
    int side = 0;
    const char* start = "B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.";
    ASSERT_TRUE(parsePosition(start, &side));
    const Position root = position;
    EXPECT_EQ(searchText(start, 6), TARNVEL_UNKNOWN);
    const Position played = position;
    for (int i = 1; i < 7; ++i) EXPECT_GE(rootScores[i - 1], rootScores[i]) << i;
    position = root;
    gameHistory.length = 0;
    makeMove(0);
    EXPECT_EQ(position.key, played.key);
    EXPECT_EQ(played.reversiblePlies, 0u);
    EXPECT_EQ(gameHistory.length, 1u);
    EXPECT_EQ(gameHistory.keys[0], root.key);
}

// Stopped inside the very first node: no report, and the move in slot 0 of
// the crowning-first list is played.
TEST_F(RootSearch, StopBeforeAnyResultPlaysTheFirstCrowningMove) {
    timeBudgetMs = -1;
    clockCheckCounter = CLOCK_CHECK_INTERVAL - 1;
    EXPECT_EQ(searchText("W:W5,30,31,32:B20.", 0), TARNVEL_UNKNOWN);
    EXPECT_TRUE(stopSearch);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(position.wk, bitOf(bitOfSquareNumber(1)));
}

TEST_F(RootSearch, ProvenWinEndsTheSearch) {
    EXPECT_EQ(searchText("W:WK1,K2,K3:BK32.", 40), TARNVEL_WIN);
    EXPECT_GT(reported("win="), 0);
    int depth = 0;
    ASSERT_EQ(std::sscanf(std::strstr(text, "depth="), "depth=%d", &depth), 1);
    EXPECT_LT(depth, 40);
}

}  // namespace
}  // namespace tarnvel
