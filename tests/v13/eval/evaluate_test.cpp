#include "v13/eval/evaluate.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>

#include "board/position.h"
#include "interface/engine_state.h"
#include "v13/search/score.h"
#include "support/board_fixtures.h"

namespace tarnvel {
namespace {

using reference::Board;
using enum reference::Cell;

// A slow evaluation from the terms' rules, by square numbers 1–32, from White's view.
struct Terms {
    int material, defense, attack;
};

Terms referenceTerms(const Board& b, bool whiteToMove) {
    const auto is = [&](int s, int piece) {
        const reference::Square q = reference::squareOfBit(4 * ((s - 1) / 4) + 3 - (s - 1) % 4);
        return b.cell[q.column][q.row] == piece;
    };
    const auto white = [&](int s) { return is(s, WHITE_MAN) || is(s, WHITE_KING); };
    const auto black = [&](int s) { return is(s, BLACK_MAN) || is(s, BLACK_KING); };
    int wMaterial = 0, bMaterial = 0, whites = 0, blacks = 0, onOddRows = 0, advance = 0;
    for (int s = 1; s <= 32; ++s) {
        const int row = (s - 1) / 4;
        wMaterial += 100 * is(s, WHITE_MAN) + 134 * is(s, WHITE_KING);
        bMaterial += 100 * is(s, BLACK_MAN) + 134 * is(s, BLACK_KING);
        whites += white(s);
        blacks += black(s);
        onOddRows += (white(s) || black(s)) && row % 2 == 1;
        advance += (is(s, WHITE_MAN) && row >= 1 && row <= 6) * (7 - row) - is(s, BLACK_MAN) * row;
    }
    const int d = wMaterial - bMaterial;
    Terms t{d == 0 ? 0 : d + 256 * d / (wMaterial + bMaterial), 0, 0};
    const int whiteBack[16] = {0, 3, 3, 6, 3, 21, 6, 27, -3, 0, 3, 6, 0, 12, 3, 24};
    const int blackBack[16] = {0, -3, 3, 0, 3, 3, 6, 3, 3, 0, 21, 12, 6, 6, 27, 24};
    const auto backRow = [&](int piece, int a, int b, int c, int d) {
        return is(a, piece) | is(b, piece) << 1 | is(c, piece) << 2 | is(d, piece) << 3;
    };
    t.defense = whiteBack[backRow(WHITE_MAN, 32, 31, 30, 29)] - blackBack[backRow(BLACK_MAN, 4, 3, 2, 1)];
    t.defense += 3 * (is(32, WHITE_MAN) && (is(27, WHITE_MAN) || is(28, WHITE_MAN)));
    t.defense -= 3 * (is(1, BLACK_MAN) && (is(5, BLACK_MAN) || is(6, BLACK_MAN)));
    for (int s : {10, 11, 14, 15, 18, 19, 22, 23}) t.attack += 2 * white(s) - 2 * black(s);
    for (int s : {1, 2, 3, 4, 5, 12, 13, 20, 21, 28, 29, 30, 31, 32}) t.attack += 3 * black(s) - 3 * white(s);
    t.attack += 3 * (is(13, WHITE_MAN) && is(9, BLACK_MAN)) - 3 * (is(20, BLACK_MAN) && is(24, WHITE_MAN));
    t.attack += 26 * (is(29, BLACK_KING) && is(30, WHITE_MAN)) - 26 * (is(4, WHITE_KING) && is(3, BLACK_MAN));
    const int total = whites + blacks;
    if (whites == blacks && total <= 14)
        t.attack += (whiteToMove ? onOddRows % 2 == 1 : (total - onOddRows) % 2 == 0) ? 24 - total : total - 24;
    if (total >= 16) t.defense -= advance;
    if (total <= 12) t.attack += advance;
    return t;
}

int referenceScore(const Board& b, bool whiteToMove) {
    const Terms t = referenceTerms(b, whiteToMove);
    return (whiteToMove ? 1 : -1) * (t.material + t.defense + t.attack);
}

int engineScore(const Board& b, bool whiteToMove, int alpha = -SCORE_INFINITE, int beta = SCORE_INFINITE) {
    support::loadEngine(b, whiteToMove);
    return evaluate(whiteToMove, alpha, beta);
}

// Against the reference (material only when 300 outside the window) and the colour-reversed twin.
TEST(Evaluate, AgreesWithSlowReferenceAndColourReversedTwin) {
    std::mt19937 rng(11);
    int lazy = 0;
    for (int i = 0; i < 30000; ++i) {
        Board b = support::randomPlacement(rng, (i % 10) / 9.0, (i % 5) / 4.0);
        const int score = referenceScore(b, i & 1), m = (i & 1 ? 1 : -1) * referenceTerms(b, i & 1).material;
        const int alpha = m - 700 + static_cast<int>(rng() % 1000), beta = alpha + 1 + static_cast<int>(rng() % 400);
        const bool outside = m + 300 < alpha || m - 300 > beta;
        ASSERT_EQ(engineScore(b, i & 1), score) << i;
        ASSERT_EQ(engineScore(b, i & 1, alpha, beta), outside ? m : score) << alpha << " " << beta;
        lazy += outside;
        for (int c = 0; c < 8; ++c) {
            if (b.cell[c][0] == WHITE_MAN) b.cell[c][0] = EMPTY;
            if (b.cell[c][7] == BLACK_MAN) b.cell[c][7] = EMPTY;
        }
        ASSERT_EQ(engineScore(b, i & 1), engineScore(reference::colourReversed(b), !(i & 1))) << i;
    }
    EXPECT_GT(lazy, 1000);
    EXPECT_LT(lazy, 28000);
}

// The terms from the mover's view and the database's word (a pending capture: "wild").
TEST(Evaluate, ReportText) {
    const std::tuple<const char*, uint32_t, const char*> cases[] = {{"B:W29:B4.", 0, "unknown"},
                 {"W:W18,24,27,28,K10,K15:B12,16,20,K22,K25,K29.", 0, "unknown"}, {"B:W:B.", 8, "game over"},
                 {"B:W18:B14.", 8, "wild"}, {"W:W18:B1.", 8, "unknown"}, {"B:W18:B14.", 1, "unknown"}};
    const uint32_t savedLimit = dbPieceLimit;
    for (const auto& [text, pieceLimit, word] : cases) {
        const int side = support::loadText(text);
        const Board b = reference::boardOf({position.wm, position.wk, position.bm, position.bk});
        const Terms t = referenceTerms(b, side);
        const int sign = side ? 1 : -1;
        dbPieceLimit = pieceLimit;
        char report[1024];
        const int score = evaluate(side, -SCORE_INFINITE, SCORE_INFINITE, report, sizeof report);
        EXPECT_EQ(score, referenceScore(b, side)) << text;
        EXPECT_EQ(report, std::string("Tarnvel v1.3's evaluation with ") + (side ? "white" : "black") +
                              " to move:\n\nmaterial = " + std::to_string(sign * t.material) +
                              "\ndefense  = " + std::to_string(sign * t.defense) +
                              "\nattack   = " + std::to_string(sign * t.attack) +
                              "\nSCORE    = " + std::to_string(score) + "\nEGTB     = " + word + "\n");
    }
    dbPieceLimit = savedLimit;
    EXPECT_EQ(referenceScore(reference::boardOf({0x80000000, 0, 0x1, 0}), false), 22);  // B:W29:B4.
}

}  // namespace
}  // namespace tarnvel
