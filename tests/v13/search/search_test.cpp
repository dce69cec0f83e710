// The node and root searches, the transposition table, the report line.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "board/position.h"
#include "board/squares.h"
#include "egdb/database.h"
#include "egdb/limits.h"
#include "interface/engine_state.h"
#include "interface/history.h"
#include "interface/postext.h"
#include "platform/clock.h"
#include "platform/memory.h"
#include "v13/search/report.h"
#include "v13/search/score.h"
#include "v13/search/search.h"
#include "v13/search/tt.h"
#include "support/board_fixtures.h"
#include "support/built_database.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {
namespace {

constexpr const char* WON = "W:WK1,K2,K3:BK32.";  // far from any table, and clearly won

class Search : public ::testing::Test {
protected:
    char text[TARNVEL_TEXT_CAPACITY] = "untouched";

    void SetUp() override {
        ASSERT_TRUE(ttAllocate(2));
        ASSERT_TRUE(ttAllocate(1));  // a fresh 1 MB table: 131072 entries of 8 bytes
        stopSearch = false;
        deadline = timeBudgetMs = INT64_MAX / 2;
        playNowFlag = nullptr;
        hostText = text;
        clockCheckCounter = nodeCount = selDepth = dbConditionalPly = rootDbWinPieces = gameHistory.length = 0;
    }
    void TearDown() override {
        hostText = nullptr;
        searchDepthLimit = 0;
    }
    static int search(int side, uint32_t ply, uint32_t horizon, int alpha = -SCORE_INFINITE, int beta = SCORE_INFINITE) {
        return nodeSearch(alpha, beta, ply, horizon, 0, side);
    }
    int searchText(const char* position, uint32_t depthLimit) {
        const int side = support::loadText(position);
        searchDepthLimit = depthLimit;
        return rootSearch(side, platform::monotonicMs());
    }
    static std::array<int, 4> fields(uint64_t key) {  // score, draft, bound, move; zeros when absent
        const TTEntry* e = ttProbe(key);
        return e ? std::array<int, 4>{e->score, ttDraft(*e), ttBound(*e), e->move} : std::array<int, 4>{};
    }
    int reported(const char* word) const {  // the number after "win=" or "loss=", or −1
        const char* at = std::strstr(text, word);
        return at ? std::atoi(at + std::strlen(word)) : -1;
    }
};

// A draw needs 4+ reversible plies and the same key with the same side to move.
TEST_F(Search, RepetitionRules) {
    const int side = support::loadText(WON);
    const auto withHistory = [&](uint32_t reversible, std::vector<uint64_t> keys) {
        gameHistory.length = 0;
        for (uint64_t k : keys) historyPush(k);
        position.reversiblePlies = reversible;
        ttClear();
        return search(side, 1, 3);
    };
    EXPECT_EQ(withHistory(4, {position.key, 7, 1, 2}), 0);
    EXPECT_GT(withHistory(3, {position.key, 7, 1, 2}), 100);
    EXPECT_GT(withHistory(4, {7, position.key, 1, 2}), 100);
    for (std::vector<uint64_t> keys; keys.size() <= 4; keys.push_back(100 + keys.size()))
        EXPECT_GT(withHistory(UINT32_MAX, keys), 100);
}

// The play-now word is read every CLOCK_CHECK_INTERVAL node entries (the clock: RootResults).
TEST_F(Search, PlayNowEndsTheSearch) {
    const int side = support::loadText(WON);
    volatile int32_t playNow = 1;
    playNowFlag = &playNow;
    clockCheckCounter = CLOCK_CHECK_INTERVAL - 2;
    EXPECT_GT(search(side, 1, 1), 100);  // one entry short of the check
    EXPECT_FALSE(stopSearch);
    EXPECT_EQ(search(side, 1, 5), 0);
    EXPECT_TRUE(stopSearch);
}

// An entry decides a node only with enough draft; decided results hold at every depth.
TEST_F(Search, TableDraftRule) {
    const int side = support::loadText(WON);
    const std::array<int, 3> entries[] = {
        {123, 3, BOUND_LOWER}, {-77, 3, BOUND_UPPER}, {55, 3, BOUND_EXACT}, {55, DRAFT_DECIDED, BOUND_EXACT}};
    for (const auto& [score, draft, bound] : entries) {
        ttStore(position.key, score, draft, static_cast<uint8_t>(bound), -1);
        EXPECT_EQ(search(side, 1, 4, -50, 100), score);  // remaining depth 3
    }
    EXPECT_EQ(nodeCount, 4u);
    ttStore(position.key, 55, 2, BOUND_EXACT, -1);  // too shallow: searched
    EXPECT_GT(search(side, 1, 4), 200);
    for (const char* text : {WON, "B:WK1,K2,K3:BK32."}) {
        const int sign = support::loadText(text) ? 1 : -1;
        EXPECT_GE(sign * search(sign > 0, 1, 12), SCORE_DECIDED) << text;
        const std::array<int, 4> stored = fields(position.key);
        EXPECT_EQ((std::array{stored[0], stored[1], stored[2]}),
                  (std::array{sign * SCORE_DECIDED, DRAFT_DECIDED, sign > 0 ? 2 : 1}));
    }
}

// The key's low bits pick the slot, its high half must match, a store always replaces;
// the same size keeps the entries, a refused or failed resize keeps the table.
TEST_F(Search, TableMappingAndResize) {
    const uint64_t a = 0xAAAA0000'00012345ull, b = 0xBBBB0000'00012345ull, c = 0xCCCC0000'00002345ull;
    ttStore(a, -32000, DRAFT_DECIDED, BOUND_UPPER, -1);
    ttStore(c, 32000, 0, BOUND_EXACT, 63);
    EXPECT_EQ(fields(a), (std::array{-32000, DRAFT_DECIDED, 1, -1}));
    ttStore(b, 17, 5, BOUND_LOWER, 9);  // same slot as a
    EXPECT_EQ(ttProbe(a), nullptr);
    EXPECT_EQ(fields(b), (std::array{17, 5, 2, 9}));
    EXPECT_TRUE(ttAllocate(1));
    for (const uint32_t megabytes : {0u, 3u, 4u}) {
        platform::failNextAllocations(megabytes == 4);
        EXPECT_FALSE(ttAllocate(megabytes));
        EXPECT_EQ(ttMegabytes, 1u);
    }
    EXPECT_EQ(fields(c), (std::array{32000, 0, 3, 63}));
    EXPECT_TRUE(ttAllocate(2));
    EXPECT_EQ(ttProbe(c), nullptr);
    ttStore(0x00000001'0003FFFFull, 9, 1, BOUND_EXACT, 0);  // the last slot of 2 MB
    EXPECT_EQ(ttEntries[0x3FFFF].score, 9);
}

// Short wins in tiny king endings are reported with their exact distance, and no others.
TEST_F(Search, ReportsExactDistancesOfShortKingWins) {
    std::mt19937 rng(2024);
    int wins = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const reference::Board board = support::kingEnding(rng, 2 + trial % 2);
        support::loadEngine(board, 1);
        gameHistory.length = 0;
        searchDepthLimit = 8;
        const int result = rootSearch(1, platform::monotonicMs());
        int expected = -1;
        for (int plies = 5; plies >= 1; plies -= 2)
            if (reference::forcesWin(board, true, plies)) expected = plies;
        wins += expected > 0;
        const int shortWin = result == TARNVEL_WIN && reported("win=") <= 5 ? reported("win=") : -1;
        EXPECT_EQ(shortWin, expected) << text;
    }
    EXPECT_GT(wins, 10);
}

// A table win; a lost king plays its longest loss; one move: one iteration;
// none: a loss, nothing touched; stopped at once: the first move.
TEST_F(Search, RootResults) {
    EXPECT_EQ(searchText("W:WK4:BK29.", 10), TARNVEL_WIN);
    // Exact up to the time and speed, which follow the clock (a loaded
    // machine can cross a millisecond here).
    const std::string line = text;
    EXPECT_EQ(line.substr(0, line.find("time=")), "Tarnvel v1.3 => win=11  depth=1/1  nodes=2  tbhits=0  ");
    EXPECT_TRUE(line.ends_with("KN/s\n")) << line;
    EXPECT_EQ(searchText("W:WK4:BK11,K12.", 10), TARNVEL_UNKNOWN);
    EXPECT_EQ(reported("loss="), 2);
    EXPECT_EQ(position.wk, bitOf(bitOfSquareNumber(8)));
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

// Roots decided before the depth limit, with the 4-piece database or none.
// Every move lost: the search ends, plays the slowest loss, and says 3 (2
// would tell the host there was no move). A win found ends the search
// too, unless the database calls the root won: then it deepens to the
// limit, so that the way to the win is searched and not only its existence.
TEST_F(Search, RootsDecidedBeforeTheLimit) {
    const std::filesystem::path built = testing::builtDatabase(4), home = std::filesystem::current_path();
    ASSERT_FALSE(built.empty());
    const struct {
        const char* root;
        bool database;
        int result;
        const char* report;
        const char* after;
    } cases[] = {
        {"B:WK1,K2,K3:BK32.", false, TARNVEL_UNKNOWN, "loss=42  depth=10/11", "W:WK1,K2,K3:BK27."},
        {"B:WK1,K2,K3:BK32.", true, TARNVEL_UNKNOWN, "loss=480  depth=1/1", "W:WK1,K2,K3:BK28."},
        {"W:WK14,K15:BK20.", false, TARNVEL_WIN, "win=3  depth=1/1", "B:WK14,K19:BK20."},
        {"W:WK14,K15:BK20.", true, TARNVEL_WIN, "win=3  depth=12/12", "B:WK14,K19:BK20."},
    };
    for (const auto& c : cases) {
        closeDatabase();
        dbPieceLimit = 0;
        if (c.database) {
            std::filesystem::current_path(built);
            dbPieceLimit = static_cast<uint32_t>(openDatabase(16, text));
            std::filesystem::current_path(home);
        }
        ttClear();
        const int side = support::loadText(c.root);
        EXPECT_EQ(searchText(c.root, 12), c.result) << c.root;
        EXPECT_NE(std::strstr(text, c.report), nullptr) << c.root << ": " << text;
        EXPECT_EQ(positionText(position, !side), c.after);
    }
    closeDatabase();
    dbPieceLimit = 0;
    maxPieces = maxPerSide = maxidx = maxBlocks = 0;
}

// The report line in its value form (win and loss forms: RootResults).
TEST(SearchReport, ValueLine) {
    char text[128];
    writeSearchReport(text, sizeof text, -31999, 9, 17, 12345678901234ull, 3, 1000);
    EXPECT_STREQ(text, "Tarnvel v1.3 => value=-31999  depth=9/17  nodes=12345678901234  tbhits=3  time=1000"
                       "  12345678901.2KN/s\n");
}

}  // namespace
}  // namespace tarnvel
