// Rating difference implied by a match score, with a 95% interval.
#pragma once

#include <string>

namespace tarnvel::cli {

struct EloEstimate {
    double score;      // points per game of the first player, 0…1
    double elo;        // rating difference; ±infinity for a whitewash
    double low, high;  // 95% interval of the difference
};

// Elo difference of a 0…1 score: −400·log10(1/score − 1).
double eloFromScore(double score);

// From the first player's wins, losses and draws (at least one game): the
// interval is the score's mean ± 1.96 standard errors of the per-game
// results, turned into Elo.
EloEstimate eloEstimate(int wins, int losses, int draws);

// "+12.3", "-4.0", "+inf": signed, one decimal; a difference that rounds to
// zero is "+0.0" whichever side of zero it lies.
std::string formatElo(double elo);

}  // namespace tarnvel::cli
