#include <gtest/gtest.h>

#include <cstdint>

#include "board/position.h"
#include "eval/evaluate.h"
#include "interface/engine_state.h"
#include "interface/history.h"
#include "interface/postext.h"
#include "search/score.h"
#include "search/search.h"
#include "search/smallending.h"
#include "search/tt.h"

namespace tarnvel {
namespace {

class NodeSearch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ttAllocate(1));
        ttClear();
        stopSearch = false;
        deadline = INT64_MAX / 2;
        playNowFlag = nullptr;
        clockCheckCounter = 0;
        nodeCount = 0;
        selDepth = 0;
        dbConditionalPly = 0;
        rootDbWinPieces = 0;
    }

    static int load(const char* text) {
        int side = 0;
        EXPECT_TRUE(parsePosition(text, &side)) << text;
        return side;
    }
};

TEST_F(NodeSearch, SideWithoutPiecesHasLostAtItsPly) {
    int side = load("W:W:B1.");
    EXPECT_EQ(nodeSearch(-SCORE_INFINITE, SCORE_INFINITE, 3, 6, 0, side), 3 - SCORE_GAMEOVER);
    side = load("B:W5,K9:B.");
    EXPECT_EQ(nodeSearch(-SCORE_INFINITE, SCORE_INFINITE, 7, 6, 0, side), 7 - SCORE_GAMEOVER);
    EXPECT_EQ(nodeCount, 2u);
}

// White men on their crowning row cannot move: a loss in a full-width node,
// a static score in a capture-only node.
TEST_F(NodeSearch, BlockedSideLosesFullWidthButIsEvaluatedBeyondTheHorizon) {
    const int side = load("W:W3,4:B20,24.");
    EXPECT_EQ(nodeSearch(-SCORE_INFINITE, SCORE_INFINITE, 2, 5, 0, side), 2 - SCORE_GAMEOVER);
    EXPECT_EQ(nodeSearch(-SCORE_INFINITE, SCORE_INFINITE, 5, 5, 0, side),
              evaluate(side, -SCORE_INFINITE, SCORE_INFINITE));
}

TEST_F(NodeSearch, TinyEndingsAnswerFromTheirTables) {
    const int side = load("W:WK4:BK29.");
    int expected = 0;
    ASSERT_TRUE(smallEndingScore(side, 4, &expected));
    EXPECT_EQ(nodeSearch(-SCORE_INFINITE, SCORE_INFINITE, 4, 20, 0, side), expected);
    EXPECT_EQ(nodeCount, 1u);
}

// Three kings against one: far from any table, and clearly won.
constexpr const char* WON_POSITION = "W:WK1,K2,K3:BK32.";

TEST_F(NodeSearch, RepetitionNeedsFourReversiblePliesAndTheSameSideToMove) {
    const int side = load(WON_POSITION);
    const uint64_t key = position.key;
    const auto searchWithHistory = [&](uint32_t reversible, uint64_t k0, uint64_t k1) {
        gameHistory.length = 0;
        historyPush(k0);
        historyPush(k1);
        historyPush(1);
        historyPush(2);
        position.reversiblePlies = reversible;
        ttClear();
        return nodeSearch(-SCORE_INFINITE, SCORE_INFINITE, 1, 3, 0, side);
    };
    EXPECT_EQ(searchWithHistory(4, key, 7), 0);   // keys[length − 4]
    EXPECT_GT(searchWithHistory(3, key, 7), 100);  // too short a run to compare
    EXPECT_GT(searchWithHistory(4, 7, key), 100);  // other side to move there
    EXPECT_GT(searchWithHistory(2 * 1000, 7, 8), 100);
}

// However long the claimed run, the walk stays inside the recorded keys
// (AddressSanitizer would catch a read below the array).
TEST_F(NodeSearch, RepetitionWalkStaysInsideTheHistory) {
    const int side = load(WON_POSITION);
    for (uint32_t length = 0; length < 4; ++length) {
        gameHistory.length = 0;
        for (uint32_t i = 0; i < length; ++i) historyPush(100 + i);
        position.reversiblePlies = UINT32_MAX;
        EXPECT_GT(nodeSearch(-SCORE_INFINITE, SCORE_INFINITE, 1, 2, 0, side), 100);
    }
}

