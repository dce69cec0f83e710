// tarnvel perft: exact move-path counts and move generation speed.
#include <chrono>
#include <cstdio>
#include <string>

#include "arguments.h"
#include "board/movestack.h"
#include "board/notation.h"
#include "board/perft.h"
#include "board/position.h"
#include "commands.h"
#include "game.h"
#include "interface/history.h"
#include "interface/postext.h"

namespace tarnvel::cli {

namespace {
double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

constexpr const char* HELP =
    "usage: tarnvel perft DEPTH [POSITION-TEXT] [--divide]\n"
    "Counts the legal move sequences of DEPTH plies (default position: the\n"
    "initial arrangement, Black to move). --divide lists each first move.\n";

int perftCommand(int argc, char** argv) {
    CommandLine line("perft", HELP);
    long depth = 0;
    bool divide = false;
    std::string text = INITIAL_POSITION_TEXT;
    line.app.add_flag("--divide", divide);
    addCount(line.app, "DEPTH", 1, PERFT_MAX_DEPTH, depth)->required();
    line.app.add_option("POSITION-TEXT", text);
    if (const int status = line.parse(argc, argv); status != PARSED) return status;
    int side = 0;
    if (!parsePosition(text.c_str(), &side))
        return line.fail("cannot parse position '" + text + "'");

    const auto start = std::chrono::steady_clock::now();
    uint64_t total = 0;
    if (divide) {
        const uint32_t n = generateLegalMoves(side, 0);
        const Position root = position;
        const uint32_t rootLength = gameHistory.length;
        for (uint32_t i = 0; i < n; ++i) {
            const std::string name = moveNotation(root, i);
            makeMove(i);
            const uint64_t count = depth > 1 ? perft(static_cast<int>(depth) - 1, !side, 1) : 1;
            position = root;
            gameHistory.length = rootLength;
            total += count;
            std::printf("%-12s %llu\n", name.c_str(), static_cast<unsigned long long>(count));
        }
    } else {
        total = perft(static_cast<int>(depth), side);
    }
    const double seconds = secondsSince(start);
    std::printf("perft %ld: %llu leaves in %.3f s", depth, static_cast<unsigned long long>(total),
                seconds);
    if (seconds > 0) std::printf(" (%.1f M leaves/s)", total / seconds / 1e6);
    std::printf("\n");
    return 0;
}

const bool registered = registerCommand(
    {"perft", perftCommand, "perft DEPTH [POSITION-TEXT] [--divide]  count move paths to DEPTH", 10});
}  // namespace

}  // namespace tarnvel::cli
