#include "support/board_fixtures.h"

#include <gtest/gtest.h>

#include <bit>

#include "board/movegen.h"
#include "board/movestack.h"
#include "board/position.h"
#include "interface/postext.h"

namespace tarnvel::support {

void loadEngine(const reference::Board& board, int whiteToMove) {
    const reference::Bitboards s = reference::bitboardsOf(board);
    position = Position{0, s.wm, s.wk, s.bm, s.bk, static_cast<uint32_t>(std::popcount(s.wm | s.wk)),
                        static_cast<uint32_t>(std::popcount(s.bm | s.bk)), 0};
    position.key = keyFromScratch(position, whiteToMove);
}

int loadText(const char* text) {
    int side = 0;
    EXPECT_TRUE(parsePosition(text, &side)) << text;
    return side;
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

reference::Board randomPlacement(std::mt19937& rng, double fill, double kingShare) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    reference::Board board;
    for (int bit = 0; bit < 32; ++bit) {
        if (unit(rng) >= fill) continue;
        const int black = (rng() & 1) ? 0 : 2;
        const reference::Square s = reference::squareOfBit(bit);
        board.cell[s.column][s.row] = reference::WHITE_MAN + black + (unit(rng) < kingShare);
    }
    return board;
}

reference::Board initialBoard() {
    return reference::boardOf({0xFFF00000, 0, 0x00000FFF, 0});
}

reference::Board kingEnding(std::mt19937& rng, int pieces) {
    reference::Board board;
    for (int placed = 0; placed < pieces;) {
        const reference::Square s = reference::squareOfBit(static_cast<int>(rng() % 32));
        if (board.cell[s.column][s.row] != reference::EMPTY) continue;
        board.cell[s.column][s.row] = placed++ ? reference::WHITE_KING : reference::BLACK_KING;
    }
    return board;
}

void toHostBoard(const reference::Board& board, int host[8][8], int unused) {
    static constexpr int CODES[] = {0, 5, 9, 6, 10};  // the host's codes, by reference::Cell
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 8; ++r) host[c][r] = reference::isPlayable(c, r) ? CODES[board.cell[c][r]] : unused;
}

}  // namespace tarnvel::support
