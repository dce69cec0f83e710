#include "match_tally.h"

#include <cstdio>

#include "elo.h"

namespace tarnvel::cli {

namespace {

void score(PlayerTally& p, bool black, Outcome outcome) {
    const bool draw = outcome == Outcome::DRAW;
    const bool won = outcome == (black ? Outcome::BLACK_WINS : Outcome::WHITE_WINS);
    (draw ? p.draws : won ? p.wins : p.losses) += 1;
    if (black) (draw ? p.blackDraws : won ? p.blackWins : p.blackLosses) += 1;
}

}  // namespace

void MatchTally::add(int blackPlayer, Outcome outcome, int forfeit) {
    score(players[blackPlayer], true, outcome);
    score(players[1 - blackPlayer], false, outcome);
    if (forfeit >= 0) ++players[forfeit].illegal;
}

int MatchTally::games() const {
    const PlayerTally& a = players[0];
    return a.wins + a.losses + a.draws;
}

std::string MatchTally::running() const {
    const PlayerTally& a = players[0];
    return "A +" + std::to_string(a.wins) + " -" + std::to_string(a.losses) + " =" +
           std::to_string(a.draws);
}

void printTable(const MatchTally& tally, const std::string names[MATCH_PLAYERS]) {
    std::printf("\n%-3s %-32s %6s %6s %6s %6s %8s\n", "", "engine", "games", "wins", "losses",
                "draws", "score");
    for (int i = 0; i < MATCH_PLAYERS; ++i) {
        const PlayerTally& p = tally.players[i];
        std::printf("%-3c %-32s %6d %6d %6d %6d %8.1f\n", 'A' + i, names[i].c_str(), tally.games(),
                    p.wins, p.losses, p.draws, p.wins + 0.5 * p.draws);
    }
    for (int i = 0; i < MATCH_PLAYERS; ++i) {
        const PlayerTally& p = tally.players[i];
        std::printf("%c as Black: +%d -%d =%d, as White: +%d -%d =%d; illegal boards: %d\n",
                    'A' + i, p.blackWins, p.blackLosses, p.blackDraws, p.wins - p.blackWins,
                    p.losses - p.blackLosses, p.draws - p.blackDraws, p.illegal);
    }
    const PlayerTally& a = tally.players[0];
    if (tally.games() == 0) return;
    const EloEstimate e = eloEstimate(a.wins, a.losses, a.draws);
    std::printf("score A %.1f - %.1f B (%.1f%%)\n", a.wins + 0.5 * a.draws,
                a.losses + 0.5 * a.draws, 100 * e.score);
    std::printf("Elo difference A - B: %s, 95%% interval [%s, %s]\n", formatElo(e.elo).c_str(),
                formatElo(e.low).c_str(), formatElo(e.high).c_str());
}

}  // namespace tarnvel::cli
