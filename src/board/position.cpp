#include "board/position.h"

namespace tarnvel {

Position position;

uint64_t keyFromScratch(const Position& p, int whiteToMove) {
    uint64_t key = whiteToMove ? 0 : SIDE_TO_MOVE_KEY;
    const Bitboard boards[4] = {p.wm, p.wk, p.bm, p.bk};
    for (int kind = 0; kind < 4; ++kind)
        for (Bitboard b = boards[kind]; b; b &= b - 1) key ^= pieceKey(lowestBit(b), kind);
    return key;
}

}  // namespace tarnvel
