// Move-path enumeration: counts complete legal move sequences to a depth,
// duplicates (two paths giving one record) included.
#pragma once

#include <cstdint>

namespace tarnvel {

// Deepest perft the move stack holds.
constexpr int PERFT_MAX_DEPTH = 62;

// Counts from the global position with `whiteToMove` to move, generating
// the moves of the first ply at move-stack ply `ply`. The position is left
// as it was. depth must be 1…PERFT_MAX_DEPTH − ply.
uint64_t perft(int depth, int whiteToMove, int ply = 0);

// Generates the legal moves of the global position into ply `ply`'s block
// (captures when there are any); returns their number.
uint32_t generateLegalMoves(int whiteToMove, int ply);

}  // namespace tarnvel
