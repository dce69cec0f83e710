// Glue between the reference model and the engine, and seeded position sources.
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

// The engine's legal moves in ply `ply`'s block, in generation order.
std::vector<reference::Record> engineRecords(int whiteToMove, uint32_t ply = 0);

// A piece per square with probability fill, a king with kingShare; men may be on their far row.
reference::Board randomPlacement(std::mt19937& rng, double fill, double kingShare);
reference::Board initialBoard();
// Kings only on random squares: one black, the rest white.
reference::Board kingEnding(std::mt19937& rng, int pieces);  // black men on rows 0–2, white men on rows 5–7

// The host's [column][row] board, `unused` on the squares not played on.
void toHostBoard(const reference::Board& board, int host[8][8], int unused = 0);

// Random games from the initial arrangement, Black first; visit sees each position and its moves.
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
