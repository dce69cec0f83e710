// Square numbering, direction tables and the whole-board step formulas,
// checked square by square against plain column/row arithmetic.
#include <gtest/gtest.h>

#include <random>

#include "board/bitboard.h"
#include "board/movegen.h"
#include "board/squares.h"
#include "support/reference_board.h"

namespace tarnvel {
namespace {

// {dColumn, dRow} for up-left, up-right, down-left, down-right.
constexpr int STEP[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};

Bitboard bitAt(int column, int row) {
    if (!reference::isPlayable(column, row)) return 0;
    return Bitboard{1} << reference::bitOf(column, row);
}

Bitboard neighbourAt(int bit, int d, int distance) {
    const reference::Square s = reference::squareOfBit(bit);
    return bitAt(s.column + distance * STEP[d][0], s.row + distance * STEP[d][1]);
}

TEST(Geometry, SquareNumberTableAndInverse) {
    const int expected[32] = {4,  3,  2,  1,  8,  7,  6,  5,  12, 11, 10, 9,  16, 15, 14, 13,
                              20, 19, 18, 17, 24, 23, 22, 21, 28, 27, 26, 25, 32, 31, 30, 29};
    for (int bit = 0; bit < 32; ++bit) {
        EXPECT_EQ(squareNumber[bit], expected[bit]) << bit;
        EXPECT_EQ(bitOfSquareNumber(squareNumber[bit]), bit);
        const reference::Square s = reference::squareOfBit(bit);
        EXPECT_EQ(columnOf(bit), s.column);
        EXPECT_EQ(rowOf(bit), s.row);
    }
    EXPECT_EQ(bitOfSquareNumber(1), 3);
    EXPECT_EQ(columnOf(3), 6);
    EXPECT_EQ(rowOf(3), 0);
    EXPECT_EQ(bitOfSquareNumber(32), 28);
    EXPECT_EQ(columnOf(28), 1);
    EXPECT_EQ(rowOf(28), 7);
}

TEST(Geometry, DirectionTablesMatchColumnRowSteps) {
    for (int s = 0; s < 32; ++s)
        for (int d = 0; d < 4; ++d) {
            const Bitboard over = neighbourAt(s, d, 1);
            EXPECT_EQ(Neighbour[d][s], over) << "square " << s << " dir " << d;
            EXPECT_EQ(Jump[d][s], over ? neighbourAt(s, d, 2) : 0) << "square " << s << " dir " << d;
        }
}

// Rows of the table printed with the rules (bit indices; -1 for none).
TEST(Geometry, DirectionTableSampleRows) {
    const int rows[][9] = {{0, -1, 4, -1, -1, -1, 9, -1, -1},   {3, 6, 7, -1, -1, 10, -1, -1, -1},
                           {4, 8, 9, 0, 1, -1, 13, -1, -1},     {7, 11, -1, 3, -1, 14, -1, -1, -1},
                           {8, -1, 12, -1, 4, -1, 17, -1, 1},   {13, 17, 18, 9, 10, 20, 22, 4, 6},
                           {27, 30, 31, 22, 23, -1, -1, 18, -1}, {31, -1, -1, 27, -1, -1, -1, 22, -1}};
    for (const auto& r : rows)
        for (int d = 0; d < 4; ++d) {
            EXPECT_EQ(Neighbour[d][r[0]], r[1 + d] < 0 ? 0 : bitOf(r[1 + d])) << r[0] << " " << d;
            EXPECT_EQ(Jump[d][r[0]], r[5 + d] < 0 ? 0 : bitOf(r[5 + d])) << r[0] << " " << d;
        }
}

TEST(Geometry, SingleCorners) {
    EXPECT_EQ(stepDown(bitOf(0)), 0u);
    EXPECT_EQ(stepUp(bitOf(0)), bitOf(4));
    EXPECT_EQ(stepDown(bitOf(31)), bitOf(27));
    EXPECT_EQ(stepUp(bitOf(31)), 0u);
}

Bitboard slowStep(Bitboard set, bool up) {
    Bitboard out = 0;
    for (int s = 0; s < 32; ++s)
        if (set & bitOf(s))
            for (int d = up ? 0 : 2; d < (up ? 2 : 4); ++d) out |= neighbourAt(s, d, 1);
    return out;
}

// Pieces of p that can jump over a piece of q onto a square of e.
Bitboard slowJumpers(Bitboard p, Bitboard q, Bitboard e, bool up) {
    Bitboard out = 0;
    for (int s = 0; s < 32; ++s)
        if (p & bitOf(s))
            for (int d = up ? 0 : 2; d < (up ? 2 : 4); ++d)
                if ((neighbourAt(s, d, 1) & q) && (neighbourAt(s, d, 2) & e) && neighbourAt(s, d, 1))
                    out |= bitOf(s);
    return out;
}

TEST(Geometry, SetWideStepsAndJumpSetsAreExact) {
    for (int s = 0; s < 32; ++s) {
        EXPECT_EQ(stepUp(bitOf(s)), slowStep(bitOf(s), true)) << s;
        EXPECT_EQ(stepDown(bitOf(s)), slowStep(bitOf(s), false)) << s;
        EXPECT_EQ(up4(bitOf(s)) | upX(bitOf(s)), stepUp(bitOf(s)));
        EXPECT_EQ(down4(bitOf(s)) | downX(bitOf(s)), stepDown(bitOf(s)));
    }
    std::mt19937 rng(3);
    for (int i = 0; i < 20000; ++i) {
        const Bitboard p = rng(), q = rng() & rng(), e = rng() | rng();
        ASSERT_EQ(stepUp(p), slowStep(p, true));
        ASSERT_EQ(stepDown(p), slowStep(p, false));
        ASSERT_EQ(jumpersUp(p, q, e), slowJumpers(p, q, e, true)) << p << " " << q << " " << e;
        ASSERT_EQ(jumpersDown(p, q, e), slowJumpers(p, q, e, false)) << p << " " << q << " " << e;
    }
}

}  // namespace
}  // namespace tarnvel
