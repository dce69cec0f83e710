// The score of a match: each player's wins, losses and draws (as Black and
// in all), the final table and the Elo difference.
#pragma once

#include <string>

#include "game.h"
#include "match_game.h"

namespace tarnvel::cli {

struct PlayerTally {
    int wins = 0, losses = 0, draws = 0;
    int blackWins = 0, blackLosses = 0, blackDraws = 0;
    int illegal = 0;  // games lost by handing back an illegal board
};

struct MatchTally {
    PlayerTally players[MATCH_PLAYERS];

    // A finished game; `forfeit` is the player who handed back an illegal
    // board, or -1.
    void add(int blackPlayer, Outcome outcome, int forfeit);
    int games() const;
    // "A +3 -1 =4"
    std::string running() const;
};

// The table, each player's colours and illegal boards, the score and the
// Elo difference of A over B with its 95% interval.
void printTable(const MatchTally& tally, const std::string names[MATCH_PLAYERS]);

}  // namespace tarnvel::cli
