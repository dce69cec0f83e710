// Tarnvel 2's search: forced wins found at their exact distance, and won
// database endings brought home.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "board/position.h"
#include "interface/engine_state.h"
#include "interface/hostboard.h"
#include "interface/postext.h"
#include "support/board_fixtures.h"
#include "tarnvel/tarnvel.h"
#include "tools/cli_run.h"
#include "v2/interface/engine.h"
#include "v2/search/fixed_depth.h"
#include "v2/search/search.h"

namespace tarnvel::v2 {
namespace {

int reported(const char* text, const char* word) {  // the number after word, or −1
    const char* at = std::strstr(text, word);
    return at ? std::atoi(at + std::strlen(word)) : -1;
}

// Short wins in tiny king endings are reported with their exact distance,
// and no others, also when helper threads share the table.
class Tarnvel2SearchThreads : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { ASSERT_EQ(setSearchThreads(GetParam()), GetParam()); }
    void TearDown() override { setSearchThreads(1); }
};

TEST_P(Tarnvel2SearchThreads, ReportsExactDistancesOfShortKingWins) {
    engineCommand("set hashsize 1", nullptr);  // small tables are quick to set up
    std::mt19937 rng(2025);
    int wins = 0;
    for (int trial = 0; trial < 150; ++trial) {
        const reference::Board board = support::kingEnding(rng, 2 + trial % 2);
        support::loadEngine(board, 1);
        resetSearchMemory();
        SearchLimits limits;
        limits.maxDepth = 6;
        char text[TARNVEL_TEXT_CAPACITY] = "";
        const SearchResult result = searchPosition(position, 1, GameContext{}, limits, text, sizeof text);
        int expected = -1;
        for (int plies = 5; plies >= 1; plies -= 2)
            if (reference::forcesWin(board, true, plies)) expected = plies;
        wins += expected > 0;
        const int shortWin =
            result.resultCode == TARNVEL_WIN && reported(text, "win=") <= 5 ? reported(text, "win=") : -1;
        EXPECT_EQ(shortWin, expected) << text;
    }
    EXPECT_GT(wins, 5);
}

INSTANTIATE_TEST_SUITE_P(OneAndThree, Tarnvel2SearchThreads, ::testing::Values(1, 3));

// With the 4-piece database, won endings are converted playing both sides:
// the winner leaves the loser without a move well inside the 100-ply rule,
// with one search thread and with two probing the database at once.
class Tarnvel2Endings : public testing::FourPieces, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        FourPieces::SetUp();
        ASSERT_EQ(setSearchThreads(GetParam()), GetParam());
    }
    void TearDown() override {
        setSearchThreads(1);
        FourPieces::TearDown();
    }
};

TEST_P(Tarnvel2Endings, WonDatabaseEndingsAreConverted) {
    engineCommand("set hashsize 1", nullptr);  // small tables are quick to set up
    requestedDbMegabytes = activeDbMegabytes + 1;  // (re)open ./db at the next move
    searchDepthLimit = 10;
    for (const char* start : {"W:WK1,K2,K3:BK32.", "W:W22,23:BK12.", "W:W27,K13:BK30.",
                              "B:W30:B6,K10,K14.", "B:WK25:B9,K18,K14."}) {
        int side = 0;
        ASSERT_TRUE(parsePosition(start, &side));
        int host[8][8];
        exportHostBoard(host);
        const int winner = side;
        int plies = 0, result = TARNVEL_UNKNOWN;
        for (; plies < 100; ++plies, side = !side) {
            char text[TARNVEL_TEXT_CAPACITY] = "";
            int playNow = 0;
            result = getMove(host, side ? 1 : 2, 10.0, text, &playNow, plies == 0);
            if (result == TARNVEL_LOSS) break;
            ASSERT_NE(dbPieceLimit, 0u);
        }
        EXPECT_EQ(result, TARNVEL_LOSS) << start;
        EXPECT_NE(side, winner) << start << " lost by the side that was to win";
    }
    searchDepthLimit = 0;
}

INSTANTIATE_TEST_SUITE_P(OneAndTwo, Tarnvel2Endings, ::testing::Values(1, 2));

}  // namespace
}  // namespace tarnvel::v2
