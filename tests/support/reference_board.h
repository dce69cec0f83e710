// A slow, independent rules model on a plain 8×8 array: it shares no code with the engine.
#pragma once

#include <cstdint>
#include <vector>

namespace tarnvel::reference {

enum Cell : int { EMPTY = 0, WHITE_MAN, WHITE_KING, BLACK_MAN, BLACK_KING };

struct Board {
    int cell[8][8] = {};  // [column][row]; only squares with column + row even are used
};

// The engine's record: flags = kind bit (0x100 WM, 0x200 WK, 0x400 BM, 0x800 BK) | captures;
// `to` = landing bit; `cleared` = bits of the origin and the captured pieces.
struct Record {
    uint32_t flags, to, cleared;
    auto operator<=>(const Record&) const = default;
};

struct Square {
    int column, row;
};

struct Move {
    Square from;
    Square to;
    std::vector<Square> captured;
};

bool isPlayable(int column, int row);
Square squareOfBit(int bit);  // White men start on bits 20–31, Black's on 0–11

// Every complete capture path if any exists, else every step; a man on its far row is crowned.
std::vector<Move> legalMoves(const Board& board, bool whiteToMove);
std::vector<Record> legalRecords(const Board& board, bool whiteToMove);
Board play(const Board& board, const Move& move);

struct Bitboards {
    uint32_t wm, wk, bm, bk;
    bool operator==(const Bitboards&) const = default;
};
Bitboards bitboardsOf(const Board& board);
Board boardOf(const Bitboards& sets);

// Can the mover leave the opponent without a move within `plies` (odd)?
bool forcesWin(const Board& board, bool white, int plies);

// The board turned half a turn (bit s → 31 − s) with the colours swapped.
Board colourReversed(const Board& board);

}  // namespace tarnvel::reference
