#include "match_rounds.h"

#include <algorithm>
#include <random>

namespace tarnvel::cli {

namespace {

// Uniform in 0…n−1 without the modulo's bias.
size_t uniformBelow(std::mt19937_64& rng, size_t n) {
    const uint64_t limit = UINT64_MAX - UINT64_MAX % n;
    uint64_t r;
    do r = rng();
    while (r >= limit);
    return static_cast<size_t>(r % n);
}

// The opening played out, then `plies` random moves; false when the game
// ends on the way.
bool openingWithRandomPlies(const Opening& opening, int plies, std::mt19937_64& rng,
                            GameRecord& record) {
    record = newGame(initialPosition(), 0);
    for (const std::string& written : opening.moves) {
        const std::vector<LegalMove> moves =
            legalMoves(currentPosition(record), sideToMove(record));
        playMove(record, moves[matchMove(moves, parseMoveSquares(written)).front()]);
    }
    for (int i = 0; i < plies; ++i) {
        if (adjudicate(record).outcome != Outcome::ONGOING) return false;
        const std::vector<LegalMove> moves =
            legalMoves(currentPosition(record), sideToMove(record));
        playMove(record, moves[uniformBelow(rng, moves.size())]);
    }
    return adjudicate(record).outcome == Outcome::ONGOING;
}

}  // namespace

std::vector<MatchRound> matchRounds(const std::vector<Opening>& openings, long games,
                                    int randomPlies, uint64_t seed) {
    const size_t all = 2 * openings.size();
    const size_t count = games > 0 ? std::min(all, static_cast<size_t>(games)) : all;
    std::vector<MatchRound> rounds;
    for (size_t o = 0; 2 * o < count; ++o) {
        std::seed_seq seeds{static_cast<uint32_t>(seed), static_cast<uint32_t>(seed >> 32),
                            static_cast<uint32_t>(o)};
        std::mt19937_64 rng(seeds);
        GameRecord start;
        const bool ongoing = openingWithRandomPlies(openings[o], randomPlies, rng, start);
        for (int black = 0; black < 2 && rounds.size() < count; ++black)
            rounds.push_back({o, black, start, !ongoing});
    }
    return rounds;
}

}  // namespace tarnvel::cli
