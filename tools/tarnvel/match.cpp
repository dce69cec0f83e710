// tarnvel match: two engine libraries play every three-ply opening once
// with each colour, in worker processes, resumable from the PDN file.
#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "engine_library.h"
#include "match_game.h"
#include "match_message.h"
#include "match_resume.h"
#include "match_rounds.h"
#include "match_tally.h"
#include "move_timing.h"
#include "openings.h"
#include "text_file.h"
#include "worker_pool.h"

namespace tarnvel::cli {

namespace {

constexpr double DEFAULT_SECONDS = 0.1;
constexpr const char* DEFAULT_PDN = "match.pdn";
constexpr long MAX_CONCURRENCY = 256;
// A move may take this long, plus ten times its allowance, before it is
// taken for a hang: the first move opens the endgame database.
constexpr double MOVE_LIMIT_BASE_SECONDS = 60;
// Games lost with their workers before the match stops: an engine that
// keeps crashing would only lose every game.
constexpr int MAX_LOST_GAMES = 3;

constexpr const char* USAGE =
    "usage: tarnvel match --engine LIB_A --engine LIB_B [--time S] [--games N]\n"
    "                     [--pdn-out FILE] [--hash MB] [--threads N] [--concurrency N]\n"
    "                     [--resume] [--random-plies N] [--seed S] [--positions-out FILE]\n"
    "                     [--times-out FILE] [--move-limit S]\n";

constexpr const char* HELP =
    "Plays every distinct position three plies from the start twice, each engine\n"
    "taking each colour once, and reports the score and the Elo difference.\n"
    "  --engine LIB          an engine library, or v1.3 or 2 for the engines built\n"
    "                        with tarnvel; give two (they may be the same)\n"
    "  --time S              time per move in seconds (default 0.1)\n"
    "  --games N             play only the first N games\n"
    "  --pdn-out FILE        where the games go (default match.pdn), replaced unless\n"
    "                        --resume\n"
    "  --hash MB             both engines' transposition table size, 1-1024 MB\n"
    "  --threads N           search threads of the engines that take them (Tarnvel 2;\n"
    "                        v1.3 has one), 1-64; given twice, engine A's then B's.\n"
    "                        Each game at once runs one engine at a time\n"
    "  --concurrency N       games at once, each in a process of its own with its own\n"
    "                        copies of both engines (default 1)\n"
    "  --resume              count the games already in the --pdn-out file and play\n"
    "                        only the missing ones; give the same arguments as before\n"
    "  --random-plies N      after each opening, N random legal moves, the same in\n"
    "                        both games of the opening (default 0)\n"
    "  --seed S              seed of the random moves (default 1)\n"
    "  --positions-out FILE  append a 24-byte record (tools/train/training_record.h)\n"
    "                        for every position an engine searched with more than one\n"
    "                        legal move\n"
    "  --times-out FILE      one line per getmove call: game, ply, engine, allowance\n"
    "                        and wall time in ms, first move of the game or not\n"
    "                        (replaced unless --resume)\n"
    "  --move-limit S        a getmove call longer than S seconds is a hang: the game\n"
    "                        is lost and its process stopped (default 60 + 10 x --time)\n";

struct MatchOptions {
    std::vector<std::string> libraries;
    double seconds = DEFAULT_SECONDS;
    long games = 0;  // 0: all
    long hashMegabytes = 0;
    std::vector<long> threads;  // none: the engines' own; one: both; two: A's, B's
    std::string pdnOut = DEFAULT_PDN;
    long concurrency = 1;
    bool resume = false;
    long randomPlies = 0;
    long seed = 1;
    std::string positionsOut, timesOut;
    double moveLimit = 0;  // 0: from the time per move
};

int failed(const std::string& error) {
    std::fprintf(stderr, "tarnvel match: %s\n", error.c_str());
    return EXIT_FAILED;
}

// In a worker: both engines loaded, each a copy of its own.
bool loadPlayers(const MatchOptions& o, MatchPlayer players[MATCH_PLAYERS], std::string& text) {
    for (int i = 0; i < MATCH_PLAYERS; ++i) {
        if (!openEngineLibrary(engineLibraryPath(o.libraries[i]), players[i].engine, text,
                               i ? &players[0].engine : nullptr))
            return false;
        if (o.hashMegabytes)
            engineCommand(players[i].engine,
                          ("set hashsize " + std::to_string(o.hashMegabytes)).c_str());
        if (!o.threads.empty())
            engineCommand(players[i].engine,
                          ("set threads " + std::to_string(o.threads[o.threads.size() > 1 ? i : 0])).c_str());
        players[i].name = engineName(players[i].engine) + " (" + players[i].label + ")";
    }
    text = players[0].name + "\n" + players[1].name;
    return true;
}

bool emptyOrMissing(const std::string& path) {
    std::error_code ec;
    return !std::filesystem::exists(path, ec) || std::filesystem::file_size(path, ec) == 0;
}

// The files before the first game: the finished games counted on --resume.
bool prepareFiles(const MatchOptions& o, const std::vector<MatchRound>& rounds,
                  const std::string names[MATCH_PLAYERS], MatchTally& tally,
                  std::vector<bool>& finished, std::string& error) {
    if (!o.positionsOut.empty() && !emptyOrMissing(o.positionsOut)) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(o.positionsOut, ec);
        if (ec || size % sizeof(TrainingRecord) != 0) {
            error = o.positionsOut + " is not a file of whole 24-byte records";
            return false;
        }
    }
    if (!o.timesOut.empty() && (!o.resume || emptyOrMissing(o.timesOut)) &&
        !writeTextFile(o.timesOut, MoveTiming::header(), "w", error))
        return false;
    if (!o.resume || !std::filesystem::exists(o.pdnOut))
        return writeTextFile(o.pdnOut, "", "w", error);
    std::string text;
    std::vector<FinishedRound> done;
    if (!readTextFile(o.pdnOut, text, error)) return false;
    if (!finishedRounds(text, rounds, names, done, error)) {
        error = "cannot resume from " + o.pdnOut + ": " + error;
        return false;
    }
    for (const FinishedRound& f : done) {
        tally.add(rounds[f.round].blackPlayer, f.outcome, f.forfeit);
        finished[f.round] = true;
    }
    return true;
}

// "1 game", "2 games"
std::string games(size_t n) { return std::to_string(n) + (n == 1 ? " game" : " games"); }

std::string roundList(const std::vector<long>& rounds) {
    std::string text;
    for (long r : rounds) text += (text.empty() ? "" : ", ") + std::to_string(r + 1);
    return text;
}

int runMatch(const MatchOptions& o) {
    const std::vector<Opening> openings = threePlyOpenings();
    const std::vector<MatchRound> rounds = matchRounds(
        openings, o.games, static_cast<int>(o.randomPlies), static_cast<uint64_t>(o.seed));
    MatchPlayer players[MATCH_PLAYERS];
    for (int i = 0; i < MATCH_PLAYERS; ++i) players[i].label = std::string(1, 'A' + i);
    const WorkerJob job{[&](std::string& text) { return loadPlayers(o, players, text); },
                        [&](long task, const WorkerJob::Progress& progress) {
                            const MatchRound& r = rounds[task];
                            return encodeGame(playMatchGame(task, r.start, players, r.blackPlayer,
                                                            o.seconds, progress));
                        }};
    WorkerPool pool(job, o.moveLimit > 0 ? o.moveLimit : MOVE_LIMIT_BASE_SECONDS + 10 * o.seconds);
    std::string hello, error;
    if (!pool.start(hello, error)) return failed(error);
    const size_t newline = hello.find('\n');
    const std::string names[MATCH_PLAYERS] = {hello.substr(0, newline), hello.substr(newline + 1)};

    MatchTally tally;
    std::vector<bool> finished(rounds.size());
    if (!prepareFiles(o, rounds, names, tally, finished, error)) return failed(error);
    const size_t total = rounds.size();
    std::printf("match: A = %s, B = %s; %s from %zu openings at %g s per move",
                o.libraries[0].c_str(), o.libraries[1].c_str(), games(total).c_str(),
                openings.size(), o.seconds);
    if (o.randomPlies)
        std::printf(", %ld random plies after each (seed %ld)", o.randomPlies, o.seed);
    if (o.concurrency > 1) std::printf(", %ld at a time", o.concurrency);
    std::printf("\n");
    std::vector<long> tasks;
    size_t skipped = 0;
    for (size_t r = 0; r < total; ++r) {
        skipped += rounds[r].ended;
        if (!finished[r] && !rounds[r].ended) tasks.push_back(static_cast<long>(r));
    }
    if (skipped) std::printf("%s skipped: the random plies end the game\n", games(skipped).c_str());
    const int resumed = tally.games();
    if (o.resume)
        std::printf("resuming from %s: %s finished, %zu to play\n", o.pdnOut.c_str(),
                    games(resumed).c_str(), tasks.size());
    std::fflush(stdout);

    MoveTiming timing(1000 * o.seconds);
    int lost = 0;
    bool writeFailed = false;
    const auto lose = [&](long task, const std::string& why) {
        std::printf("game %ld/%zu lost: %s\n", task + 1, total, why.c_str());
        if (++lost == MAX_LOST_GAMES) std::printf("stopping: %d games lost\n", lost);
        std::fflush(stdout);
        return lost < MAX_LOST_GAMES;
    };
    const PoolEvents events{
        [&](long task, std::string_view bytes) {
            PlayedGame g;
            if (!decodeGame(bytes, g) || g.round != task)
                return lose(task, "its worker's report could not be read");
            const std::string times = o.timesOut.empty() ? "" : timing.lines(task + 1, g.times);
            std::vector<std::pair<std::string, std::string_view>> parts;
            if (!o.positionsOut.empty())
                parts.push_back({o.positionsOut,
                                 {reinterpret_cast<const char*>(g.positions.data()),
                                  g.positions.size() * sizeof(TrainingRecord)}});
            if (!o.timesOut.empty()) parts.push_back({o.timesOut, times});
            // The PDN last: it is what --resume counts.
            parts.push_back({o.pdnOut, g.pdn});
            if (!appendTogether(parts, error)) {
                writeFailed = true;
                return false;
            }
            const MatchRound& r = rounds[task];
            finished[task] = true;
            tally.add(r.blackPlayer, g.outcome, g.forfeit);
            timing.add(g.times);
            const std::vector<std::string>& moves = openings[r.opening].moves;
            std::printf("game %ld/%zu: opening %zu (%s %s %s), A %s: %s %s, %llu plies | %s\n",
                        task + 1, total, r.opening + 1, moves[0].c_str(), moves[1].c_str(),
                        moves[2].c_str(), r.blackPlayer ? "White" : "Black", pdnResult(g.outcome),
                        g.reason.c_str(), static_cast<unsigned long long>(g.plies),
                        tally.running().c_str());
            std::fflush(stdout);
            return true;
        },
        lose};
    std::string poolError;
    pool.run(tasks, static_cast<int>(o.concurrency), events, poolError);
    if (!poolError.empty()) std::fprintf(stderr, "tarnvel match: %s\n", poolError.c_str());
    if (writeFailed) std::fprintf(stderr, "tarnvel match: %s\n", error.c_str());

    printTable(tally, names);
    const int played = tally.games() - resumed;
    if (played > 0)
        timing.print("the " + games(played) + " played in this run" +
                     (resumed ? "; the " + games(resumed) + " resumed are not in it" : ""));
    std::printf("games written to %s\n", o.pdnOut.c_str());
    std::vector<long> missing;
    for (size_t r = 0; r < total; ++r)
        if (!finished[r] && !rounds[r].ended) missing.push_back(static_cast<long>(r));
    if (!missing.empty())
        std::printf("%s not played (round%s %s): run the same command with --resume to play %s\n",
                    games(missing.size()).c_str(), missing.size() > 1 ? "s" : "",
                    roundList(missing).c_str(), missing.size() > 1 ? "them" : "it");
    return missing.empty() && poolError.empty() && !writeFailed ? 0 : EXIT_FAILED;
}

int matchCommand(int argc, char** argv) {
    CommandLine line("match", std::string(USAGE) + HELP);
    MatchOptions options;
    line.app.add_option("--engine", options.libraries)->take_all()->allow_extra_args(false);
    addSeconds(line.app, options.seconds);
    addCount(line.app, "--games", 1, 1000000, options.games);
    line.app.add_option("--pdn-out", options.pdnOut);
    addHash(line.app, options.hashMegabytes);
    line.app.add_option("--threads", options.threads)
        ->check(threadsCheck())
        ->allow_extra_args(false);
    addCount(line.app, "--concurrency", 1, MAX_CONCURRENCY, options.concurrency);
    line.app.add_flag("--resume", options.resume);
    addCount(line.app, "--random-plies", 0, MAX_RANDOM_PLIES, options.randomPlies);
    addCount(line.app, "--seed", 0, LONG_MAX, options.seed);
    line.app.add_option("--positions-out", options.positionsOut);
    line.app.add_option("--times-out", options.timesOut);
    addSeconds(line.app, options.moveLimit, false, "--move-limit");
    if (const int status = line.parse(argc, argv); status != PARSED) return status;
    if (options.libraries.size() != MATCH_PLAYERS)
        return line.fail("needs two --engine libraries (try tarnvel match --help)");
    if (options.threads.size() > MATCH_PLAYERS)
        return line.fail("--threads is given once for both engines or once for each");
    return runMatch(options);
}

const bool registered = registerCommand(
    {"match", matchCommand, "match --engine A --engine B ...  engine against engine", 60});

}  // namespace

}  // namespace tarnvel::cli
