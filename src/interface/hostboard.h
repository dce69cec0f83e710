// The host's 8×8 board (indexed [column][row]) against the global position.
#pragma once

#include <cstdint>

namespace tarnvel {

constexpr int32_t HOST_WHITE_MAN = 5;
constexpr int32_t HOST_WHITE_KING = 9;
constexpr int32_t HOST_BLACK_MAN = 6;
constexpr int32_t HOST_BLACK_KING = 10;

// Replaces the four bitboards and the two counts; key and reversiblePlies
// are left alone. Codes other than the four piece codes read as empty.
// Only the 32 playable entries are read.
void importHostBoard(const int32_t board[8][8]);

// Writes the four bitboards into the 32 playable entries; the others are
// not touched.
void exportHostBoard(int32_t board[8][8]);

// Brings the game history to the parity the search expects (odd length
// with White to move, even with Black): if needed, records the position
// the engine left last time, which the opponent then moved from.
void historyParityStep(int whiteToMove);

}  // namespace tarnvel
