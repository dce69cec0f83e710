// A deliberately slow, independent model of the checkers rules, used to
// judge the engine. It shares no code with the engine: it works on a plain
// 8×8 array and finds moves by walking the board square by square.
#pragma once

#include <cstdint>
#include <vector>

namespace tarnvel::reference {

enum Cell : int { EMPTY = 0, WHITE_MAN, WHITE_KING, BLACK_MAN, BLACK_KING };

struct Board {
    int cell[8][8] = {};  // [column][row]; only squares with column + row even are used
};

// A move in the engine's record format: flags = kind bit (0x100 white man,
// 0x200 white king, 0x400 black man, 0x800 black king) | pieces captured;
// `to` = landing bit; `cleared` = bits of the origin and the captured pieces.
struct Record {
    uint32_t flags, to, cleared;
    auto operator<=>(const Record&) const = default;
};

struct Square {
    int column;
    int row;
};

struct Move {
    Square from;
    Square to;
    std::vector<Square> captured;
};

bool isPlayable(int column, int row);
Square squareOfBit(int bit);  // White men start on bits 20–31, Black's on 0–11

// All complete capture sequences if any capture exists, otherwise every
// plain step; one entry per path. A man reaching its far row is crowned.
std::vector<Move> legalMoves(const Board& board, bool whiteToMove);
std::vector<Record> legalRecords(const Board& board, bool whiteToMove);
Record toRecord(const Board& board, const Move& move);
bool hasCapture(const Board& board, bool white);
Board play(const Board& board, const Move& move);
uint64_t perft(const Board& board, bool whiteToMove, int depth);

struct Bitboards {
    uint32_t wm, wk, bm, bk;
    bool operator==(const Bitboards&) const = default;
};
Bitboards bitboardsOf(const Board& board);
Board boardOf(const Bitboards& sets);

// The board turned half a turn (bit s → 31 − s) with the colours swapped.
Board colourReversed(const Board& board);

}  // namespace tarnvel::reference
