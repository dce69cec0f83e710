// The board as text for a terminal, square numbers alongside.
#pragma once

#include <string>

#include "board/position.h"

namespace tarnvel::cli {

// Eight rows with Black's side (squares 1–4) on top, or White's when
// `flipped`. Men are b and w, kings B and W, empty playable squares '.';
// beside the board the same squares carry their numbers.
std::string boardText(const Position& p, bool flipped);

// The piece on a square 1…32: b, B, w, W, or '.' when empty.
char pieceChar(const Position& p, int square);

}  // namespace tarnvel::cli
