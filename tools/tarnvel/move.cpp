// tarnvel move: one engine move through getmove, named in standard notation.
#include <cstdio>
#include <cstring>
#include <string>

#include "arguments.h"
#include "commands.h"
#include "host_position.h"
#include "linked_engine.h"
#include "v13/search/search.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel::cli {

namespace {

constexpr const char* HELP =
    "usage: tarnvel move [--time S] [--hash MB] [--threads N] [--depth N] [--engine v1.3|2]\n"
    "                    POSITION-TEXT\n"
    "Asks the engine for its move in POSITION-TEXT (e.g. B:W21,22:B1,K5.)\n"
    "as a host would, and prints the move, the search report, the result\n"
    "and the position after the move. --time is the allowance in seconds\n"
    "(default 1), --hash the table size in MB, --threads the search threads\n"
    "(Tarnvel 2), --depth stops the search after that iteration\n"
    "(reproducible; no time limit unless --time), --engine chooses the\n"
    "engine (default v1.3).\n";
constexpr double DEFAULT_SECONDS = 1.0;
// With a depth and no time given, the depth alone ends the search.
constexpr double UNLIMITED_SECONDS = 1e6;

int moveCommand(int argc, char** argv) {
    CommandLine line("move", HELP);
    double seconds = -1;
    long hash = 0, depth = 0, threads = 0;
    std::string text, engineName = "v1.3";
    addSeconds(line.app, seconds, true);
    addLinkedEngine(line.app, engineName);
    addHash(line.app, hash);
    addThreads(line.app, threads);
    addCount(line.app, "--depth", 1, MAX_PLY, depth);
    line.app.add_option("POSITION-TEXT", text)->required();
    if (const int status = line.parse(argc, argv); status != PARSED) return status;
    const LinkedEngine& engine = *linkedEngine(engineName);
    engine.attach();
    HostPosition host;
    if (!loadHostPosition(text.c_str(), &host))
        return line.fail("cannot parse position '" + text + "'");
    if (hash) sendCommand(engine, "set hashsize " + std::to_string(hash));
    if (threads) sendCommand(engine, "set threads " + std::to_string(threads));
    if (seconds < 0) seconds = depth ? UNLIMITED_SECONDS : DEFAULT_SECONDS;
    engine.limitDepth(static_cast<uint32_t>(depth));

    int board[8][8];
    std::memcpy(board, host.board, sizeof board);
    char report[TARNVEL_TEXT_CAPACITY] = "";
    int playNow = 0;
    const int result = engine.getmove(board, host.color, seconds, report, &playNow, 1);

    if (host.outcomes.empty()) {
        std::printf("no legal move\nresult: %d (%s)\n", result, resultWord(result));
        return 0;
    }
    const HostPosition::Outcome* played = findOutcome(host, board);
    if (!played) {
        std::fprintf(stderr, "tarnvel move: the engine's board matches no legal move\n");
        return 1;
    }
    std::printf("move: %s\n%sresult: %d (%s)\nposition: %s\n", played->notation.c_str(), report,
                result, resultWord(result), played->positionText.c_str());
    return 0;
}

const bool registered = registerCommand(
    {"move", moveCommand, "move [--time S] [--hash MB] [--depth N] POSITION-TEXT  the engine's move",
     20});

}  // namespace

}  // namespace tarnvel::cli
