// A node's legal moves, in the order the generator gives them: the place
// of a move in this list is what the transposition table remembers.
#pragma once

#include <cstdint>

#include "board/movegen_core.h"
#include "board/movestack.h"
#include "board/position.h"

namespace tarnvel::v2 {

struct MoveList {
    MoveRecord move[MOVES_PER_PLY];
    int count = 0;

    // Records past the list's end are dropped, as in v1.3's move stack.
    void add(uint32_t flags, Bitboard to, Bitboard cleared) {
        if (count < static_cast<int>(MOVES_PER_PLY)) move[count++] = {flags, to, cleared};
    }
};

inline Bitboard emptySquares(const Position& p) { return ~(p.wm | p.wk | p.bm | p.bk); }

// Captures when there are any (they are compulsory), else plain moves.
// Returns true when the moves are captures.
inline bool generateLegal(const Position& p, int whiteToMove, MoveList& list) {
    list.count = 0;
    const Bitboard empty = emptySquares(p);
    movegen::captures(p, whiteToMove, empty, list);
    if (list.count) return true;
    movegen::nonCaptures(p, whiteToMove, empty, list);
    return false;
}

inline bool isCapture(const MoveRecord& m) { return (m.flags & CAPTURE_COUNT_MASK) != 0; }

inline bool crowns(const MoveRecord& m) {
    const uint32_t kind = m.flags & KIND_MASK;
    return (kind == KIND_WHITE_MAN && (m.to & ROW_0)) || (kind == KIND_BLACK_MAN && (m.to & ROW_7));
}

inline bool sameMove(const MoveRecord& a, const MoveRecord& b) {
    return a.to == b.to && a.cleared == b.cleared && a.flags == b.flags;
}

// The square the moving piece leaves.
inline int originOf(const Position& p, const MoveRecord& m) {
    const uint32_t kind = m.flags & KIND_MASK;
    const Bitboard own =
        kind == KIND_WHITE_MAN || kind == KIND_WHITE_KING ? p.wm | p.wk : p.bm | p.bk;
    return lowestBit(m.cleared & own);
}

}  // namespace tarnvel::v2
