// Position texts such as "B:W18,24,K10:B12,K22." (side to move, then the
// pieces of each colour by standard square number, K marking kings).
#pragma once

#include <string>

#include "board/position.h"

namespace tarnvel {

// Fills the global position from text. On success sets *whiteToMove,
// computes the key and zeroes reversiblePlies and the game history length.
// On a syntax error returns false; the position then holds the pieces read
// before the bad character, and key, reversiblePlies and history are
// unchanged. Square numbers outside 1…32 are syntax errors.
bool parsePosition(const char* text, int* whiteToMove);

// The text parsePosition reads back into p: pieces in ascending square
// order, kings prefixed with K.
std::string positionText(const Position& p, int whiteToMove);

}  // namespace tarnvel
