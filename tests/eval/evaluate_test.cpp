#include "eval/evaluate.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

#include "eval/eval_tables.h"
#include "interface/engine_state.h"
#include "interface/postext.h"
#include "search/score.h"

namespace tarnvel {
namespace {

// A board by standard square number (1–32), as a position text would list it.
enum Piece { NONE, WM, WK, BM, BK };
struct Board {
    std::array<Piece, 33> at{};  // index 0 unused
    bool whiteToMove = true;
};

std::string textOf(const Board& b) {
    std::string text = b.whiteToMove ? "W" : "B";
    for (int colour = 0; colour < 2; ++colour) {
        text += colour == 0 ? ":W" : ":B";
        bool first = true;
        for (int s = 1; s <= 32; ++s) {
            const Piece p = b.at[s];
            const bool mine = colour == 0 ? (p == WM || p == WK) : (p == BM || p == BK);
            if (!mine) continue;
            if (!first) text += ',';
            first = false;
            if (p == WK || p == BK) text += 'K';
            text += std::to_string(s);
        }
    }
    return text + ".";
}

int evaluateText(const std::string& text, int alpha = -SCORE_INFINITE, int beta = SCORE_INFINITE) {
    int side = 0;
    EXPECT_TRUE(parsePosition(text.c_str(), &side)) << text;
    return evaluate(side, alpha, beta);
}

std::string reportOf(const std::string& text, int* score = nullptr) {
    int side = 0;
    EXPECT_TRUE(parsePosition(text.c_str(), &side)) << text;
    char report[1024];
    const int s = evaluate(side, -SCORE_INFINITE, SCORE_INFINITE, report, sizeof report);
    if (score) *score = s;
    return report;
}

std::string expectedReport(const char* side, int material, int defense, int attack, int score,
                           const char* egtb) {
    return std::string("Tarnvel v1.3's evaluation with ") + side + " to move:\n\nmaterial = " +
           std::to_string(material) + "\ndefense  = " + std::to_string(defense) +
           "\nattack   = " + std::to_string(attack) + "\nSCORE    = " + std::to_string(score) +
           "\nEGTB     = " + egtb + "\n";
}

// A slow evaluation written from the rules of the terms, square by square.
int rowOfSquare(int s) { return (s - 1) / 4; }

int materialOf(const Board& b) {
    int white = 0, black = 0;
    for (int s = 1; s <= 32; ++s) {
        if (b.at[s] == WM) white += 100;
        if (b.at[s] == WK) white += 134;
        if (b.at[s] == BM) black += 100;
        if (b.at[s] == BK) black += 134;
    }
    if (white == black) return 0;
    const int d = white - black;
    return d + 256 * d / (white + black);
}

int referenceEvaluate(const Board& b) {
    const auto is = [&](int s, Piece p) { return b.at[s] == p; };
    const auto white = [&](int s) { return is(s, WM) || is(s, WK); };
    const auto black = [&](int s) { return is(s, BM) || is(s, BK); };
    const int material = materialOf(b);

    const int whiteBack[16] = {0, 3, 3, 6, 3, 21, 6, 27, -3, 0, 3, 6, 0, 12, 3, 24};
    const int blackBack[16] = {0, -3, 3, 0, 3, 3, 6, 3, 3, 0, 21, 12, 6, 6, 27, 24};
    const int wIndex = is(32, WM) | is(31, WM) << 1 | is(30, WM) << 2 | is(29, WM) << 3;
    const int bIndex = is(4, BM) | is(3, BM) << 1 | is(2, BM) << 2 | is(1, BM) << 3;
    int defense = whiteBack[wIndex] - blackBack[bIndex];
    if (is(32, WM) && (is(27, WM) || is(28, WM))) defense += 3;
    if (is(1, BM) && (is(5, BM) || is(6, BM))) defense -= 3;

    int attack = 0;
    for (int s : {10, 11, 14, 15, 18, 19, 22, 23}) attack += 2 * white(s) - 2 * black(s);
    for (int s : {1, 2, 3, 4, 5, 12, 13, 20, 21, 28, 29, 30, 31, 32})
        attack += 3 * black(s) - 3 * white(s);
    if (is(13, WM) && is(9, BM)) attack += 3;
    if (is(20, BM) && is(24, WM)) attack -= 3;
    if (is(4, WK) && is(3, BM)) attack -= 26;
    if (is(29, BK) && is(30, WM)) attack += 26;

    int whites = 0, blacks = 0, onOddRows = 0, whiteAdv = 0, blackAdv = 0;
    for (int s = 1; s <= 32; ++s) {
        whites += white(s);
        blacks += black(s);
        if ((white(s) || black(s)) && rowOfSquare(s) % 2 == 1) ++onOddRows;
        if (is(s, WM) && rowOfSquare(s) >= 1 && rowOfSquare(s) <= 6) whiteAdv += 7 - rowOfSquare(s);
        if (is(s, BM)) blackAdv += rowOfSquare(s);
    }
    const int total = whites + blacks;
    if (whites == blacks && total <= 14) {
        const int m = 24 - total;
        if (b.whiteToMove) attack += onOddRows % 2 ? m : -m;
        else attack += (total - onOddRows) % 2 ? -m : m;
    }
    if (total >= 16) defense -= whiteAdv - blackAdv;
    if (total <= 12) attack += whiteAdv - blackAdv;
    const int score = material + defense + attack;
    return b.whiteToMove ? score : -score;
}

// Positions with any number of pieces each; men never on their crowning
// row unless allowed.
Board randomBoard(std::mt19937& rng, bool menOnCrowningRows = false) {
    Board b;
    b.whiteToMove = rng() % 2;
    const int whites = rng() % 13, blacks = rng() % 13;
    for (int colour = 0; colour < 2; ++colour)
        for (int placed = 0; placed < (colour ? blacks : whites);) {
            const int s = 1 + rng() % 32;
            if (b.at[s] != NONE) continue;
            const bool king = rng() % 4 == 0;
            const bool crowningRow = colour == 0 ? s <= 4 : s >= 29;
            if (!king && crowningRow && !menOnCrowningRows) continue;
            b.at[s] = colour == 0 ? (king ? WK : WM) : (king ? BK : BM);
            ++placed;
        }
    return b;
}

// The board turned by half a turn with the colours swapped and the other
// side to move: the same game seen from the other chair.
Board twinOf(const Board& b) {
    Board t;
    t.whiteToMove = !b.whiteToMove;
    const Piece swapped[] = {NONE, BM, BK, WM, WK};
    for (int s = 1; s <= 32; ++s) t.at[33 - s] = swapped[b.at[s]];
    return t;
}

TEST(EvaluateExamples, SingleCornerMenWithBlackToMove) {
    int score = 0;
    EXPECT_EQ(reportOf("B:W29:B4.", &score), expectedReport("black", 0, 0, 22, 22, "unknown"));
    EXPECT_EQ(score, 22);
}

TEST(EvaluateExamples, InitialArrangementCancelsForEitherSide) {
    for (const char* side : {"W", "B"}) {
        int score = 1;
        const std::string text =
            std::string(side) +
            ":W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.";
        EXPECT_EQ(reportOf(text, &score),
                  expectedReport(side[0] == 'W' ? "white" : "black", 0, 0, 0, 0, "unknown"));
        EXPECT_EQ(score, 0);
    }
}

TEST(EvaluateExamples, SixAgainstSixWithKings) {
    int score = 0;
    EXPECT_EQ(reportOf("B:W18,24,27,28,K10,K15:B12,16,20,K22,K25,K29.", &score),
              expectedReport("black", 40, 0, 7, 47, "unknown"));
    EXPECT_EQ(score, 47);
    EXPECT_EQ(reportOf("W:W18,24,27,28,K10,K15:B12,16,20,K22,K25,K29.", &score),
              expectedReport("white", -40, 0, 17, -23, "unknown"));
    EXPECT_EQ(score, -23);
}

TEST(EvaluateExamples, Material) {
    EXPECT_NE(reportOf("W:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11.")
                  .find("material = 111\n"),
              std::string::npos);
    EXPECT_NE(reportOf("W:W18:B.").find("material = 356\n"), std::string::npos);
    EXPECT_NE(reportOf("B:W18:B.").find("material = -356\n"), std::string::npos);
}

TEST(EvaluateExamples, EmptyBoardHasOnlyTheMoveTerm) {
    int score = 0;
    EXPECT_EQ(reportOf("W:W:B.", &score), expectedReport("white", 0, 0, -24, -24, "game over"));
    EXPECT_EQ(score, -24);
    EXPECT_EQ(reportOf("B:W:B.", &score), expectedReport("black", 0, 0, -24, -24, "game over"));
    EXPECT_EQ(score, -24);
}

TEST(EvaluateTables, FlatArrays) {
    const std::array<int, 16> black = {0, -3, 3, 0, 3, 3, 6, 3, 3, 0, 21, 12, 6, 6, 27, 24};
    EXPECT_EQ(backRankBlack, black);
    const std::array<int, 16> row7 = {0, 7, 7, 14, 7, 14, 14, 21, 7, 14, 14, 21, 14, 21, 21, 28};
    EXPECT_EQ(advanceTable[7], row7);
    EXPECT_EQ(advanceTable[0], (std::array<int, 16>{}));
}

TEST(EvaluateRandom, AgreesWithSlowReference) {
    std::mt19937 rng(11);
    for (int i = 0; i < 20000; ++i) {
        const Board b = randomBoard(rng, true);
        ASSERT_EQ(evaluateText(textOf(b)), referenceEvaluate(b)) << textOf(b);
    }
}

TEST(EvaluateRandom, ColourReversedTwinScoresTheSame) {
    std::mt19937 rng(12);
    for (int i = 0; i < 20000; ++i) {
        const Board b = randomBoard(rng);
        ASSERT_EQ(evaluateText(textOf(b)), evaluateText(textOf(twinOf(b)))) << textOf(b);
    }
}

TEST(EvaluateRandom, LazyExitExactlyWhenMaterialIsFarOutsideTheWindow) {
    std::mt19937 rng(13);
    int lazy = 0, full = 0;
    for (int i = 0; i < 20000; ++i) {
        const Board b = randomBoard(rng);
        const int m = b.whiteToMove ? materialOf(b) : -materialOf(b);
        const int alpha = m - 700 + static_cast<int>(rng() % 1000);
        const int beta = alpha + 1 + static_cast<int>(rng() % 400);
        const std::string text = textOf(b);
        const int result = evaluateText(text, alpha, beta);
        if (m + 300 < alpha || m - 300 > beta) {
            ASSERT_EQ(result, m) << text << " window " << alpha << " " << beta;
            ++lazy;
        } else {
            ASSERT_EQ(result, evaluateText(text)) << text << " window " << alpha << " " << beta;
            ++full;
        }
    }
    EXPECT_GT(lazy, 1000);
    EXPECT_GT(full, 1000);
}

TEST(EvaluateLazy, MaterialAheadBelowAlpha) {
    // White 150 ahead by material (two kings against one man plus change):
    // positional terms are skipped when alpha is out of reach.
    int side = 0;
    ASSERT_TRUE(parsePosition("W:WK1,K5:B28.", &side));
    const int full = evaluate(side, -SCORE_INFINITE, SCORE_INFINITE);
    const int material = 268 - 100 + 256 * 168 / 368;
    EXPECT_EQ(evaluate(side, material + 301, SCORE_INFINITE), material);
    EXPECT_EQ(evaluate(side, material + 300, SCORE_INFINITE), full);
    EXPECT_EQ(evaluate(side, -SCORE_INFINITE, material - 301), material);
    EXPECT_EQ(evaluate(side, -SCORE_INFINITE, material - 300), full);
    EXPECT_NE(full, material);
}

TEST(EvaluateReport, DatabaseWords) {
    const uint32_t savedLimit = dbPieceLimit;
    dbPieceLimit = 8;
    // A capture on the board (for either side) makes the verdict "wild".
    EXPECT_NE(reportOf("B:W18:B14.").find("EGTB     = wild\n"), std::string::npos);
    EXPECT_NE(reportOf("B:W18:B15.").find("EGTB     = wild\n"),
              std::string::npos);  // White's capture
    EXPECT_NE(reportOf("W:W18:B1.").find("EGTB     = unknown\n"), std::string::npos);
    EXPECT_NE(reportOf("W:W18:B.").find("EGTB     = game over\n"), std::string::npos);
    dbPieceLimit = 1;
    EXPECT_NE(reportOf("B:W18:B14.").find("EGTB     = unknown\n"), std::string::npos);
    dbPieceLimit = savedLimit;
}

TEST(EvaluateReport, BoundedByCapacity) {
    int side = 0;
    ASSERT_TRUE(parsePosition("B:W29:B4.", &side));
    char report[40];
    std::fill(std::begin(report), std::end(report), 'x');
    EXPECT_EQ(evaluate(side, -SCORE_INFINITE, SCORE_INFINITE, report, 16), 22);
    EXPECT_STREQ(report, "Tarnvel v1.3's ");
    EXPECT_EQ(report[16], 'x');
    EXPECT_EQ(evaluate(side, -SCORE_INFINITE, SCORE_INFINITE, report + 20, 0), 22);
    EXPECT_EQ(report[20], 'x');
}

}  // namespace
}  // namespace tarnvel
