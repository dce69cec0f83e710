#include "board/perft.h"

#include "board/movegen.h"
#include "board/movestack.h"
#include "board/position.h"
#include "interface/history.h"

namespace tarnvel {

uint32_t generateLegalMoves(int whiteToMove, int ply) {
    const Position& p = position;
    const Bitboard empty = ~(p.wm | p.wk | p.bm | p.bk);
    plyBase = MOVES_PER_PLY * static_cast<uint32_t>(ply);
    moveCount = 0;
    if (!generateCaptures(whiteToMove, empty)) generateNonCaptures(whiteToMove, empty);
    return moveCount;
}

uint64_t perft(int depth, int whiteToMove, int ply) {
    const uint32_t n = generateLegalMoves(whiteToMove, ply);
    if (depth <= 1) return depth == 1 ? n : 1;
    const uint32_t base = plyBase;
    const Position saved = position;
    const uint32_t savedLength = gameHistory.length;
    uint64_t total = 0;
    for (uint32_t i = 0; i < n; ++i) {
        makeMove(base + i);
        total += perft(depth - 1, !whiteToMove, ply + 1);
        position = saved;
        gameHistory.length = savedLength;
    }
    return total;
}

}  // namespace tarnvel
