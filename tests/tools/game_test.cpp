// The host's game logic: legal moves and openings against the reference
// rules, position texts, adjudication and the Elo arithmetic.
#include <cmath>
#include <set>

#include "elo.h"
#include "interface/postext.h"
#include "openings.h"
#include "support/board_fixtures.h"
#include "tools/game_support.h"

namespace tarnvel::cli {
namespace {

// The host offers one move per distinct reference result, written in
// notation that parses back to its path; position texts read back.
TEST(HostLegalMoves, AgreeWithReferenceOverRandomGames) {
    std::mt19937 rng(5);
    support::forEachGamePosition(rng, 40, 120, [&](const reference::Board& board, bool white, const auto& expected) {
        const reference::Bitboards b = reference::bitboardsOf(board);
        const Position p{0, b.wm, b.wk, b.bm, b.bk, 0, 0, 0};
        const GameRecord back = gameFrom(positionText(p, white));
        EXPECT_TRUE(samePieces(p, currentPosition(back)) && sideToMove(back) == white);
        std::set<std::array<uint32_t, 4>> want, got;
        for (const reference::Move& m : expected) {
            const reference::Bitboards a = reference::bitboardsOf(reference::play(board, m));
            want.insert({a.wm, a.wk, a.bm, a.bk});
        }
        const std::vector<LegalMove> moves = legalMoves(p, white);
        for (const LegalMove& h : moves) {
            got.insert({h.after.wm, h.after.wk, h.after.bm, h.after.bk});
            EXPECT_EQ(parseMoveSquares(h.notation), h.path);
        }
        EXPECT_EQ(got, want);
        EXPECT_EQ(got.size(), moves.size());
    });
}

// A multi-jump may be written by its ends, with either sign.
TEST(HostMoveInput, ShortCaptures) {
    const GameRecord g = gameFrom("B:W14,22:B10.");
    const std::vector<LegalMove> moves = legalMoves(currentPosition(g), 0);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].notation, "10x17x26");
    for (const char* same : {"10x26", "10-26", "10X17x26"}) EXPECT_EQ(matchMove(moves, parseMoveSquares(same)), std::vector<size_t>{0});
    for (const char* bad : {"10x17", "10x26x", "10--26", "0-26", "10-33"}) EXPECT_TRUE(matchMove(moves, parseMoveSquares(bad)).empty());
}

TEST(HostAdjudication, NoMoveLosesRepetitionAndNoProgressDraw) {
    EXPECT_EQ(adjudicate(gameFrom("B:W18:B.")).reason, "Black has no pieces left");
    EXPECT_EQ(adjudicate(gameFrom("B:W18:B.")).outcome, Outcome::WHITE_WINS);
    EXPECT_EQ(adjudicate(gameFrom("W:W5:B1.")).reason, "White has no legal move");
    EXPECT_EQ(std::string(pdnResult(adjudicate(gameFrom("W:W5:B1.")).outcome)), "2-0");
    GameRecord g = gameFrom("B:WK32,21:BK1,12.");
    for (int ply = 0; ply < 8; ++ply) {
        EXPECT_EQ(adjudicate(g).outcome, Outcome::ONGOING);
        play(g, std::vector<std::string>{"1-5", "32-27", "5-1", "27-32"}[ply % 4]);
    }
    EXPECT_EQ(adjudicate(g).reason, "threefold repetition");
    EXPECT_EQ(std::string(pdnResult(adjudicate(g).outcome)), "1-1");
    takeBack(g);
    EXPECT_EQ(adjudicate(g).outcome, Outcome::ONGOING);
    // 100 reversible plies without a repetition draw; a man move resets.
    g = gameFrom("B:W21,K29:B12,K1.");
    for (int ply = 1; ply <= DRAW_REVERSIBLE_PLIES; ++ply) {
        EXPECT_EQ(adjudicate(g).outcome, Outcome::ONGOING) << ply;
        const int black[] = {1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15}, white[] = {25, 26, 27, 29, 30, 31, 32, 28, 24};
        g.positions.push_back(currentPosition(gameFrom("B:W21,K" + std::to_string(white[ply / 12 % 9]) + ":B12,K" +
                                                       std::to_string(black[ply % 12]) + ".")));
        g.moves.push_back("reversible");
    }
    EXPECT_EQ(adjudicate(g).reason, "50 moves each without a man move or a capture");
    Position manMoved = currentPosition(g);
    manMoved.bm = currentPosition(gameFrom("B:W:B16.")).bm;
    g.positions.push_back(manMoved);
    g.moves.push_back("12-16");
    EXPECT_EQ(adjudicate(g).outcome, Outcome::ONGOING);
}

