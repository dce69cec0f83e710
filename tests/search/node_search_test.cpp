#include <gtest/gtest.h>

#include <cstdint>

#include "board/position.h"
#include "eval/evaluate.h"
#include "interface/engine_state.h"
#include "interface/history.h"
#include "search/score.h"
#include "search/search.h"
#include "search/smallending.h"
#include "search/tt.h"
#include "support/board_fixtures.h"

namespace tarnvel {
namespace {

constexpr const char* INITIAL = "B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.";
// Three kings against one: far from any table, and clearly won.
constexpr const char* WON = "W:WK1,K2,K3:BK32.";

class NodeSearch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ttAllocate(1));
        ttClear();
        stopSearch = false;
        deadline = INT64_MAX / 2;
        playNowFlag = nullptr;
        clockCheckCounter = nodeCount = selDepth = dbConditionalPly = rootDbWinPieces = 0;
        gameHistory.length = 0;
    }
    static int search(int side, uint32_t ply, uint32_t horizon, int alpha = -SCORE_INFINITE,
                      int beta = SCORE_INFINITE) {
        return nodeSearch(alpha, beta, ply, horizon, 0, side);
    }
};

// No piece or no move is a loss at the node's ply in a full-width node; a
// blocked side beyond the horizon gets its static score; the tiny endings
// answer from their tables without searching.
TEST_F(NodeSearch, EndsOfTheGame) {
    EXPECT_EQ(search(support::loadText("W:W:B1."), 3, 6), 3 - SCORE_GAMEOVER);
    EXPECT_EQ(search(support::loadText("B:W5,K9:B."), 7, 6), 7 - SCORE_GAMEOVER);
    EXPECT_EQ(nodeCount, 2u);
    const int blocked = support::loadText("W:W3,4:B20,24.");  // men on their crowning row
    EXPECT_EQ(search(blocked, 2, 5), 2 - SCORE_GAMEOVER);
    EXPECT_EQ(search(blocked, 5, 5), evaluate(blocked, -SCORE_INFINITE, SCORE_INFINITE));
    const int tiny = support::loadText("W:WK4:BK29.");
    int expected = 0;
    ASSERT_TRUE(smallEndingScore(tiny, 4, &expected));
    nodeCount = 0;
    EXPECT_EQ(search(tiny, 4, 20), expected);
    EXPECT_EQ(nodeCount, 1u);
}

// A draw needs at least four reversible plies and the same position with
// the same side to move four plies back; the walk stays inside the
// recorded keys however long the claimed run (the sanitizer watches).
TEST_F(NodeSearch, RepetitionRules) {
    const int side = support::loadText(WON);
    const uint64_t key = position.key;
    const auto withHistory = [&](uint32_t reversible, std::vector<uint64_t> keys) {
        gameHistory.length = 0;
        for (uint64_t k : keys) historyPush(k);
        position.reversiblePlies = reversible;
        ttClear();
        return search(side, 1, 3);
    };
    EXPECT_EQ(withHistory(4, {key, 7, 1, 2}), 0);
    EXPECT_GT(withHistory(3, {key, 7, 1, 2}), 100);  // too short a run to compare
    EXPECT_GT(withHistory(4, {7, key, 1, 2}), 100);  // the other side to move there
    EXPECT_GT(withHistory(2000, {7, 8, 1, 2}), 100);
    for (std::vector<uint64_t> keys; keys.size() < 4; keys.push_back(100 + keys.size()))
        EXPECT_GT(withHistory(UINT32_MAX, keys), 100);
}

TEST_F(NodeSearch, LeavesPositionAndHistoryAsFound) {
    const int side = support::loadText(INITIAL);
    historyPush(42);
    const Position before = position;
    search(side, 1, 7);
    EXPECT_EQ(position.key, before.key);
    EXPECT_EQ(position.wm, before.wm);
    EXPECT_EQ(position.bm, before.bm);
    EXPECT_EQ(position.wk | position.bk, 0u);
    EXPECT_EQ(position.wcount + 100 * position.bcount, before.wcount + 100 * before.bcount);
    EXPECT_EQ(position.reversiblePlies, before.reversiblePlies);
    EXPECT_EQ(gameHistory.length, 1u);
    EXPECT_GE(selDepth, 7u);
}

// The stop flag ends a search at once; the play-now word and the clock are
// read every CLOCK_CHECK_INTERVAL node entries.
TEST_F(NodeSearch, StopFlagPlayNowAndClockEndTheSearch) {
    const int side = support::loadText(WON);
    stopSearch = true;
    EXPECT_EQ(search(side, 1, 5), 0);
    EXPECT_EQ(nodeCount, 0u);

    volatile int32_t playNow = 1;
    stopSearch = false;
    playNowFlag = &playNow;
    clockCheckCounter = CLOCK_CHECK_INTERVAL - 2;
    EXPECT_GT(search(side, 1, 1), 100);  // one entry short of the check
    EXPECT_FALSE(stopSearch);
    EXPECT_EQ(search(side, 1, 5), 0);
    EXPECT_TRUE(stopSearch);
    EXPECT_EQ(clockCheckCounter, 0u);

    stopSearch = false;
    playNow = 0;
    deadline = 0;  // long past
    clockCheckCounter = CLOCK_CHECK_INTERVAL - 1;
    EXPECT_EQ(search(side, 1, 5), 0);
    EXPECT_TRUE(stopSearch);
}

// An entry decides a node only with enough draft (decided entries always).
TEST_F(NodeSearch, TableEntriesDecideOnlyWithEnoughDraft) {
    const int side = support::loadText(WON);
    const struct {
        int score, draft;
        uint8_t bound;
    } entries[] = {{123, 3, BOUND_LOWER}, {-77, 3, BOUND_UPPER}, {55, 3, BOUND_EXACT}, {55, DRAFT_DECIDED, BOUND_EXACT}};
    for (const auto& e : entries) {
        ttStore(position.key, e.score, e.draft, e.bound, -1);
        EXPECT_EQ(search(side, 1, 4, -50, 100), e.score);  // remaining depth 3
    }
    EXPECT_EQ(nodeCount, 4u);
    ttStore(position.key, 55, 2, BOUND_EXACT, -1);  // too shallow: searched
    EXPECT_GT(search(side, 1, 4), 200);
}

// A full-width result is stored with its draft and best move; a decided one
// as ±SCORE_DECIDED valid at every depth.
TEST_F(NodeSearch, StoresResults) {
    int side = support::loadText(INITIAL);
    const int score = search(side, 1, 6);
    const TTEntry* entry = ttProbe(position.key);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(ttBound(*entry), BOUND_EXACT);
    EXPECT_EQ(ttDraft(*entry), 5);
    EXPECT_EQ(entry->score, score);
    EXPECT_GE(entry->move, 0);
    EXPECT_LT(entry->move, 7);  // the initial position has 7 moves

    for (const char* text : {WON, "B:WK1,K2,K3:BK32."}) {
        side = support::loadText(text);
        const int sign = side ? 1 : -1;
        EXPECT_GE(sign * search(side, 1, 12), SCORE_DECIDED) << text;
        entry = ttProbe(position.key);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->score, sign * SCORE_DECIDED);
        EXPECT_EQ(ttDraft(*entry), DRAFT_DECIDED);
        EXPECT_EQ(ttBound(*entry), side ? BOUND_LOWER : BOUND_UPPER);
    }
}

}  // namespace
}  // namespace tarnvel
