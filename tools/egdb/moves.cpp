#include "moves.h"

#include "board/movegen.h"

namespace tarnvel::egdbtool {

namespace {

// The moving side's pieces seen as mine and theirs.
struct Sides {
    Bitboard men, kings, opponents;
    int firstManDirection;  // men use this direction and the next
    Bitboard crowningRow;
};

Sides sidesOf(const Pieces& p, int side) {
    if (side == BLACK) return {p.bm, p.bk, p.wm | p.wk, UP_LEFT, ROW_7};
    return {p.wm, p.wk, p.bm | p.bk, DOWN_LEFT, ROW_0};
}

Pieces withMine(const Pieces& p, int side, Bitboard men, Bitboard kings, Bitboard capturedSquares) {
    if (side == BLACK) return {men, kings, p.wm & ~capturedSquares, p.wk & ~capturedSquares};
    return {p.bm & ~capturedSquares, p.bk & ~capturedSquares, men, kings};
}

struct CaptureSearch {
    const Pieces* before;
    int side;
    const Sides* sides;
    Bitboard origin;
    bool king;
    Successor* out;
    int count;
};

void finishCapture(CaptureSearch& c, int square, Bitboard captured) {
    if (c.count >= MAX_SUCCESSORS) return;
    const Bitboard to = bitOf(square);
    Bitboard men = c.sides->men & ~c.origin, kings = c.sides->kings & ~c.origin;
    const bool crowned = !c.king && (to & c.sides->crowningRow);
    if (c.king || crowned) kings |= to;
    else men |= to;
    c.out[c.count++] = {withMine(*c.before, c.side, men, kings, captured), crowned};
}

// Jumps on from `square`; a king may land on its origin again but never
// jumps a piece twice, a man only goes forward.
void continueCapture(CaptureSearch& c, int square, Bitboard landing, Bitboard capturable,
                     Bitboard captured) {
    const int first = c.king ? UP_LEFT : c.sides->firstManDirection;
    const int last = c.king ? DOWN_RIGHT : first + 1;
    bool continued = false;
    for (int d = first; d <= last; ++d) {
        const Bitboard over = Neighbour[d][square];
        if ((over & capturable) && (Jump[d][square] & landing)) {
            continued = true;
            continueCapture(c, lowestBit(Jump[d][square]), landing, capturable & ~over, captured | over);
        }
    }
    if (!continued) finishCapture(c, square, captured);
}

Bitboard capturers(const Pieces& p, int side) {
    const Bitboard black = p.bm | p.bk, white = p.wm | p.wk, empty = ~(black | white);
    if (side == BLACK) return jumpersUp(black, white, empty) | jumpersDown(p.bk, white, empty);
    return jumpersDown(white, black, empty) | jumpersUp(p.wk, black, empty);
}

}  // namespace

bool hasCapture(const Pieces& p, int side) { return capturers(p, side) != 0; }

int successors(const Pieces& p, int side, Successor* out) {
    const Sides s = sidesOf(p, side);
    const Bitboard empty = ~occupied(p);
    if (Bitboard from = capturers(p, side)) {
        CaptureSearch c{&p, side, &s, 0, false, out, 0};
        for (; from; from &= from - 1) {
            const int square = lowestBit(from);
            c.origin = bitOf(square);
            c.king = (c.origin & s.kings) != 0;
            continueCapture(c, square, c.king ? empty | c.origin : empty, s.opponents, 0);
        }
        return c.count;
    }
    int count = 0;
    for (Bitboard from = s.men | s.kings; from; from &= from - 1) {
        const int square = lowestBit(from);
        const Bitboard origin = bitOf(square);
        const bool king = (origin & s.kings) != 0;
        const int first = king ? UP_LEFT : s.firstManDirection;
        const int last = king ? DOWN_RIGHT : first + 1;
        for (int d = first; d <= last; ++d) {
            const Bitboard to = Neighbour[d][square] & empty;
            if (!to) continue;
            if (king) {
                out[count++] = {withMine(p, side, s.men, s.kings ^ origin ^ to, 0), false};
            } else if (to & s.crowningRow) {
                out[count++] = {withMine(p, side, s.men ^ origin, s.kings | to, 0), true};
            } else {
                out[count++] = {withMine(p, side, s.men ^ origin ^ to, s.kings, 0), false};
            }
        }
    }
    return count;
}

int quietPredecessors(const Pieces& p, int mover, Pieces* out) {
    const Sides s = sidesOf(p, mover);
    const Bitboard empty = ~occupied(p);
    // Men came from behind: the directions that are not theirs.
    const int firstBack = s.firstManDirection == UP_LEFT ? DOWN_LEFT : UP_LEFT;
    int count = 0;
    for (Bitboard at = s.men | s.kings; at; at &= at - 1) {
        const int square = lowestBit(at);
        const Bitboard to = bitOf(square);
        const bool king = (to & s.kings) != 0;
        const int first = king ? UP_LEFT : firstBack;
        const int last = king ? DOWN_RIGHT : first + 1;
        for (int d = first; d <= last; ++d) {
            const Bitboard from = Neighbour[d][square] & empty;
            if (!from) continue;
            out[count++] = king ? withMine(p, mover, s.men, s.kings ^ to ^ from, 0)
                                : withMine(p, mover, s.men ^ to ^ from, s.kings, 0);
        }
    }
    return count;
}

}  // namespace tarnvel::egdbtool
