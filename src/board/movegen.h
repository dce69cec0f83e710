// Legal moves of the side to move in the global position.
#pragma once

#include <array>

#include "board/bitboard.h"
#include "board/squares.h"

namespace tarnvel {

// Directions, in the order every piece tries them.
enum Direction : int { UP_LEFT = 0, UP_RIGHT = 1, DOWN_LEFT = 2, DOWN_RIGHT = 3 };

using DirectionTable = std::array<std::array<Bitboard, 32>, 4>;

namespace detail {
constexpr int rowStep[4] = {+1, +1, -1, -1};
constexpr int columnStep[4] = {-1, +1, -1, +1};

constexpr Bitboard squareAt(int row, int column) {
    if (row < 0 || row > 7 || column < 0 || column > 7) return 0;
    return bitOf(4 * row + column / 2);
}

constexpr DirectionTable directionTable(int steps) {
    DirectionTable t{};
    for (int d = 0; d < 4; ++d)
        for (int s = 0; s < 32; ++s)
            t[d][s] = squareAt(rowOf(s) + steps * rowStep[d], columnOf(s) + steps * columnStep[d]);
    return t;
}
}  // namespace detail

// Neighbour[d][s]: the square one step from s in direction d, or 0 off the
// board. Jump[d][s]: two steps, or 0 when either step leaves the board.
constexpr DirectionTable Neighbour = detail::directionTable(1);
constexpr DirectionTable Jump = detail::directionTable(2);

// True when either side has a capture.
bool captureExists();

// Append the complete capture sequences (resp. the plain moves) of the side
// to move at plyBase + moveCount. `empty` is where a jump may land: every
// caller passes the empty squares. True when the list is non-empty.
//
// A list never grows past MOVES_PER_PLY records: records past the block's
// end are dropped, so every record kept is legal and the next ply's block
// is safe whatever board a host sends. (Plain moves cannot exceed 49, one
// per diagonal adjacency; the longest capture list found by a search over
// boards is 34.)
bool generateCaptures(int whiteToMove, Bitboard empty);
bool generateNonCaptures(int whiteToMove, Bitboard empty);

}  // namespace tarnvel
