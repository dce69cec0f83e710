// The node search and the transposition table it relies on.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <unordered_map>

#include "board/position.h"
#include "eval/evaluate.h"
#include "interface/engine_state.h"
#include "interface/history.h"
#include "platform/memory.h"
#include "search/score.h"
#include "search/search.h"
#include "search/smallending.h"
#include "search/tt.h"
#include "support/board_fixtures.h"

namespace tarnvel {
namespace {

constexpr const char* WON = "W:WK1,K2,K3:BK32.";  // far from any table, and clearly won

class NodeSearch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ttAllocate(2));
        ASSERT_TRUE(ttAllocate(1));  // a fresh 1 MB table: 131072 entries of 8 bytes
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

// No piece or no move loses at the node's ply in a full-width node; beyond
// the horizon a blocked side gets its static score; the tiny endings
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

// A draw needs four reversible plies or more and the same key, same side to
// move, four plies back; the walk stays inside the recorded keys however
// long the claimed run (the sanitizer watches).
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
    EXPECT_GT(withHistory(3, {key, 7, 1, 2}), 100);
    EXPECT_GT(withHistory(4, {7, key, 1, 2}), 100);
    EXPECT_GT(withHistory(2000, {7, 8, 1, 2}), 100);
    for (std::vector<uint64_t> keys; keys.size() < 4; keys.push_back(100 + keys.size()))
        EXPECT_GT(withHistory(UINT32_MAX, keys), 100);
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

// An entry decides a node only with enough draft (decided entries always);
// a decided result is stored as ±SCORE_DECIDED valid at every depth.
TEST_F(NodeSearch, TableDraftRule) {
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
        const TTEntry* entry = ttProbe(position.key);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->score, sign * SCORE_DECIDED);
        EXPECT_EQ(ttDraft(*entry), DRAFT_DECIDED);
        EXPECT_EQ(ttBound(*entry), sign > 0 ? BOUND_LOWER : BOUND_UPPER);
    }
}

// Random stores, probes and a clear against a model of a directly mapped
// table, indexed by the key's low bits and checked by its high half.
TEST_F(NodeSearch, TableIsDirectlyMapped) {
    std::unordered_map<uint32_t, std::array<int64_t, 5>> model;  // key, score, draft, bound, move
    std::mt19937_64 rng(5);
    for (int i = 0; i < 200000; ++i) {
        // Few low halves, so slots are shared often; some high halves zero, like an empty slot's.
        const uint64_t key = (rng() & 0xFFFFFFFF00000000ull) * (rng() % 8 != 0) | (rng() % 4096) * 977;
        const uint32_t slot = static_cast<uint32_t>(key) % 131072;
        if (i == 100000) {
            ttClear();
            model.clear();
        }
        if (rng() % 2) {
            const int score = static_cast<int>(rng() % 64001) - 32000, draft = static_cast<int>(rng() % 64);
            const int bound = static_cast<int>(1 + rng() % 3), move = static_cast<int>(rng() % 65) - 1;
            ttStore(key, score, draft, static_cast<uint8_t>(bound), move);
            const std::array<int64_t, 5> s = {static_cast<int64_t>(key), score, draft, bound, move};
            model[slot] = s;
            continue;
        }
        const TTEntry* e = ttProbe(key);
        const auto it = model.find(slot);
        const std::array<int64_t, 5> s = it != model.end() ? it->second : std::array<int64_t, 5>{};
        ASSERT_EQ(e != nullptr, static_cast<uint64_t>(s[0]) >> 32 == key >> 32) << i;
        if (!e) continue;
        EXPECT_EQ((std::array<int64_t, 5>{s[0], e->score, ttDraft(*e), ttBound(*e), e->move}), s);
    }
}

// The same size keeps the entries, a new size discards them; a refused or
// failed resize says why and keeps the table; without a table nothing is found.
TEST_F(NodeSearch, TableResize) {
    const uint64_t key = 0x1234567890ABCDEFull;
    ttStore(key, 55, 3, BOUND_EXACT, 2);
    EXPECT_TRUE(ttAllocate(1));
    ASSERT_NE(ttProbe(key), nullptr);
    EXPECT_EQ(ttProbe(key)->score, 55);
    const std::pair<uint32_t, const char*> refused[] = {
        {0, "no power of two entries 0\n"}, {3, "no power of two entries 393216\n"}, {4, "out of memory\n"}};
    for (const auto& [megabytes, message] : refused) {
        platform::failNextAllocations(megabytes == 4);
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(ttAllocate(megabytes));
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), message);
        EXPECT_EQ(ttMegabytes, 1u);
        ASSERT_NE(ttProbe(key), nullptr);
    }
    EXPECT_TRUE(ttAllocate(2));
    EXPECT_EQ(ttProbe(key), nullptr);
    ttStore(0x00000001'0003FFFFull, 9, 1, BOUND_EXACT, 0);  // the last slot of 2 MB
    EXPECT_EQ(ttEntries[0x3FFFF].score, 9);
    TTEntry* const table = ttEntries;
    ttEntries = nullptr;
    ttStore(0x00000001'0003FFFFull, 1, 1, BOUND_EXACT, 1);
    EXPECT_EQ(ttProbe(0x00000001'0003FFFFull), nullptr);
    ttClear();
    ttEntries = table;
}

}  // namespace
}  // namespace tarnvel
