// What a match rests on: the opening list and the Elo arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <tuple>

#include "elo.h"
#include "game.h"
#include "openings.h"
#include "support/board_fixtures.h"
#include "support/reference_board.h"

namespace tarnvel::cli {
namespace {

// The openings are exactly the distinct positions the reference reaches in
// three plies, each reached by its own listed moves.
TEST(MatchOpenings, AreTheDistinctThreePlyPositions) {
    std::set<std::tuple<uint32_t, uint32_t, uint32_t, uint32_t>> expected;
    const reference::Board start = support::initialBoard();
    for (const auto& a : reference::legalMoves(start, false))
        for (const auto& b : reference::legalMoves(reference::play(start, a), true))
            for (const auto& c :
                 reference::legalMoves(reference::play(reference::play(start, a), b), false)) {
                const auto s = reference::bitboardsOf(
                    reference::play(reference::play(reference::play(start, a), b), c));
                expected.insert({s.wm, s.wk, s.bm, s.bk});
            }
    const std::vector<Opening> openings = threePlyOpenings();
    EXPECT_EQ(openings.size(), expected.size());
    std::set<std::tuple<uint32_t, uint32_t, uint32_t, uint32_t>> found;
    for (const Opening& o : openings) {
        found.insert({o.position.wm, o.position.wk, o.position.bm, o.position.bk});
        ASSERT_EQ(o.moves.size(), 3u);
        GameRecord g = newGame(initialPosition(), 0);
        for (const std::string& m : o.moves) {
            const std::vector<LegalMove> moves = legalMoves(currentPosition(g), sideToMove(g));
            const std::vector<size_t> hit = matchMove(moves, parseMoveSquares(m));
            ASSERT_EQ(hit.size(), 1u) << m;
            playMove(g, moves[hit[0]]);
        }
        EXPECT_TRUE(samePieces(currentPosition(g), o.position));
        EXPECT_EQ(sideToMove(g), 1);
    }
    EXPECT_EQ(found, expected);
}

TEST(MatchElo, ScoreToRating) {
    EXPECT_DOUBLE_EQ(eloFromScore(0.5), 0.0);
    EXPECT_NEAR(eloFromScore(0.75), 400 * std::log10(3.0), 1e-9);
    for (double p : {0.01, 0.2, 0.37, 0.5, 0.64, 0.93})
        EXPECT_NEAR(eloFromScore(p), -eloFromScore(1 - p), 1e-9) << p;
    EXPECT_TRUE(std::isinf(eloFromScore(0)) && eloFromScore(0) < 0);
    EXPECT_TRUE(std::isinf(eloFromScore(1)) && eloFromScore(1) > 0);
}

TEST(MatchElo, IntervalAroundTheEstimate) {
    // 30 wins, 10 losses, 60 draws: score 0.6, per-game variance
    // (30·0.4² + 10·0.6² + 60·0.1²) / 100 = 0.09.
    const EloEstimate e = eloEstimate(30, 10, 60);
    EXPECT_DOUBLE_EQ(e.score, 0.6);
    const double margin = 1.96 * std::sqrt(0.09 / 100);
    EXPECT_NEAR(e.elo, eloFromScore(0.6), 1e-9);
    EXPECT_NEAR(e.low, eloFromScore(0.6 - margin), 1e-9);
    EXPECT_NEAR(e.high, eloFromScore(0.6 + margin), 1e-9);

    // Swapping the players mirrors everything.
    const EloEstimate m = eloEstimate(10, 30, 60);
    EXPECT_NEAR(m.elo, -e.elo, 1e-9);
    EXPECT_NEAR(m.low, -e.high, 1e-9);
    EXPECT_NEAR(m.high, -e.low, 1e-9);

    const EloEstimate draws = eloEstimate(0, 0, 8);
    EXPECT_DOUBLE_EQ(draws.elo, 0.0);
    EXPECT_DOUBLE_EQ(draws.low, 0.0);
    EXPECT_DOUBLE_EQ(draws.high, 0.0);

    const EloEstimate sweep = eloEstimate(4, 0, 0);
    EXPECT_TRUE(std::isinf(sweep.elo) && sweep.elo > 0);
    EXPECT_TRUE(std::isinf(sweep.high));
}

}  // namespace
}  // namespace tarnvel::cli
