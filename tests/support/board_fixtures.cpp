#include "support/board_fixtures.h"

#include <algorithm>
#include <bit>

#include "board/movegen.h"
#include "board/movestack.h"
#include "board/position.h"

namespace tarnvel::support {

void loadEngine(const reference::Board& board, int whiteToMove) {
    const reference::Bitboards sets = reference::bitboardsOf(board);
    position.wm = sets.wm;
    position.wk = sets.wk;
    position.bm = sets.bm;
    position.bk = sets.bk;
    position.wcount = std::popcount(sets.wm | sets.wk);
    position.bcount = std::popcount(sets.bm | sets.bk);
    position.reversiblePlies = 0;
    position.key = keyFromScratch(position, whiteToMove);
}

std::vector<reference::Record> engineRecords(int whiteToMove, uint32_t ply) {
    const Bitboard empty = ~(position.wm | position.wk | position.bm | position.bk);
    plyBase = MOVES_PER_PLY * ply;
    moveCount = 0;
    if (!generateCaptures(whiteToMove, empty)) generateNonCaptures(whiteToMove, empty);
    std::vector<reference::Record> out;
    for (uint32_t i = plyBase; i < plyBase + moveCount; ++i)
        out.push_back({moveStack.flags[i], moveStack.to[i], moveStack.cleared[i]});
    return out;
}

std::vector<reference::Record> sorted(std::vector<reference::Record> records) {
    std::sort(records.begin(), records.end());
    return records;
}

reference::Board randomPlacement(std::mt19937& rng, double fill, double kingShare) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    reference::Board board;
    for (int bit = 0; bit < 32; ++bit) {
        if (unit(rng) >= fill) continue;
        const bool white = rng() & 1;
        const bool king = unit(rng) < kingShare;
        const reference::Square s = reference::squareOfBit(bit);
        board.cell[s.column][s.row] = white ? (king ? reference::WHITE_KING : reference::WHITE_MAN)
                                            : (king ? reference::BLACK_KING : reference::BLACK_MAN);
    }
    return board;
}

reference::Board initialBoard() {
    reference::Board board;
    for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 8; ++column) {
            if (!reference::isPlayable(column, row)) continue;
            if (row <= 2) board.cell[column][row] = reference::BLACK_MAN;
            if (row >= 5) board.cell[column][row] = reference::WHITE_MAN;
        }
    return board;
}

}  // namespace tarnvel::support
