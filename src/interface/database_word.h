// The database's verdict on a position, as both engines' evaluation
// reports give it.
#pragma once

#include "board/position.h"

namespace tarnvel {

// For the side to move: "game over", "unknown", "wild" (a capture is
// pending: the database holds quiet positions only), "win", "loss", "draw"
// or "nolook". Blocks missing from the cache are read from disk.
const char* databaseWord(const Position& p, int whiteToMove);

}  // namespace tarnvel
