// tarnvel perft: exact move-path counts and move generation speed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/movestack.h"
#include "board/notation.h"
#include "board/perft.h"
#include "board/position.h"
#include "commands.h"
#include "interface/history.h"
#include "interface/postext.h"

namespace tarnvel::cli {

namespace {
constexpr const char* INITIAL_POSITION = "B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.";

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

namespace {
int perftCommand(int argc, char** argv) {
    int depth = -1;
    bool divide = false;
    const char* text = INITIAL_POSITION;
    for (int i = 0; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--divide")) {
            divide = true;
        } else if (!std::strcmp(argv[i], "--help")) {
            std::printf("usage: tarnvel perft DEPTH [POSITION-TEXT] [--divide]\n"
                        "Counts the legal move sequences of DEPTH plies (default position: the\n"
                        "initial arrangement, Black to move). --divide lists each first move.\n");
            return 0;
        } else if (depth < 0) {
            char* end = nullptr;
            const long d = std::strtol(argv[i], &end, 10);
            if (*argv[i] == '\0' || *end != '\0' || d < 1 || d > PERFT_MAX_DEPTH) {
                std::fprintf(stderr, "tarnvel perft: DEPTH must be 1…%d, not '%s'\n",
                             PERFT_MAX_DEPTH, argv[i]);
                return 2;
            }
            depth = static_cast<int>(d);
        } else {
            text = argv[i];
        }
    }
    if (depth < 0) {
        std::fprintf(stderr, "usage: tarnvel perft DEPTH [POSITION-TEXT] [--divide]\n");
        return 2;
    }
    int side = 0;
    if (!parsePosition(text, &side)) {
        std::fprintf(stderr, "tarnvel perft: cannot parse position '%s'\n", text);
        return 2;
    }

    const auto start = std::chrono::steady_clock::now();
    uint64_t total = 0;
    if (divide) {
        const uint32_t n = generateLegalMoves(side, 0);
        const Position root = position;
        const uint32_t rootLength = gameHistory.length;
        for (uint32_t i = 0; i < n; ++i) {
            const std::string name = moveNotation(root, i);
            makeMove(i);
            const uint64_t count = depth > 1 ? perft(depth - 1, !side, 1) : 1;
            position = root;
            gameHistory.length = rootLength;
            total += count;
            std::printf("%-12s %llu\n", name.c_str(), static_cast<unsigned long long>(count));
        }
    } else {
        total = perft(depth, side);
    }
    const double seconds = secondsSince(start);
    std::printf("perft %d: %llu leaves in %.3f s", depth, static_cast<unsigned long long>(total),
                seconds);
    if (seconds > 0) std::printf(" (%.1f M leaves/s)", total / seconds / 1e6);
    std::printf("\n");
    return 0;
}

const bool registered = registerCommand(
    {"perft", perftCommand, "perft DEPTH [POSITION-TEXT] [--divide]  count move paths to DEPTH", 10});
}  // namespace

}  // namespace tarnvel::cli
