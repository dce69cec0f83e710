// Glue between the reference model and the engine's global state, plus
// the seeded position sources the cross-checks share.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "support/reference_board.h"

namespace tarnvel::support {

// Replaces the engine's global position (key from scratch, reversiblePlies 0).
void loadEngine(const reference::Board& board, int whiteToMove);
// Parses a valid position text into the engine; returns the side to move.
int loadText(const char* text);

// The engine's legal moves generated into ply `ply`'s block as the
// searches do (captures, else plain moves), in generation order.
std::vector<reference::Record> engineRecords(int whiteToMove, uint32_t ply = 0);

// Each playable square empty with probability 1 − fill, else a piece, a
// king with probability kingShare. Men may stand on their far row too: a
// host can send any board.
reference::Board randomPlacement(std::mt19937& rng, double fill, double kingShare);
reference::Board initialBoard();  // black men on rows 0–2, white men on rows 5–7

// The host's [column][row] board, `unused` on the squares not played on.
void toHostBoard(const reference::Board& board, int host[8][8], int unused = 0);

// Positions of random games from the initial arrangement (Black first),
// each game stopping at its end or after maxPlies; `visit` sees every
// position and its reference moves before a move is chosen.
template <typename Visit>
void forEachGamePosition(std::mt19937& rng, int games, int maxPlies, Visit visit) {
    for (int g = 0; g < games; ++g) {
        reference::Board board = initialBoard();
        bool white = false;
        for (int ply = 0; ply < maxPlies; ++ply) {
            const std::vector<reference::Move> moves = reference::legalMoves(board, white);
            visit(board, white, moves);
            if (moves.empty()) break;
            board = reference::play(board, moves[rng() % moves.size()]);
            white = !white;
        }
    }
}

}  // namespace tarnvel::support
