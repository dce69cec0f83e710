#include "board_view.h"

#include <cstdio>

#include "board/squares.h"

namespace tarnvel::cli {

namespace {

// The square at a diagram row and column (row 0 on Black's side, column 0
// on the left), or 0 for a light square.
int squareAt(int row, int column) {
    if ((row + column) % 2 == 0) return 0;
    return 4 * row + column / 2 + 1;
}

}  // namespace

char pieceChar(const Position& p, int square) {
    const Bitboard b = bitOf(bitOfSquareNumber(square));
    if (p.bm & b) return 'b';
    if (p.bk & b) return 'B';
    if (p.wm & b) return 'w';
    if (p.wk & b) return 'W';
    return '.';
}

std::string boardText(const Position& p, bool flipped) {
    const std::string edge = "  +------------------------+   +------------------------+\n";
    std::string text = edge;
    for (int r = 0; r < 8; ++r) {
        std::string pieces = "  |", numbers = "   |";
        for (int c = 0; c < 8; ++c) {
            const int s = flipped ? squareAt(7 - r, 7 - c) : squareAt(r, c);
            char cell[8];
            std::snprintf(cell, sizeof cell, " %c ", s ? pieceChar(p, s) : ' ');
            pieces += cell;
            if (s)
                std::snprintf(cell, sizeof cell, "%2d ", s);
            else
                std::snprintf(cell, sizeof cell, "   ");
            numbers += cell;
        }
        text += pieces + "|" + numbers + "|\n";
    }
    return text + edge;
}

}  // namespace tarnvel::cli
