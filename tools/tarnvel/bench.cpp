// tarnvel bench: fixed-depth searches over a fixed set of positions. The
// total node count is a signature of the search: any change to the search,
// the evaluation or the move order changes it.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "arguments.h"
#include "commands.h"
#include "host_position.h"
#include "linked_engine.h"
#include "v13/search/search.h"

namespace tarnvel::cli {

namespace {

constexpr const char* USAGE =
    "usage: tarnvel bench [--depth N] [--hash MB] [--engine v1.3|2] [--verbose]\n";
constexpr long DEFAULT_DEPTH = 14;
constexpr long DEFAULT_HASH_MB = 64;

// Openings, middlegames, endings with kings and tactical shots.
constexpr const char* BENCH_POSITIONS[] = {
    "B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.",
    "W:W19,21,22,23,25,26,27,28,29,30,31,32:B1,2,3,4,6,7,8,9,10,11,12,14.",
    "W:W19,21,22,23,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,9,10,11,12,16.",
    "W:W18,21,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,9,10,11,12,16.",
    "W:W13,19,21,22,23,24,25,26,27,30,31,32:B1,3,5,6,7,8,9,10,11,12,14,20.",
    "B:W14,21,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,9,10,11,12,16.",
    "B:W8,14,23,25,27,29,30,31,32:B1,2,3,5,7,9,12,18,20.",
    "B:W19,21,22,23,26,27,28,30,31,32:B1,2,3,6,7,8,10,11,12,14.",
    "W:W14,17,24,26,27,28,29,30,31,32:B1,2,3,5,7,8,11,12,15,16.",
    "W:W13,17,18,19,21,22,24,25,30,32:B1,3,5,6,7,9,11,12,14,15.",
    "W:W17,21,22,23,24,26,27,30,32:B2,3,5,9,10,11,12,16,20.",
    "W:W18,20,21,22,23,24,25,30,32:B1,2,3,8,9,11,14,15,16.",
    "B:W19,21,22,26,27,30,31,32:B1,2,3,7,8,10,12,13.",
    "W:W14,17,18,22,25,30,31,32:B1,2,3,5,7,8,16,19.",
    "B:W14,18,21,22,24,26,27,30,32:B1,3,5,7,8,9,11,13,16.",
    "W:W17,18,20,22,23,27,30,32:B5,6,9,11,12,13,15,16.",
    "W:WK4,19,20,25,29,30,32:B1,2,3,5,10,12,23.",
    "B:W14,19,26,27,31,32:B3,5,7,11,12,13.",
    "W:WK2,13,14,21,24,27,28,30:B7,11,12,16,20,25.",
    "B:WK11,20,22,25,30,32:B1,3,9,12,14,23.",
    "W:W6,20,25,30,32:B8,10,11,16,23,K31.",
    "B:WK11,15,18,23:B9,12,25,K27.",
    "W:WK2,K8,20,30,32:B11,12,15,23,K26,K27.",
    "W:WK2,K7,11,14,32:B1,5,28,K30,K31.",
    "W:WK2,K7,K8,14,18,28,30:B12,27,K29,K32.",
    "W:WK19,K27:BK28,12.",
    "W:WK1,K2,K3:BK31,K32.",
    "W:WK3,18,20,27,32:B9,11,12,19,K30.",
    "W:W22,23,26,30:B5,9,14,15.",
    "W:WK14:B10,11,18,19,26,27.",
    "B:W17,21,22,25,29:B9,10,13,14.",
};

int benchCommand(int argc, char** argv) {
    char help[1024];
    std::snprintf(help, sizeof help,
                  "%s"
                  "Searches each of %zu fixed positions from a new game to depth N\n"
                  "(default %ld) with an N MB table (default %ld) and prints the total\n"
                  "node count, the search time and the speed. The node count depends\n"
                  "only on the engine and the options, never on the machine.\n",
                  USAGE, std::size(BENCH_POSITIONS), DEFAULT_DEPTH, DEFAULT_HASH_MB);
    CommandLine line("bench", help);
    long depth = DEFAULT_DEPTH, hash = DEFAULT_HASH_MB;
    bool verbose = false;
    std::string engineName = "v1.3";
    addCount(line.app, "--depth", 1, MAX_PLY, depth);
    addLinkedEngine(line.app, engineName);
    addHash(line.app, hash);
    line.app.add_flag("--verbose", verbose);
    if (const int status = line.parse(argc, argv); status != PARSED) return status;
    const LinkedEngine& engine = *linkedEngine(engineName);
    engine.attach();
    sendCommand(engine, "set hashsize " + std::to_string(hash));

    uint64_t totalNodes = 0;
    double totalSeconds = 0, totalCpuSeconds = 0;
    for (const char* text : BENCH_POSITIONS) {
        FixedDepthRun search{};
        if (!engine.searchFixedDepth(text, static_cast<uint32_t>(depth), &search)) {
            std::fprintf(stderr, "tarnvel bench: cannot parse position '%s'\n", text);
            return 1;
        }
        const double seconds = search.seconds;
        totalNodes += search.nodes;
        totalSeconds += seconds;
        totalCpuSeconds += search.cpuSeconds;
        if (verbose)
            std::printf("%10" PRIu64 " nodes %8.3f s  %s\n", search.nodes, seconds, text);
    }
    // On a shared machine the processor time is the steadier figure.
    std::printf("bench depth %ld, %zu positions: %" PRIu64 " nodes in %.3f s (cpu %.3f s)", depth,
                std::size(BENCH_POSITIONS), totalNodes, totalSeconds, totalCpuSeconds);
    if (totalSeconds > 0) std::printf(", %.0f nodes/s", static_cast<double>(totalNodes) / totalSeconds);
    if (totalCpuSeconds > 0)
        std::printf(" (cpu %.0f nodes/s)", static_cast<double>(totalNodes) / totalCpuSeconds);
    std::printf("\n");
    return 0;
}

const bool registered = registerCommand(
    {"bench", benchCommand, "bench [--depth N] [--hash MB]  search speed and node-count signature",
     50});

}  // namespace

}  // namespace tarnvel::cli
