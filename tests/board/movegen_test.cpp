// The engine's move lists and makeMove against the reference model; perft counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <random>

#include "board/movegen.h"
#include "board/movestack.h"
#include "board/notation.h"
#include "board/perft.h"
#include "board/position.h"
#include "interface/history.h"
#include "interface/postext.h"
#include "support/board_fixtures.h"

namespace tarnvel {
namespace {

using reference::Record;

std::vector<Record> sorted(std::vector<Record> records) {
    std::sort(records.begin(), records.end());
    return records;
}

// The squares a reference move visits (standard numbers: square 1 is bit 3), origin first.
std::vector<int> pathOf(const reference::Move& move) {
    const auto number = [](reference::Square s) { return 4 * s.row + 4 - s.column / 2; };
    std::vector<int> path{number(move.from)};
    reference::Square at = move.from;
    for (const reference::Square& c : move.captured) {
        at = {2 * c.column - at.column, 2 * c.row - at.row};
        path.push_back(number(at));
    }
    if (move.captured.empty()) path.push_back(number(move.to));
    return path;
}

// The list record for record, the capture test, every move's path and every move made.
void agrees(const reference::Board& board, bool white, uint32_t ply, int& kingMultiJumps) {
    const std::vector<reference::Move> moves = reference::legalMoves(board, white);
    const std::vector<Record> expected = reference::legalRecords(board, white);
    support::loadEngine(board, white);
    const Position before = position;
    const std::string where = positionText(position, white);
    const std::vector<Record> got = support::engineRecords(white, ply);
    ASSERT_EQ(sorted(got), sorted(expected)) << where;
    const std::vector<Record> theirs = reference::legalRecords(board, !white);
    const auto jumps = [](const std::vector<Record>& list) { return !list.empty() && (list[0].flags & 0xFF); };
    EXPECT_EQ(captureExists(), jumps(expected) || jumps(theirs)) << where;  // for either side
    for (uint32_t i = 0; i < got.size(); ++i) {
        position = before;
        position.reversiblePlies = 5;
        gameHistory.length = 0;
        const std::vector<int> path = movePath(before, plyBase + i);
        size_t at = 0;  // a reference move with the same record and path
        while (at < moves.size() && (expected[at] != got[i] || pathOf(moves[at]) != path)) ++at;
        ASSERT_LT(at, moves.size()) << where << " path of move " << i;
        makeMove(plyBase + i);
        const reference::Bitboards sets = reference::bitboardsOf(reference::play(board, moves[at]));
        ASSERT_EQ((reference::Bitboards{position.wm, position.wk, position.bm, position.bk}), sets) << where << i;
        ASSERT_EQ(position.key, keyFromScratch(position, !white)) << where << " move " << i;
        ASSERT_EQ(position.wcount, static_cast<uint32_t>(std::popcount(sets.wm | sets.wk)));
        ASSERT_EQ(position.bcount, static_cast<uint32_t>(std::popcount(sets.bm | sets.bk)));
        const bool reversible = (got[i].flags & 0xA00) && !(got[i].flags & 0xFF);
        ASSERT_EQ(position.reversiblePlies, reversible ? 6u : 0u) << where << " move " << i;
        ASSERT_EQ(gameHistory.length, 1u);
        ASSERT_EQ(gameHistory.keys[0], before.key);
    }
    for (const Record& r : expected) kingMultiJumps += (r.flags & 0xFF) >= 2 && (r.flags & 0xA00);
}

// Every density, men only to kings only: every piece kind stands on every square.
TEST(MovegenReference, RandomPlacements) {
    std::mt19937 rng(7);
    int kingMultiJumps = 0;
    for (int i = 0; i < 40000 && !HasFailure(); ++i)
        agrees(support::randomPlacement(rng, 0.15 + 0.7 * (i % 10) / 9.0, (i / 10 % 5) / 4.0), i & 1,
               i % MOVE_STACK_PLIES, kingMultiJumps);
    EXPECT_GT(kingMultiJumps, 6000) << "kings' multi-jumps seen";
}

// A list stays inside its ply's block, all else untouched (these boards: 34 captures, 49 moves).
TEST(MoveList, IsCutAtTheBlockEnd) {
    constexpr uint32_t SENTINEL = 0xDEADBEEF, ply = 5, base = MOVES_PER_PLY * ply, end = base + MOVES_PER_PLY + 8;
    for (const reference::Bitboards sets : {reference::Bitboards{0, 0x0A00000A, 0x00F0F0F0, 0}, {0, 0x0F0F0F0F, 0, 0}})
        for (uint32_t already : {0u, 30u, 40u, 63u, 64u}) {
            support::loadEngine(reference::boardOf(sets), 1);
            const std::vector<Record> full = support::engineRecords(1, ply);
            for (uint32_t* array : {moveStack.flags, moveStack.to, moveStack.cleared})
                std::fill(array + base, array + end, SENTINEL);
            plyBase = base;
            moveCount = already;
            sets.bm ? generateCaptures(1, ~(sets.wk | sets.bm)) : generateNonCaptures(1, ~sets.wk);
            ASSERT_EQ(moveCount, std::min<uint32_t>(MOVES_PER_PLY, already + full.size())) << already;
            for (uint32_t* array : {moveStack.flags, moveStack.to, moveStack.cleared})
                EXPECT_EQ(std::count(array + base, array + end, SENTINEL), end - base - (moveCount - already)) << already;
        }
}

// Perft from the initial arrangement leaves the position and history as found.
TEST(Perft, InitialPosition) {
    const uint64_t expected[] = {7, 49, 302, 1469, 7361, 36768, 179740, 845931, 3963680};
    gameHistory.length = 0;
    for (int depth = 1; depth <= 9; ++depth) {
        support::loadEngine(support::initialBoard(), 0);
        EXPECT_EQ(perft(depth, 0), expected[depth - 1]) << "depth " << depth;
        EXPECT_EQ(position.key, keyFromScratch(position, 0));
        EXPECT_EQ(position.wm ^ position.bm, 0xFFF00FFFu);
        EXPECT_EQ(gameHistory.length, 0u);
    }
}

}  // namespace
}  // namespace tarnvel
