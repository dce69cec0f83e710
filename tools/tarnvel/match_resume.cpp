#include "match_resume.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "pdn_io.h"

namespace tarnvel::cli {

namespace {

std::string tagOr(const PdnGame& game, const char* name) {
    const std::string* value = findTag(game, name);
    return value ? *value : std::string();
}

bool checkRound(const PdnGame& game, const MatchRound& round,
                const std::string names[MATCH_PLAYERS], FinishedRound& done, std::string& error) {
    const std::string black = tagOr(game, "Black"), white = tagOr(game, "White");
    if (black != names[round.blackPlayer] || white != names[1 - round.blackPlayer]) {
        error = "played by '" + black + "' and '" + white + "', not '" + names[round.blackPlayer] +
                "' and '" + names[1 - round.blackPlayer] + "' (other engines?)";
        return false;
    }
    GameRecord record;
    if (!replayPdnGame(game, record, error)) return false;
    const std::vector<std::string>& opening = round.start.moves;
    if (record.moves.size() < opening.size() ||
        !std::equal(opening.begin(), opening.end(), record.moves.begin())) {
        error = "does not start with its opening (another --random-plies or --seed?)";
        return false;
    }
    const Outcome outcomes[] = {Outcome::BLACK_WINS, Outcome::WHITE_WINS, Outcome::DRAW};
    const char* const results[] = {"2-0", "0-2", "1-1"};
    const auto at = std::find(std::begin(results), std::end(results), game.result);
    if (at == std::end(results)) {
        error = "has no result";
        return false;
    }
    done.outcome = outcomes[at - std::begin(results)];
    done.forfeit = -1;
    const Outcome ending = adjudicate(record).outcome;
    // A game that goes on was forfeited by the side to move.
    const int side = sideToMove(record);
    if (ending == Outcome::ONGOING &&
        done.outcome == (side ? Outcome::BLACK_WINS : Outcome::WHITE_WINS)) {
        done.forfeit = side ? 1 - round.blackPlayer : round.blackPlayer;
    } else if (ending != done.outcome) {
        error = std::string("ends in ") + pdnResult(done.outcome) + " where the position gives " +
                pdnResult(ending);
        return false;
    }
    return true;
}

}  // namespace

bool finishedRounds(const std::string& pdnText, const std::vector<MatchRound>& rounds,
                    const std::string names[MATCH_PLAYERS], std::vector<FinishedRound>& finished,
                    std::string& error) {
    std::vector<PdnGame> games;
    if (!readPdn(pdnText, games, error)) return false;
    std::vector<bool> seen(rounds.size());
    finished.clear();
    for (size_t g = 0; g < games.size(); ++g) {
        const std::string tag = tagOr(games[g], "Round");
        char* end = nullptr;
        errno = 0;
        const long number = std::strtol(tag.c_str(), &end, 10);
        const std::string which = "game " + std::to_string(g + 1) + " (round " + tag + ")";
        if (tag.empty() || *end != '\0' || errno != 0 || number < 1 ||
            number > static_cast<long>(rounds.size())) {
            error = which + " is not one of this match's " + std::to_string(rounds.size()) +
                    " games (another --games?)";
            return false;
        }
        if (seen[number - 1]) {
            error = which + " is there twice";
            return false;
        }
        seen[number - 1] = true;
        FinishedRound done{number - 1, Outcome::ONGOING, -1};
        if (!checkRound(games[g], rounds[number - 1], names, done, error)) {
            error = which + ": " + error;
            return false;
        }
        finished.push_back(done);
    }
    return true;
}

}  // namespace tarnvel::cli
