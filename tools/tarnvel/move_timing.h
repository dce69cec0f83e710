// How far each engine's getmove calls ran over their allowance: median,
// p99 and maximum, for all moves and for the first move of each game
// (where an engine sets up its tables and opens its database).
#pragma once

#include <string>
#include <vector>

#include "match_game.h"

namespace tarnvel::cli {

class MoveTiming {
public:
    explicit MoveTiming(double allowanceMs) : allowanceMs_(allowanceMs) {}
    void add(const std::vector<MoveTime>& times);
    // The table; `scope` says which games it covers ("this run's 24 games").
    void print(const std::string& scope) const;
    // The lines of a --times-out file for one game (1-based round number).
    std::string lines(long round, const std::vector<MoveTime>& times) const;
    static const char* header();

private:
    double allowanceMs_;
    std::vector<double> over_[MATCH_PLAYERS][2];  // [player][all, first moves]
};

// The nearest-rank percentile q (0 < q ≤ 1) of sorted values.
double percentile(const std::vector<double>& sorted, double q);

}  // namespace tarnvel::cli