TEST_F(NodeSearch, LeavesPositionAndHistoryAsFound) {
    const int side = load("B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.");
    historyPush(42);
    const Position before = position;
    const uint32_t length = gameHistory.length;
    nodeSearch(-SCORE_INFINITE, SCORE_INFINITE, 1, 7, 0, side);
    EXPECT_EQ(position.key, before.key);
    EXPECT_EQ(position.wm, before.wm);
    EXPECT_EQ(position.bm, before.bm);
    EXPECT_EQ(position.wk | position.bk, 0u);
    EXPECT_EQ(position.wcount, before.wcount);
    EXPECT_EQ(position.bcount, before.bcount);
    EXPECT_EQ(position.reversiblePlies, before.reversiblePlies);
    EXPECT_EQ(gameHistory.length, length);
    EXPECT_GE(selDepth, 7u);
}

TEST_F(NodeSearch, StopFlagAndClockEndTheSearch) {
    const int side = load(WON_POSITION);
    stopSearch = true;
    EXPECT_EQ(nodeSearch(-SCORE_INFINITE, SCORE_INFINITE, 1, 5, 0, side), 0);
    EXPECT_EQ(nodeCount, 0u);

    volatile int32_t playNow = 1;
    stopSearch = false;
    playNowFlag = &playNow;
    clockCheckCounter = CLOCK_CHECK_INTERVAL - 2;
    // One entry short of the check the flag is not seen yet.
    EXPECT_GT(nodeSearch(-SCORE_INFINITE, SCORE_INFINITE, 1, 1, 0, side), 100);
    EXPECT_FALSE(stopSearch);
    EXPECT_EQ(nodeSearch(-SCORE_INFINITE, SCORE_INFINITE, 1, 5, 0, side), 0);
    EXPECT_TRUE(stopSearch);
    EXPECT_EQ(clockCheckCounter, 0u);

    stopSearch = false;
    playNow = 0;
    deadline = 0;  // long past
    clockCheckCounter = CLOCK_CHECK_INTERVAL - 1;
    EXPECT_EQ(nodeSearch(-SCORE_INFINITE, SCORE_INFINITE, 1, 5, 0, side), 0);
    EXPECT_TRUE(stopSearch);
}

TEST_F(NodeSearch, TableEntriesDecideOnlyWithEnoughDraft) {
    const int side = load(WON_POSITION);
    const uint64_t key = position.key;
    const auto search = [&](int alpha, int beta) {
        return nodeSearch(alpha, beta, 1, 4, 0, side);  // remaining depth 3
    };
    ttStore(key, 123, 3, BOUND_LOWER, -1);
    EXPECT_EQ(search(-50, 100), 123);
    ttStore(key, -77, 3, BOUND_UPPER, -1);
    EXPECT_EQ(search(-50, 100), -77);
    ttStore(key, 55, 3, BOUND_EXACT, -1);
    EXPECT_EQ(search(-50, 100), 55);
    ttStore(key, 55, DRAFT_DECIDED, BOUND_EXACT, -1);
    EXPECT_EQ(search(-50, 100), 55);
    EXPECT_EQ(nodeCount, 4u);
    // Too shallow: searched, and the result is a real (winning) score.
    ttStore(key, 55, 2, BOUND_EXACT, -1);
    EXPECT_GT(search(-SCORE_INFINITE, SCORE_INFINITE), 200);
}

TEST_F(NodeSearch, StoresTheResultOfAFullWidthNode) {
    const int side = load("B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.");
    const int score = nodeSearch(-SCORE_INFINITE, SCORE_INFINITE, 1, 6, 0, side);
    const TTEntry* entry = ttProbe(position.key);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(ttBound(*entry), BOUND_EXACT);
    EXPECT_EQ(ttDraft(*entry), 5);
    EXPECT_EQ(entry->score, score);
    EXPECT_GE(entry->move, 0);
    EXPECT_LT(entry->move, 7);  // the initial position has 7 moves
}

// A decided result goes into the table as ±32000, valid at every depth.
TEST_F(NodeSearch, StoresDecidedScoresAsDecidedEntries) {
    int side = load(WON_POSITION);
    EXPECT_GE(nodeSearch(-SCORE_INFINITE, SCORE_INFINITE, 1, 12, 0, side), SCORE_DECIDED);
    const TTEntry* entry = ttProbe(position.key);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->score, SCORE_DECIDED);
    EXPECT_EQ(ttDraft(*entry), DRAFT_DECIDED);
    EXPECT_EQ(ttBound(*entry), BOUND_LOWER);

    side = load("B:WK1,K2,K3:BK32.");
    EXPECT_LE(nodeSearch(-SCORE_INFINITE, SCORE_INFINITE, 1, 12, 0, side), -SCORE_DECIDED);
    entry = ttProbe(position.key);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->score, -SCORE_DECIDED);
    EXPECT_EQ(ttDraft(*entry), DRAFT_DECIDED);
    EXPECT_EQ(ttBound(*entry), BOUND_UPPER);
}

}  // namespace
}  // namespace tarnvel
