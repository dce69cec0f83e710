#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "board/position.h"
#include "board/squares.h"
#include "interface/engine_state.h"
#include "interface/history.h"
#include "interface/postext.h"
#include "search/report.h"
#include "search/score.h"
#include "search/search.h"
#include "search/tt.h"
#include "support/board_fixtures.h"
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
        gameHistory.length = 0;
    }
    void TearDown() override {
        hostText = nullptr;
        searchDepthLimit = 0;
    }

    int searchText(const char* position, uint32_t depthLimit) {
        const int side = support::loadText(position);
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
        bool all = true;  // no reply at all: won
        for (size_t i = 0; i < replies.size() && all; ++i)
            all = plies >= 3 && forcesWin(reference::play(after, replies[i]), white, plies - 2);
        if (all) return true;
    }
    return false;
}

// Short wins in the tiny king endings are found with their exact distance;
// where the judge sees no win within five plies the engine reports none
// that short either.
TEST_F(RootSearch, ReportsExactDistancesOfShortKingWins) {
    std::mt19937 rng(2024);
    int wins = 0;
    for (int trial = 0; trial < 300; ++trial) {
        Board board;
        for (int placed = 0; placed < 2 + trial % 2;) {
            const reference::Square s = reference::squareOfBit(static_cast<int>(rng() % 32));
            if (board.cell[s.column][s.row] != reference::EMPTY) continue;
            board.cell[s.column][s.row] = placed++ ? reference::WHITE_KING : reference::BLACK_KING;
        }
        support::loadEngine(board, 1);
        gameHistory.length = 0;
        searchDepthLimit = 8;
        const int result = rootSearch(1);
        int expected = -1;
        for (int plies = 5; plies >= 1; plies -= 2)
            if (forcesWin(board, true, plies)) expected = plies;
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

TEST_F(RootSearch, KnownEndingsAndProvenWins) {
    EXPECT_EQ(searchText("W:WK4:BK29.", 10), TARNVEL_WIN);
    EXPECT_STREQ(text, "Tarnvel v1.3 => win=11  depth=1/1  nodes=2  tbhits=0  time=0      0.0KN/s\n");
    // Every move of the lone king loses: the longest loss is played, result unknown.
    EXPECT_EQ(searchText("W:WK4:BK11,K12.", 10), TARNVEL_UNKNOWN);
    EXPECT_EQ(reported("loss="), 2);
    EXPECT_EQ(position.wk, bitOf(bitOfSquareNumber(8)));
    // A proven win ends the deepening early.
    EXPECT_EQ(searchText("W:WK1,K2,K3:BK32.", 40), TARNVEL_WIN);
    EXPECT_GT(reported("win="), 0);
    int depth = 0;
    ASSERT_EQ(std::sscanf(std::strstr(text, "depth="), "depth=%d", &depth), 1);
    EXPECT_LT(depth, 40);
}

// One legal move: one iteration. None: a loss, position and text left
// alone. Stopped inside the very first node: no report, and the first of
// the crowning-first list is played.
TEST_F(RootSearch, FewOrNoMovesAndAnEarlyStop) {
    EXPECT_EQ(searchText("B:W18,30:B14,1.", 0), TARNVEL_UNKNOWN);
    EXPECT_NE(std::strstr(text, "  depth=1/"), nullptr) << text;
    EXPECT_EQ(positionText(position, 1), "W:W30:B1,23.");
    std::strcpy(text, "untouched");
    gameHistory.length = 0;
    EXPECT_EQ(searchText("W:W3,4:B20,24.", 0), TARNVEL_LOSS);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(positionText(position, 1), "W:W3,4:B20,24.");
    EXPECT_EQ(gameHistory.length, 0u);
    timeBudgetMs = -1;
    clockCheckCounter = CLOCK_CHECK_INTERVAL - 1;
    EXPECT_EQ(searchText("W:W5,30,31,32:B20.", 0), TARNVEL_UNKNOWN);
    EXPECT_TRUE(stopSearch);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(position.wk, bitOf(bitOfSquareNumber(1)));
}

// The report line a host shows, in its value, win and loss forms with
// 64-bit counters, cut to the buffer without writing past it.
TEST(SearchReport, ExactLines) {
    const struct {
        int best;
        uint64_t nodes;
        size_t capacity;
        const char* line;
    } cases[] = {
        {-31999, 12345678901234ull, 256,
         "Tarnvel v1.3 => value=-31999  depth=9/17  nodes=12345678901234  tbhits=3  time=1000  12345678901.2KN/s\n"},
        {SCORE_DECIDED, 10, 256, "Tarnvel v1.3 => win=500  depth=9/17  nodes=10  tbhits=3  time=1000      0.0KN/s\n"},
        {SCORE_GAMEOVER - 7, 10, 256, "Tarnvel v1.3 => win=7  depth=9/17  nodes=10  tbhits=3  time=1000      0.0KN/s\n"},
        {4 - SCORE_GAMEOVER, 5000, 256, "Tarnvel v1.3 => loss=4  depth=9/17  nodes=5000  tbhits=3  time=1000      5.0KN/s\n"},
        {-SCORE_DECIDED, 5, 21, "Tarnvel v1.3 => loss"},
        {0, 1, 1, ""},
    };
    for (const auto& c : cases) {
        char text[300];
        std::memset(text, '#', sizeof text);
        writeSearchReport(text, c.capacity, c.best, 9, 17, c.nodes, 3, 1000);
        EXPECT_STREQ(text, c.line);
        EXPECT_EQ(std::string(text + c.capacity, text + sizeof text), std::string(sizeof text - c.capacity, '#'));
    }
}

// The signature of the search: `tarnvel bench`'s total node count moves
// whenever the search, the evaluation, the move order or the table's use
// changes. Update it only for an intended change of behaviour.
TEST(SearchSignature, FullBenchNodeCount) {
    FILE* pipe = popen(TARNVEL_BINARY_DIR "/tarnvel bench 2>&1", "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    for (char chunk[256]; std::fgets(chunk, sizeof chunk, pipe);) output += chunk;
    EXPECT_EQ(pclose(pipe), 0) << output;
    EXPECT_NE(output.find("31 positions: 31568694 nodes"), std::string::npos) << output;
}

}  // namespace
}  // namespace tarnvel
