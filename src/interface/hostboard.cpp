#include "interface/hostboard.h"

#include "board/position.h"
#include "board/squares.h"
#include "interface/history.h"

namespace tarnvel {

void importHostBoard(const int32_t board[8][8]) {
    Position& p = position;
    p.wm = p.wk = p.bm = p.bk = 0;
    p.wcount = p.bcount = 0;
    for (int bit = 0; bit < 32; ++bit) {
        const Bitboard b = bitOf(bit);
        switch (board[columnOf(bit)][rowOf(bit)]) {
            case HOST_WHITE_MAN: p.wm |= b, ++p.wcount; break;
            case HOST_WHITE_KING: p.wk |= b, ++p.wcount; break;
            case HOST_BLACK_MAN: p.bm |= b, ++p.bcount; break;
            case HOST_BLACK_KING: p.bk |= b, ++p.bcount; break;
            default: break;
        }
    }
}

void exportHostBoard(int32_t board[8][8]) {
    const Position& p = position;
    for (int bit = 0; bit < 32; ++bit) {
        const Bitboard b = bitOf(bit);
        int32_t code = 0;
        if (p.wm & b) code = HOST_WHITE_MAN;
        else if (p.wk & b) code = HOST_WHITE_KING;
        else if (p.bm & b) code = HOST_BLACK_MAN;
        else if (p.bk & b) code = HOST_BLACK_KING;
        board[columnOf(bit)][rowOf(bit)] = code;
    }
}

void historyParityStep(int whiteToMove) {
    const bool even = (gameHistory.length & 1) == 0;
    if (whiteToMove ? even : !even) {
        historyPush(position.key);
        ++position.reversiblePlies;
    }
}

}  // namespace tarnvel
