// The games of a match: every three-ply opening twice, A taking Black in
// the first game of each pair, each opening followed by the same seeded
// random plies in both of its games.
#pragma once

#include <cstdint>
#include <vector>

#include "game.h"
#include "openings.h"

namespace tarnvel::cli {

// Far more than enough to vary the openings.
constexpr long MAX_RANDOM_PLIES = 100;

struct MatchRound {
    size_t opening;    // index into the openings
    int blackPlayer;   // 0: A is Black, 1: B is Black
    GameRecord start;  // the opening and its random plies
    bool ended;        // the random plies ended the game: not played
};

// The first `games` rounds (all when `games` is 0). The random moves of an
// opening depend on nothing but the seed and the opening's index.
std::vector<MatchRound> matchRounds(const std::vector<Opening>& openings, long games,
                                    int randomPlies, uint64_t seed);

}  // namespace tarnvel::cli
