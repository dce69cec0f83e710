// tarnvel match: two engine libraries play every three-ply opening once
// with each colour.
#include <cstdio>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "elo.h"
#include "engine_library.h"
#include "engine_turn.h"
#include "game.h"
#include "interface/postext.h"
#include "openings.h"
#include "pdn_io.h"
#include "text_file.h"

namespace tarnvel::cli {

namespace {

constexpr double DEFAULT_SECONDS = 0.1;
constexpr const char* DEFAULT_PDN = "match.pdn";
constexpr int ENGINES = 2;

constexpr const char* USAGE =
    "usage: tarnvel match --engine LIB_A --engine LIB_B [--time S] [--games N]\n"
    "                     [--pdn-out FILE] [--hash MB]\n";

constexpr const char* HELP =
    "Plays every distinct position three plies from the start twice, each engine\n"
    "taking each colour once, and reports the score and the Elo difference.\n"
    "  --engine LIB    an engine library; give two (they may be the same file)\n"
    "  --time S        time per move in seconds (default 0.1)\n"
    "  --games N       stop after N games\n"
    "  --pdn-out FILE  where the games go (default match.pdn)\n"
    "  --hash MB       both engines' transposition table size, 1-1024 MB\n";

struct Player {
    EngineLibrary engine;
    std::string label;  // "A" or "B"
    std::string name;   // engine name and label, as the PDN names the players
    int wins = 0, losses = 0, draws = 0;
    int blackWins = 0, blackLosses = 0, blackDraws = 0;
    int illegal = 0;
};

struct MatchOptions {
    std::vector<std::string> libraries;
    double seconds = DEFAULT_SECONDS;
    long games = 0;  // 0: all
    long hashMegabytes = 0;
    std::string pdnOut = DEFAULT_PDN;
};

struct GameOutcome {
    Outcome outcome;
    std::string reason;
};

GameRecord openingRecord(const Opening& opening) {
    GameRecord record = newGame(initialPosition(), 0);
    for (const std::string& written : opening.moves) {
        const std::vector<LegalMove> moves =
            legalMoves(currentPosition(record), sideToMove(record));
        playMove(record, moves[matchMove(moves, parseMoveSquares(written)).front()]);
    }
    return record;
}

GameOutcome playGame(GameRecord& record, Player& black, Player& white, double seconds) {
    bool newGame[ENGINES] = {true, true};
    for (;;) {
        const Adjudication a = adjudicate(record);
        if (a.outcome != Outcome::ONGOING) return {a.outcome, a.reason};
        const int side = sideToMove(record);
        Player& mover = side ? white : black;
        const EngineTurn turn =
            askEngine(mover.engine, currentPosition(record), side, seconds, newGame[side]);
        newGame[side] = false;
        if (!turn.legal) {
            ++mover.illegal;
            return {side ? Outcome::BLACK_WINS : Outcome::WHITE_WINS,
                    mover.label + " (" + (side ? "White" : "Black") +
                        ") handed back an illegal board " + positionText(turn.returned, !side)};
        }
        playMove(record, turn.move);
    }
}

void score(Player& p, bool black, Outcome outcome) {
    const bool draw = outcome == Outcome::DRAW;
    const bool won = outcome == (black ? Outcome::BLACK_WINS : Outcome::WHITE_WINS);
    (draw ? p.draws : won ? p.wins : p.losses) += 1;
    if (black) (draw ? p.blackDraws : won ? p.blackWins : p.blackLosses) += 1;
}

void printTable(const Player players[ENGINES]) {
    std::printf("\n%-3s %-32s %6s %6s %6s %6s %8s\n", "", "engine", "games", "wins", "losses",
                "draws", "score");
    for (int i = 0; i < ENGINES; ++i) {
        const Player& p = players[i];
        const int games = p.wins + p.losses + p.draws;
        std::printf("%-3s %-32s %6d %6d %6d %6d %8.1f\n", p.label.c_str(), p.name.c_str(), games,
                    p.wins, p.losses, p.draws, p.wins + 0.5 * p.draws);
    }
    for (int i = 0; i < ENGINES; ++i) {
        const Player& p = players[i];
        std::printf("%s as Black: +%d -%d =%d, as White: +%d -%d =%d; illegal boards: %d\n",
                    p.label.c_str(), p.blackWins, p.blackLosses, p.blackDraws, p.wins - p.blackWins,
                    p.losses - p.blackLosses, p.draws - p.blackDraws, p.illegal);
    }
    const Player& a = players[0];
    const EloEstimate e = eloEstimate(a.wins, a.losses, a.draws);
    std::printf("score A %.1f - %.1f B (%.1f%%)\n", a.wins + 0.5 * a.draws,
                a.losses + 0.5 * a.draws, 100 * e.score);
    std::printf("Elo difference A - B: %s, 95%% interval [%s, %s]\n", formatElo(e.elo).c_str(),
                formatElo(e.low).c_str(), formatElo(e.high).c_str());
}

int runMatch(const MatchOptions& options) {
    Player players[ENGINES];
    std::string error;
    for (int i = 0; i < ENGINES; ++i) {
        players[i].label = std::string(1, static_cast<char>('A' + i));
        if (!openEngineLibrary(options.libraries[i], players[i].engine, error,
                               i ? &players[0].engine : nullptr)) {
            std::fprintf(stderr, "tarnvel match: %s\n", error.c_str());
            return EXIT_FAILED;
        }
        if (options.hashMegabytes)
            engineCommand(players[i].engine,
                          ("set hashsize " + std::to_string(options.hashMegabytes)).c_str());
        players[i].name = engineName(players[i].engine) + " (" + players[i].label + ")";
    }
    int status = 0;
    if (!writeTextFile(options.pdnOut, "", "w", error)) {
        std::fprintf(stderr, "tarnvel match: %s\n", error.c_str());
        status = EXIT_FAILED;
    }
    const std::vector<Opening> openings = threePlyOpenings();
    const long total = options.games ? std::min<long>(options.games, 2 * openings.size())
                                     : static_cast<long>(2 * openings.size());
    if (!status)
        std::printf("match: A = %s, B = %s; %ld games from %zu openings at %g s per move\n",
                    options.libraries[0].c_str(), options.libraries[1].c_str(), total,
                    openings.size(), options.seconds);
    for (long g = 0; g < total && !status; ++g) {
        const Opening& opening = openings[g / 2];
        Player& black = players[g % 2];
        Player& white = players[1 - g % 2];
        GameRecord record = openingRecord(opening);
        const GameOutcome result = playGame(record, black, white, options.seconds);
        score(black, true, result.outcome);
        score(white, false, result.outcome);
        const std::vector<PdnTag> tags = {{"Event", "Tarnvel match"},
                                          {"Date", pdnDate()},
                                          {"Round", std::to_string(g + 1)},
                                          {"Black", black.name},
                                          {"White", white.name}};
        if (!writeTextFile(options.pdnOut,
                           writePdnGame(tags, record, result.reason, pdnResult(result.outcome)),
                           "a", error)) {
            std::fprintf(stderr, "tarnvel match: %s\n", error.c_str());
            status = EXIT_FAILED;
        }
        const Player& a = players[0];
        std::printf(
            "game %ld/%ld: opening %ld (%s %s %s), A %s: %s %s, %zu plies | A +%d -%d =%d\n", g + 1,
            total, g / 2 + 1, opening.moves[0].c_str(), opening.moves[1].c_str(),
            opening.moves[2].c_str(), g % 2 ? "White" : "Black", pdnResult(result.outcome),
            result.reason.c_str(), record.moves.size(), a.wins, a.losses, a.draws);
        std::fflush(stdout);
    }
    if (!status) {
        printTable(players);
        std::printf("games written to %s\n", options.pdnOut.c_str());
    }
    return status;
}

int matchCommand(int argc, char** argv) {
    CommandLine line("match", std::string(USAGE) + HELP);
    MatchOptions options;
    line.app.add_option("--engine", options.libraries)->take_all()->allow_extra_args(false);
    addSeconds(line.app, options.seconds);
    addCount(line.app, "--games", 1, 1000000, options.games);
    line.app.add_option("--pdn-out", options.pdnOut);
    addHash(line.app, options.hashMegabytes);
    if (const int status = line.parse(argc, argv); status != PARSED) return status;
    if (options.libraries.size() != ENGINES)
        return line.fail("needs two --engine libraries (try tarnvel match --help)");
    return runMatch(options);
}

const bool registered = registerCommand(
    {"match", matchCommand, "match --engine A --engine B ...  engine against engine", 60});

}  // namespace

}  // namespace tarnvel::cli
