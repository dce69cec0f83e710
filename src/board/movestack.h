// Move records, the per-ply move lists of a search, and making a move.
#pragma once

#include <cstdint>

#include "board/bitboard.h"
#include "board/position.h"

namespace tarnvel {

// A move record is three 32-bit fields kept in parallel arrays:
//   flags   bits 0–7   pieces captured (0 for a plain move)
//           bits 8–11  kind of the moving piece, exactly one KIND_* bit
//           bits 12–31 zero
//   to      one bit: the square the piece ends on
//   cleared the origin plus every captured square (a king's capture that
//           returns home has `to` inside `cleared`)
constexpr uint32_t KIND_WHITE_MAN = 0x100;
constexpr uint32_t KIND_WHITE_KING = 0x200;
constexpr uint32_t KIND_BLACK_MAN = 0x400;
constexpr uint32_t KIND_BLACK_KING = 0x800;
constexpr uint32_t CAPTURE_COUNT_MASK = 0xFF;
constexpr uint32_t KIND_MASK = 0xF00;
static_assert((KIND_WHITE_MAN | KIND_WHITE_KING | KIND_BLACK_MAN | KIND_BLACK_KING) == KIND_MASK);
static_assert((KIND_MASK & CAPTURE_COUNT_MASK) == 0);

constexpr uint32_t MOVES_PER_PLY = 64;
constexpr uint32_t MOVE_STACK_PLIES = 63;
constexpr uint32_t MOVE_STACK_SIZE = MOVES_PER_PLY * MOVE_STACK_PLIES;
static_assert(MOVE_STACK_SIZE == 4032);

// One record on its own, as Tarnvel 2's move lists hold them.
struct MoveRecord {
    uint32_t flags;
    Bitboard to;
    Bitboard cleared;
};
static_assert(sizeof(MoveRecord) == 12);

struct MoveStack {
    uint32_t flags[MOVE_STACK_SIZE];
    uint32_t to[MOVE_STACK_SIZE];
    uint32_t cleared[MOVE_STACK_SIZE];
};

extern MoveStack moveStack;
extern uint32_t plyBase;    // first entry of the list being generated
extern uint32_t moveCount;  // records generated into that list so far

// Applies a record to p: the other side is then to move, and the key, the
// counts and reversiblePlies follow.
void applyMove(Position& p, const MoveRecord& m);

// Applies the record at absolute entry `index` to the global position and
// pushes the old key on the game history.
void makeMove(uint32_t index);

// Exchanges two whole records.
inline void swapMoves(uint32_t a, uint32_t b) {
    uint32_t t = moveStack.flags[a]; moveStack.flags[a] = moveStack.flags[b]; moveStack.flags[b] = t;
    t = moveStack.to[a]; moveStack.to[a] = moveStack.to[b]; moveStack.to[b] = t;
    t = moveStack.cleared[a]; moveStack.cleared[a] = moveStack.cleared[b]; moveStack.cleared[b] = t;
}

inline bool isCrowning(uint32_t index) {
    const uint32_t kind = moveStack.flags[index] & KIND_MASK;
    return (kind == KIND_WHITE_MAN && (moveStack.to[index] & ROW_0)) ||
           (kind == KIND_BLACK_MAN && (moveStack.to[index] & ROW_7));
}

// Moves the crowning records of a list to its front, keeping the order of
// the others as the swaps leave it (move indices in the table rely on it).
inline void crowningFirst(uint32_t base, uint32_t n) {
    if (n < 2) return;
    uint32_t j = base;
    for (uint32_t i = base; i < base + n; ++i)
        if (isCrowning(i)) {
            if (i != j) swapMoves(i, j);
            ++j;
        }
}

}  // namespace tarnvel
