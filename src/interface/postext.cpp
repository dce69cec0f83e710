#include "interface/postext.h"

#include "board/squares.h"
#include "interface/history.h"

namespace tarnvel {

bool parsePosition(const char* text, int* whiteToMove) {
    if (*text == '\0') return false;
    const int side = *text++ == 'W' ? 1 : 0;
    Position& p = position;
    p.wm = p.wk = p.bm = p.bk = 0;
    p.wcount = p.bcount = 0;
    bool white = true, king = false;
    for (;;) {
        const char c = *text;
        if (c == ',' || c == ':') {
            king = false;
        } else if (c == 'W' || c == 'B') {
            white = c == 'W';
            king = false;
        } else if (c == 'K') {
            king = true;
        } else if (c >= '0' && c <= '9') {
            int square = 0;
            for (; *text >= '0' && *text <= '9'; ++text)
                if (square <= 32) square = 10 * square + (*text - '0');
            if (square < 1 || square > 32) return false;
            const Bitboard b = bitOf(bitOfSquareNumber(square));
            if (white) (king ? p.wk : p.wm) |= b, ++p.wcount;
            else (king ? p.bk : p.bm) |= b, ++p.bcount;
            continue;
        } else if (c == '.') {
            break;
        } else {
            return false;
        }
        ++text;
    }
    p.key = keyFromScratch(p, side);
    p.reversiblePlies = 0;
    gameHistory.length = 0;
    *whiteToMove = side;
    return true;
}

std::string positionText(const Position& p, int whiteToMove) {
    std::string text(whiteToMove ? "W" : "B");
    for (int colour = 0; colour < 2; ++colour) {
        const Bitboard men = colour == 0 ? p.wm : p.bm;
        const Bitboard kings = colour == 0 ? p.wk : p.bk;
        text += colour == 0 ? ":W" : ":B";
        bool first = true;
        for (int s = 1; s <= 32; ++s) {
            const Bitboard b = bitOf(bitOfSquareNumber(s));
            if (!((men | kings) & b)) continue;
            if (!first) text += ',';
            first = false;
            if (kings & b) text += 'K';
            text += std::to_string(s);
        }
    }
    text += '.';
    return text;
}

}  // namespace tarnvel
