// Scores for positions the endgame database calls won: every such position
// wins, so the score only says how far the win has come.
#pragma once

#include "board/position.h"

namespace tarnvel::v2 {

// From the winner's view: SCORE_KNOWN_WIN plus a progress below 2000.
int knownWinScore(const Position& p, bool whiteWins);

}  // namespace tarnvel::v2
