// A move list must stay inside its ply's block of MOVES_PER_PLY records.
// The longest lists found for real boards stay well below the bound (see
// WorstKnownBoardsFit), so the cut itself is driven by starting a list
// that already holds records, which is where a longer list would run.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "board/movegen.h"
#include "board/movestack.h"
#include "board/position.h"
#include "support/board_fixtures.h"

namespace tarnvel {
namespace {

using reference::Record;

constexpr uint32_t SENTINEL = 0xDEADBEEF;

void load(Bitboard wm, Bitboard wk, Bitboard bm, Bitboard bk, int whiteToMove) {
    support::loadEngine(reference::boardOf({wm, wk, bm, bk}), whiteToMove);
}

// Kings in a lattice of men with every landing square free give the
// longest capture lists a search over many thousands of boards found (34
// records); kings on every other row give the most plain moves (49, one
// per diagonal adjacency of the board). Both, and their colour-reversed
// twins, are listed in full.
TEST(MoveListBound, WorstKnownBoardsFit) {
    const reference::Bitboards boards[] = {{0, 0x0A00000A, 0x00F0F0F0, 0}, {0, 0x0F0F0F0F, 0, 0}};
    const size_t sizes[] = {34, 49};
    for (int i = 0; i < 2; ++i)
        for (int twin = 0; twin < 2; ++twin) {
            const reference::Board board =
                twin ? reference::colourReversed(reference::boardOf(boards[i])) : reference::boardOf(boards[i]);
            const int side = !twin;
            const std::vector<Record> expected = reference::legalRecords(board, side);
            support::loadEngine(board, side);
            EXPECT_EQ(support::sorted(support::engineRecords(side)), support::sorted(expected));
            EXPECT_EQ(expected.size(), sizes[i]);
        }
}

// Generates into `ply` with `already` records taken; checks the count, the
// kept records (the first ones of the full list, in order) and that the
// next entries of all three arrays are untouched.
void checkCut(uint32_t ply, uint32_t already, int whiteToMove, bool captures) {
    const std::vector<Record> full = support::engineRecords(whiteToMove, ply);
    ASSERT_EQ(full.empty(), false);
    const uint32_t base = MOVES_PER_PLY * ply;
    // The entries just past the block: the next block, or for the last
    // block the start of the next parallel array (past the last array the
    // sanitizer watches).
    std::vector<uint32_t*> after = {moveStack.to, moveStack.cleared};
    if (ply + 1 < MOVE_STACK_PLIES)
        after = {moveStack.flags + base + MOVES_PER_PLY, moveStack.to + base + MOVES_PER_PLY,
                 moveStack.cleared + base + MOVES_PER_PLY};
    for (uint32_t* p : after) std::fill(p, p + 8, SENTINEL);
    std::fill(moveStack.flags + base, moveStack.flags + base + already, SENTINEL);

    plyBase = base;
    moveCount = already;
    const Bitboard empty = ~(position.wm | position.wk | position.bm | position.bk);
    captures ? generateCaptures(whiteToMove, empty) : generateNonCaptures(whiteToMove, empty);

    const uint32_t kept = std::min<uint32_t>(MOVES_PER_PLY, already + full.size());
    EXPECT_EQ(moveCount, kept);
    for (uint32_t i = 0; i < already; ++i) EXPECT_EQ(moveStack.flags[base + i], SENTINEL);
    for (uint32_t i = already; i < kept; ++i) {
        const Record r{moveStack.flags[base + i], moveStack.to[base + i], moveStack.cleared[base + i]};
        EXPECT_EQ(r, full[i - already]) << "entry " << i;
    }
    for (uint32_t* p : after)
        for (int i = 0; i < 8; ++i) EXPECT_EQ(p[i], SENTINEL) << "entry " << i << " past the block";
}

TEST(MoveListBound, CaptureListsAreCutAtTheBlockEnd) {
    load(0, 0x0A00000A, 0x00F0F0F0, 0, 1);
    for (uint32_t ply : {0u, 5u, MOVE_STACK_PLIES - 1})
        for (uint32_t already : {0u, 30u, 40u, 63u, 64u}) {
            SCOPED_TRACE(::testing::Message() << "ply " << ply << ", " << already << " taken");
            checkCut(ply, already, 1, true);
        }
}

TEST(MoveListBound, NonCaptureListsAreCutAtTheBlockEnd) {
    load(0, 0x0F0F0F0F, 0, 0, 1);
    for (uint32_t ply : {0u, MOVE_STACK_PLIES - 1})
        for (uint32_t already : {0u, 40u, 63u, 64u}) {
            SCOPED_TRACE(::testing::Message() << "ply " << ply << ", " << already << " taken");
            checkCut(ply, already, 1, false);
        }
}

}  // namespace
}  // namespace tarnvel