// The openings: the distinct three-ply positions, each by its listed moves.
TEST(MatchOpenings, AreTheDistinctThreePlyPositions) {
    std::set<std::array<uint32_t, 4>> expected, found;
    const auto visit = [&](const reference::Board& b, int depth, const auto& self) -> void {
        if (depth == 3) {
            const auto s = reference::bitboardsOf(b);
            expected.insert({s.wm, s.wk, s.bm, s.bk});
            return;
        }
        for (const auto& m : reference::legalMoves(b, depth % 2)) self(reference::play(b, m), depth + 1, self);
    };
    visit(support::initialBoard(), 0, visit);
    for (const Opening& o : threePlyOpenings()) {
        found.insert({o.position.wm, o.position.wk, o.position.bm, o.position.bk});
        GameRecord g = newGame(initialPosition(), 0);
        ASSERT_EQ(o.moves.size(), 3u);
        for (const std::string& m : o.moves) play(g, m);
        EXPECT_TRUE(samePieces(currentPosition(g), o.position));
    }
    EXPECT_EQ(found, expected);
    EXPECT_EQ(threePlyOpenings().size(), expected.size());
}

// Score 0.6 with per-game variance (30·0.4² + 10·0.6² + 60·0.1²) / 100 =
// 0.09; swapping the players mirrors everything.
TEST(MatchElo, EstimateAndInterval) {
    EXPECT_NEAR(eloFromScore(0.75), 400 * std::log10(3.0), 1e-9);
    EXPECT_TRUE(std::isinf(eloFromScore(0)) && eloFromScore(0) < 0);
    const double margin = 1.96 * std::sqrt(0.09 / 100);
    const EloEstimate e = eloEstimate(30, 10, 60), mirrored = eloEstimate(10, 30, 60), even = eloEstimate(0, 0, 8);
    EXPECT_NEAR(e.elo, eloFromScore(0.6), 1e-9);
    EXPECT_NEAR(e.low, eloFromScore(0.6 - margin), 1e-9);
    EXPECT_NEAR(e.high, eloFromScore(0.6 + margin), 1e-9);
    EXPECT_NEAR(mirrored.elo, -e.elo, 1e-9);
    EXPECT_NEAR(mirrored.low, -e.high, 1e-9);
    EXPECT_NEAR(mirrored.high, -e.low, 1e-9);
    EXPECT_EQ(std::make_tuple(even.elo, even.low, even.high), std::make_tuple(0.0, 0.0, 0.0));
    EXPECT_TRUE(std::isinf(eloEstimate(4, 0, 0).elo) && std::isinf(eloEstimate(4, 0, 0).high));
    // An even score prints +0.0, not -0.0, and so does a bound just below zero.
    const std::pair<double, const char*> texts[] = {{even.elo, "+0.0"}, {eloFromScore(0.5), "+0.0"}, {-0.04, "+0.0"},
                                                    {-12.34, "-12.3"}, {0.06, "+0.1"}, {-INFINITY, "-inf"}};
    for (const auto& [elo, text] : texts) EXPECT_EQ(formatElo(elo), text) << elo;
}

}  // namespace
}  // namespace tarnvel::cli
