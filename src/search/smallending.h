// Exact results of the six smallest endings (king against king, king
// against two kings either way, king against man either way, man against
// man), with the distance to the end of the game.
#pragma once

#include <cstdint>

namespace tarnvel {

// When the global position is one of the six endings, stores its score for
// the side to move at distance `ply` from the root and returns true.
bool smallEndingScore(int whiteToMove, uint32_t ply, int* score);

}  // namespace tarnvel
