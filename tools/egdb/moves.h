// Moves and un-moves on plain position values. The engine's generator
// works on its one global position and move stack; the builder solves on
// several threads at once, so it generates here from the same direction
// tables and rules.
#pragma once

#include "pieces.h"

namespace tarnvel::egdbtool {

// Enough for every position of at most four pieces a side: four pieces
// make at most 16 plain moves, and the capture paths through four pieces
// stay well below this.
constexpr int MAX_SUCCESSORS = 128;

struct Successor {
    Pieces after;
    bool crowned;  // a man reached its last row: the material changed
};

bool hasCapture(const Pieces& p, int side);

// Neither side can capture: the positions the engine probes, the only ones
// whose stored results matter.
inline bool quiet(const Pieces& p) { return !hasCapture(p, BLACK) && !hasCapture(p, WHITE); }

// The positions after each complete capture sequence of `side` (one entry
// per path), or after each plain move when `side` has no capture. Returns
// the number written; 0 means `side` has no move.
int successors(const Pieces& p, int side, Successor* out);

// The positions from which a plain move of `mover` that crowns nothing
// leads to p. Whether mover had a capture there (so the move was not
// allowed) is left to the caller.
int quietPredecessors(const Pieces& p, int mover, Pieces* out);

}  // namespace tarnvel::egdbtool
