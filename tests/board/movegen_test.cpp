// Exact move lists, in generation order, for hand-built positions. Squares
// are bit indices here.
#include <gtest/gtest.h>

#include <initializer_list>

#include "board/movegen.h"
#include "board/movestack.h"
#include "board/position.h"
#include "support/board_fixtures.h"

namespace tarnvel {
namespace {

using reference::Record;

Bitboard bits(std::initializer_list<int> squares) {
    Bitboard b = 0;
    for (int s : squares) b |= Bitboard{1} << s;
    return b;
}

void place(Bitboard wm, Bitboard wk, Bitboard bm, Bitboard bk) {
    position = Position{0, wm, wk, bm, bk, static_cast<uint32_t>(popCount(wm | wk)),
                        static_cast<uint32_t>(popCount(bm | bk)), 0};
}

Bitboard emptySquares() { return ~(position.wm | position.wk | position.bm | position.bk); }

std::vector<Record> listed() {
    std::vector<Record> out;
    for (uint32_t i = plyBase; i < plyBase + moveCount; ++i)
        out.push_back({moveStack.flags[i], moveStack.to[i], moveStack.cleared[i]});
    return out;
}

std::vector<Record> generated(bool capturesOnly, int whiteToMove) {
    plyBase = 0;
    moveCount = 0;
    const bool found = capturesOnly ? generateCaptures(whiteToMove, emptySquares())
                                    : generateNonCaptures(whiteToMove, emptySquares());
    EXPECT_EQ(found, moveCount != 0);
    return listed();
}

TEST(Movegen, WorkedExampleWhiteCapturesInOrder) {
    place(bits({26}), bits({9}), bits({13, 14, 21, 22}), 0);
    const std::vector<Record> expected = {
        {0x202, bits({25}), bits({9, 13, 21})}, {0x202, bits({27}), bits({9, 13, 22})},
        {0x202, bits({11}), bits({9, 13, 14})}, {0x102, bits({10}), bits({13, 21, 26})},
        {0x102, bits({10}), bits({14, 22, 26})}};
    EXPECT_EQ(generated(true, 1), expected);
    EXPECT_TRUE(captureExists());
}

TEST(Movegen, WorkedExampleNonCapturesAndBlack) {
    place(bits({26}), bits({9}), bits({13, 14, 21, 22}), 0);
    const std::vector<Record> white = {
        {0x200, bits({12}), bits({9})}, {0x200, bits({4}), bits({9})}, {0x200, bits({5}), bits({9})}};
    EXPECT_EQ(generated(false, 1), white);
    const std::vector<Record> black = {{0x401, bits({30}), bits({21, 26})},
                                       {0x401, bits({29}), bits({22, 26})}};
    EXPECT_EQ(generated(true, 0), black);
}

// The king can go round the four men either way and come home: two paths,
// two identical records, none merged.
TEST(Movegen, KingTourGivesTwoIdenticalRecords) {
    place(0, bits({9}), bits({12, 13, 20, 21}), 0);
    const Record tour{0x204, bits({9}), bits({9, 12, 13, 20, 21})};
    EXPECT_EQ(generated(true, 1), (std::vector<Record>{tour, tour}));
}

TEST(Movegen, ManStopsOnCrowningRowKingGoesOn) {
    place(bits({26, 27}), 0, bits({21}), 0);
    EXPECT_EQ(generated(true, 0), (std::vector<Record>{{0x401, bits({30}), bits({21, 26})}}));
    place(bits({26, 27}), 0, 0, bits({21}));
    EXPECT_EQ(generated(true, 0), (std::vector<Record>{{0x802, bits({23}), bits({21, 26, 27})}}));
}

// A white man on 26 with black men on 21 and 13 behind one another, and a
// second black man on 22 giving a one-jump alternative that ends at once.
TEST(Movegen, OnlyCompleteSequencesOfAnyLength) {
    place(bits({26}), 0, bits({21, 13, 22}), 0);
    // 26 over 21 to 17, over 13 to 10; 26 over 22 to 19, then nothing (14 empty).
    EXPECT_EQ(generated(true, 1), (std::vector<Record>{{0x102, bits({10}), bits({13, 21, 26})},
                                                     {0x101, bits({19}), bits({22, 26})}}));
}

TEST(Movegen, MenCaptureForwardOnlyKingsEveryWay) {
    // A white man on 9 with black men on both sides of it, above and below.
    place(bits({9}), 0, bits({4, 5, 13, 12}), 0);
    for (const Record& r : generated(true, 1)) EXPECT_LT(r.to, bits({9})) << r.to;
    place(0, bits({9}), bits({4, 5, 13, 12}), 0);
    EXPECT_EQ(generated(true, 1).size(), 4u);
    // The same for black, upside down.
    place(bits({26, 27, 18, 19}), 0, bits({22}), 0);
    for (const Record& r : generated(true, 0)) EXPECT_GT(r.to, bits({22})) << r.to;
    place(bits({26, 27, 18, 19}), 0, 0, bits({22}));
    EXPECT_EQ(generated(true, 0).size(), 4u);
}

TEST(Movegen, NoCaptureAppendsNothing) {
    place(bits({26}), bits({9}), bits({0}), 0);
    EXPECT_TRUE(generated(true, 1).empty());
    EXPECT_TRUE(generated(true, 0).empty());
    EXPECT_FALSE(captureExists());
}

TEST(Movegen, CaptureExistsForTheSideNotToMoveToo) {
    // Only Black can capture (black man 21 over white man 26 to 30; the
    // white man's own jump back over 21 would land on its partner on 17).
    place(bits({26, 17}), 0, bits({21}), 0);
    EXPECT_TRUE(captureExists());
    EXPECT_TRUE(generated(true, 1).empty());
    // Each of the four terms alone.
    place(0, bits({9}), bits({13}), 0);  // white king jumping up
    EXPECT_TRUE(captureExists());
    place(bits({18, 22}), 0, bits({13}), 0);  // white man jumping down (13 is blocked)
    EXPECT_TRUE(captureExists());
    place(bits({13}), 0, bits({9, 4}), 0);  // black man jumping up (13 is blocked)
    EXPECT_TRUE(captureExists());
    place(bits({13}), 0, 0, bits({18}));  // black king jumping down
    EXPECT_TRUE(captureExists());
    place(bits({13}), 0, bits({18}), 0);  // black man cannot jump down, white man cannot jump up
    EXPECT_FALSE(captureExists());
}

// Pieces on the single corners and the edges never produce moves off the
// board or jumps whose landing square is missing.
TEST(Movegen, EdgesAndCorners) {
    place(0, bits({0}), bits({4}), 0);  // king on bit 0, man on 4, landing 9 empty
    EXPECT_EQ(generated(true, 1), (std::vector<Record>{{0x201, bits({9}), bits({0, 4})}}));
    place(0, bits({31}), bits({27}), 0);
    EXPECT_EQ(generated(true, 1), (std::vector<Record>{{0x201, bits({22}), bits({27, 31})}}));
    place(0, bits({0}), 0, 0);
    EXPECT_EQ(generated(false, 1), (std::vector<Record>{{0x200, bits({4}), bits({0})}}));
    place(0, bits({31}), 0, 0);
    EXPECT_EQ(generated(false, 1), (std::vector<Record>{{0x200, bits({27}), bits({31})}}));
    // A black man on bit 12 (column 1) facing a white man on the side
    // column: the landing square would be off the board.
    place(bits({16}), 0, bits({12}), 0);
    EXPECT_TRUE(generated(true, 0).empty());
    EXPECT_EQ(generated(true, 1), (std::vector<Record>{{0x101, bits({9}), bits({12, 16})}}));
}

}  // namespace
}  // namespace tarnvel
