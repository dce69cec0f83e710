// The host's game logic against the independent reference rules: legal
// moves and their notation, what a person may type, adjudication.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "game.h"
#include "interface/postext.h"
#include "support/board_fixtures.h"
#include "support/reference_board.h"

namespace tarnvel::cli {
namespace {

Position fromReference(const reference::Board& board) {
    const reference::Bitboards b = reference::bitboardsOf(board);
    Position p{};
    p.wm = b.wm, p.wk = b.wk, p.bm = b.bm, p.bk = b.bk;
    return p;
}

reference::Bitboards setsOf(const Position& p) { return {p.wm, p.wk, p.bm, p.bk}; }

// Standard number of a reference square, written out from the numbering
// rule (row r holds squares 4r+1 … 4r+4; on the host array columns run the
// other way).
int standardNumber(reference::Square s) { return 4 * s.row + 4 - s.column / 2; }

Position parsed(const char* text, int& side) {
    Position p{};
    std::string error;
    EXPECT_TRUE(parseFen(text, p, side, error)) << text << ": " << error;
    return p;
}

GameRecord gameFrom(const char* text) {
    int side = 0;
    const Position start = parsed(text, side);
    return newGame(start, side);
}

TEST(HostFen, ReadsRangesKingsAndBlanks) {
    int side = -1;
    const Position initial = initialPosition();
    EXPECT_TRUE(samePieces(parsed("B:W21-32:B1-12", side), initial));
    EXPECT_EQ(side, 0);
    const Position p = parsed(" W : W 18 , K10 : B12,K22,K25 . ", side);
    EXPECT_EQ(side, 1);
    EXPECT_EQ(positionText(p, side), "W:WK10,18:B12,K22,K25.");
    EXPECT_EQ(p.wcount, 2u);
    EXPECT_EQ(p.bcount, 3u);
}

TEST(HostFen, RefusesWhatNoPositionCanBe) {
    for (const char* bad : {"", "X:W1:B2", "B:W33:B1", "B:W0:B1", "B:W5:B5", "B:W3-1:B9",
                            "B:W1:B2.x", "B:W1;B2", "B:W1:B2-40", "B:W999999999999:B1"}) {
        Position p{};
        int side = 0;
        std::string error;
        EXPECT_FALSE(parseFen(bad, p, side, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

// positionText and parseFen are each other's inverse on any placement.
TEST(HostFen, RoundTripsRandomPositions) {
    std::mt19937 rng(11);
    for (int i = 0; i < 500; ++i) {
        const Position p = fromReference(support::randomPlacement(rng, 0.4, 0.3));
        const int side = static_cast<int>(rng() % 2);
        Position q{};
        int back = -1;
        std::string error;
        ASSERT_TRUE(parseFen(positionText(p, side), q, back, error)) << error;
        EXPECT_TRUE(samePieces(p, q));
        EXPECT_EQ(back, side);
    }
}

// Every reference move's result is reached by exactly one host move whose
// path starts and ends on the reference's squares and whose notation
// parses back to that path; nothing else is offered.
TEST(HostLegalMoves, AgreeWithReferenceOverRandomGames) {
    std::mt19937 rng(5);
    size_t checked = 0;
    support::forEachGamePosition(
        rng, 40, 120,
        [&](const reference::Board& board, bool white,
            const std::vector<reference::Move>& expected) {
            const std::vector<LegalMove> moves = legalMoves(fromReference(board), white);
            std::set<std::tuple<uint32_t, uint32_t, uint32_t, uint32_t>> results;
            for (const reference::Move& m : expected) {
                const reference::Bitboards after =
                    reference::bitboardsOf(reference::play(board, m));
                results.insert({after.wm, after.wk, after.bm, after.bk});
                const auto hit = std::count_if(moves.begin(), moves.end(), [&](const LegalMove& h) {
                    return setsOf(h.after) == after;
                });
                ASSERT_EQ(hit, 1);
                const LegalMove& h =
                    *std::find_if(moves.begin(), moves.end(),
                                  [&](const LegalMove& x) { return setsOf(x.after) == after; });
                EXPECT_EQ(h.path.front(), standardNumber(m.from));
                EXPECT_EQ(h.path.back(), standardNumber(m.to));
                EXPECT_EQ(h.path.size(), m.captured.empty() ? 2u : m.captured.size() + 1);
                EXPECT_EQ(parseMoveSquares(h.notation), h.path);
                EXPECT_EQ(h.notation.find(m.captured.empty() ? 'x' : '-'), std::string::npos);
                ++checked;
            }
            EXPECT_EQ(moves.size(), results.size());
        });
    EXPECT_GT(checked, 1000u);
}

// A position and its colour-reversed twin have mirrored moves: square s
// becomes 33 − s.
TEST(HostLegalMoves, MirrorUnderColourReversal) {
    std::mt19937 rng(8);
    for (int i = 0; i < 300; ++i) {
        const reference::Board board = support::randomPlacement(rng, 0.35, 0.4);
        const bool white = rng() % 2;
        std::set<std::vector<int>> paths, twinPaths;
        for (const LegalMove& m : legalMoves(fromReference(board), white)) {
            std::vector<int> mirrored;
            for (int s : m.path) mirrored.push_back(33 - s);
            paths.insert(mirrored);
        }
        for (const LegalMove& m :
             legalMoves(fromReference(reference::colourReversed(board)), !white))
            twinPaths.insert(m.path);
        EXPECT_EQ(paths.size(), twinPaths.size());
        // Of two jump orders only one path is kept, so compare end squares.
        std::set<std::pair<int, int>> ends, twinEnds;
        for (const auto& p : paths) ends.insert({p.front(), p.back()});
        for (const auto& p : twinPaths) twinEnds.insert({p.front(), p.back()});
        EXPECT_EQ(ends, twinEnds);
    }
}

TEST(HostMoveInput, ParsesWrittenMoves) {
    EXPECT_EQ(parseMoveSquares("11-15"), (std::vector<int>{11, 15}));
    EXPECT_EQ(parseMoveSquares("15x24x31"), (std::vector<int>{15, 24, 31}));
    EXPECT_EQ(parseMoveSquares("1X10"), (std::vector<int>{1, 10}));
    for (const char* bad : {"", "11", "11-", "-15", "11--15", "0-4", "11-33", "111-15", "11:15",
                            "a-b", "11-15 ", "1x10x"})
        EXPECT_TRUE(parseMoveSquares(bad).empty()) << bad;
}

// Every plain move of the opening, written out, names exactly itself.
TEST(HostMoveInput, MatchesEveryOpeningMoveExactly) {
    const std::vector<LegalMove> moves = legalMoves(initialPosition(), 0);
    ASSERT_EQ(moves.size(), 7u);
    for (size_t i = 0; i < moves.size(); ++i)
        EXPECT_EQ(matchMove(moves, parseMoveSquares(moves[i].notation)), std::vector<size_t>{i});
    for (const char* illegal : {"12-15", "11-18", "21-17", "9x18", "15-11"})
        EXPECT_TRUE(matchMove(moves, parseMoveSquares(illegal)).empty()) << illegal;
}

// A multi-jump may be written by its ends; when two captures share both
// ends the short form is ambiguous and only the full path decides.
TEST(HostMoveInput, ShortCapturesAndAmbiguity) {
    int side = 0;
    const Position single = parsed("B:W14,22:B10.", side);
    std::vector<LegalMove> moves = legalMoves(single, side);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].notation, "10x17x26");
    EXPECT_EQ(matchMove(moves, parseMoveSquares("10x26")), std::vector<size_t>{0});
    EXPECT_EQ(matchMove(moves, parseMoveSquares("10-26")), std::vector<size_t>{0});
    EXPECT_TRUE(matchMove(moves, parseMoveSquares("10x17")).empty());

    // Kings among many pieces give captures that share both ends.
    std::mt19937 rng(3);
    bool sawAmbiguity = false;
    for (int i = 0; i < 20000 && !sawAmbiguity; ++i) {
        const reference::Board board = support::randomPlacement(rng, 0.45, 0.8);
        const bool white = rng() % 2;
        moves = legalMoves(fromReference(board), white);
        for (size_t a = 0; a < moves.size() && !sawAmbiguity; ++a)
            for (size_t b = a + 1; b < moves.size(); ++b) {
                if (moves[a].path.front() != moves[b].path.front() ||
                    moves[a].path.back() != moves[b].path.back() || moves[a].path.size() < 3 ||
                    moves[b].path.size() < 3)
                    continue;
                const std::vector<int> ends = {moves[a].path.front(), moves[a].path.back()};
                const std::vector<size_t> both = matchMove(moves, ends);
                EXPECT_GE(both.size(), 2u);
                EXPECT_EQ(matchMove(moves, moves[a].path), std::vector<size_t>{a});
                EXPECT_EQ(matchMove(moves, moves[b].path), std::vector<size_t>{b});
                sawAmbiguity = true;
                break;
            }
    }
    EXPECT_TRUE(sawAmbiguity);
}

TEST(HostAdjudication, SideWithoutMovesLoses) {
    // Black has no piece; then White blocked in its corner.
    GameRecord g = gameFrom("B:W18:B.");
    EXPECT_EQ(adjudicate(g).outcome, Outcome::WHITE_WINS);
    EXPECT_EQ(adjudicate(g).reason, "Black has no pieces left");
    g = gameFrom("W:W5:B1.");
    EXPECT_EQ(adjudicate(g).outcome, Outcome::BLACK_WINS);
    EXPECT_EQ(adjudicate(g).reason, "White has no legal move");
    EXPECT_STREQ(pdnResult(Outcome::BLACK_WINS), "2-0");
    EXPECT_STREQ(pdnResult(Outcome::WHITE_WINS), "0-2");
    EXPECT_STREQ(pdnResult(Outcome::DRAW), "1-1");
    EXPECT_STREQ(pdnResult(Outcome::ONGOING), "*");
}

void play(GameRecord& g, const char* written) {
    const std::vector<LegalMove> moves = legalMoves(currentPosition(g), sideToMove(g));
    const std::vector<size_t> m = matchMove(moves, parseMoveSquares(written));
    ASSERT_EQ(m.size(), 1u) << written;
    playMove(g, moves[m[0]]);
}

TEST(HostAdjudication, ThirdRepetitionDraws) {
    GameRecord g = gameFrom("B:WK32,21:BK1,12.");
    const char* cycle[] = {"1-5", "32-27", "5-1", "27-32"};
    for (int round = 0; round < 2; ++round)
        for (const char* m : cycle) {
            EXPECT_EQ(adjudicate(g).outcome, Outcome::ONGOING);
            play(g, m);
        }
    EXPECT_EQ(adjudicate(g).outcome, Outcome::DRAW);
    EXPECT_EQ(adjudicate(g).reason, "threefold repetition");
    takeBack(g);
    EXPECT_EQ(adjudicate(g).outcome, Outcome::ONGOING);
}

// Records built directly: 100 plies that keep every man and piece count
// draw; an irreversible ply starts the count again.
TEST(HostAdjudication, FiftyMovesEachWithoutProgressDraw) {
    int side = 0;
    const Position start = parsed("B:W21,K29:B12,K1.", side);
    auto shifted = [&](int n) {
        // The two kings visit distinct square pairs; the men stay.
        const int black[] = {1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15};
        const int white[] = {25, 26, 27, 29, 30, 31, 32, 28, 24};
        const std::string text = "B:W21,K" + std::to_string(white[n / 12 % 9]) + ":B12,K" +
                                 std::to_string(black[n % 12]) + ".";
        int ignored = 0;
        return parsed(text.c_str(), ignored);
    };
    GameRecord g = newGame(start, side);
    for (int ply = 1; ply <= DRAW_REVERSIBLE_PLIES; ++ply) {
        EXPECT_EQ(adjudicate(g).outcome, Outcome::ONGOING) << ply;
        g.positions.push_back(shifted(ply));
        g.moves.push_back("reversible");
    }
    EXPECT_EQ(adjudicate(g).outcome, Outcome::DRAW);
    EXPECT_EQ(adjudicate(g).reason, "50 moves each without a man move or a capture");
    Position manMoved = currentPosition(g);
    manMoved.bm = parsed("B:W:B16.", side).bm;
    g.positions.push_back(manMoved);
    g.moves.push_back("12-16");
    EXPECT_EQ(adjudicate(g).outcome, Outcome::ONGOING);
}

}  // namespace
}  // namespace tarnvel::cli
