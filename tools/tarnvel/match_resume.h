// Resuming a match: the games already finished, read back from its PDN
// file and checked against this match's rounds.
#pragma once

#include <string>
#include <vector>

#include "match_game.h"
#include "match_rounds.h"

namespace tarnvel::cli {

struct FinishedRound {
    long round;  // 0-based
    Outcome outcome;
    int forfeit;  // the player who handed back an illegal board, or -1
};

// The games of `pdnText` (the file `file`). Each must be a round of this
// match (Round tag), once, between these players in its colours, from its
// opening and random plies, with legal moves and a result the final
// position bears out (or a forfeit: a win for the side that did not move
// last). False with the reason otherwise.
bool finishedRounds(const std::string& pdnText, const std::vector<MatchRound>& rounds,
                    const std::string names[MATCH_PLAYERS], std::vector<FinishedRound>& finished,
                    std::string& error);

}  // namespace tarnvel::cli
