// Tarnvel 2's table: what is stored comes back, game ends at their own
// distance, and the static evaluation survives a later store that has none.
#include <gtest/gtest.h>

#include <cstdint>

#include "v2/search/score.h"
#include "v2/search/tt.h"

namespace tarnvel::v2 {
namespace {

constexpr uint64_t KEY = 0x1234'5678'9ABC'DEF0ull;

class Tarnvel2Table : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(table.resize(1)); table.clear(); }
    TranspositionTable table;
};

TEST_F(Tarnvel2Table, StoresAndAdjustsGameEndsToTheProbingPly) {
    struct Case { int score, storePly, probePly, expected; };
    const Case cases[] = {
        {37, 5, 9, 37},
        {-250, 2, 0, -250},
        {SCORE_MATE - 20, 6, 10, SCORE_MATE - 24},   // a win 14 plies from the node
        {-(SCORE_MATE - 20), 6, 2, -(SCORE_MATE - 16)},
    };
    for (const Case& c : cases) {
        table.clear();
        table.store(KEY, c.score, 41, 7, BOUND_LOWER, 3, c.storePly);
        const ProbeResult r = table.probe(KEY, c.probePly);
        ASSERT_TRUE(r.hit);
        EXPECT_EQ(r.score, c.expected) << c.score;
        EXPECT_EQ(r.eval, 41);
        EXPECT_EQ(r.depth, 7);
        EXPECT_EQ(r.bound, BOUND_LOWER);
        EXPECT_EQ(r.move, 3);
        EXPECT_FALSE(table.probe(KEY ^ (uint64_t{1} << 60), c.probePly).hit);
    }
}

TEST_F(Tarnvel2Table, KeepsTheEvaluationAndMoveWhenALaterStoreHasNone) {
    EXPECT_EQ(table.probe(KEY, 0).eval, TT_NO_EVAL);
    table.store(KEY, 10, -123, 4, BOUND_UPPER, 2, 0);
    table.store(KEY, 15, TT_NO_EVAL, 6, BOUND_EXACT, -1, 0);
    ProbeResult r = table.probe(KEY, 0);
    EXPECT_EQ(r.score, 15);
    EXPECT_EQ(r.eval, -123);
    EXPECT_EQ(r.move, 2);
    // An evaluation too large for the entry is not kept rounded.
    table.clear();
    table.store(KEY, 10, 40000, 4, BOUND_UPPER, 2, 0);
    EXPECT_EQ(table.probe(KEY, 0).eval, TT_NO_EVAL);
}

}  // namespace
}  // namespace tarnvel::v2
