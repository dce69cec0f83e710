// tarnvel-egdb build: solve every ending up to N pieces and write the files.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "output.h"
#include "progress.h"
#include "solver.h"
#include "store.h"
#include "subcommands.h"

namespace tarnvel::egdbtool {

namespace {

constexpr int MIN_PIECES = 2;
constexpr int MAX_PIECES = 6;
constexpr int MAX_THREADS = 64;

void buildUsage(FILE* out) {
    std::fprintf(out,
                 "usage: tarnvel-egdb build --pieces N [--out DIR] [--threads T]\n"
                 "Solves every position of 2 to N pieces (N = %d…%d, at most %d a side) and writes\n"
                 "db2.idx/db2.cpr … dbN.idx/dbN.cpr into DIR (default \"db\"; created if missing).\n"
                 "T threads solve (default: one per processor).\n",
                 MIN_PIECES, MAX_PIECES, MAX_PER_SIDE);
}

bool parseCount(const char* text, int low, int high, int* value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || v < low || v > high) return false;
    *value = static_cast<int>(v);
    return true;
}

std::string materialLabel(const Material& m) {
    char text[48];
    std::snprintf(text, sizeof text, "B %dm %dk  W %dm %dk", m.bm, m.bk, m.wm, m.wk);
    return text;
}

}  // namespace

int buildCommand(int argc, char** argv) {
    int pieces = 0;
    int threads = static_cast<int>(std::thread::hardware_concurrency());
    const char* out = "db";
    for (int i = 0; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--help")) {
            buildUsage(stdout);
            return 0;
        } else if (!std::strcmp(argv[i], "--pieces") && hasValue) {
            if (!parseCount(argv[++i], MIN_PIECES, MAX_PIECES, &pieces)) {
                std::fprintf(stderr, "tarnvel-egdb build: --pieces must be %d…%d, not '%s'\n", MIN_PIECES,
                             MAX_PIECES, argv[i]);
                return USAGE_ERROR;
            }
        } else if (!std::strcmp(argv[i], "--threads") && hasValue) {
            if (!parseCount(argv[++i], 1, MAX_THREADS, &threads)) {
                std::fprintf(stderr, "tarnvel-egdb build: --threads must be 1…%d, not '%s'\n", MAX_THREADS,
                             argv[i]);
                return USAGE_ERROR;
            }
        } else if (!std::strcmp(argv[i], "--out") && hasValue) {
            out = argv[++i];
        } else {
            std::fprintf(stderr, "tarnvel-egdb build: unexpected argument '%s' (try --help)\n", argv[i]);
            return USAGE_ERROR;
        }
    }
    if (pieces == 0) {
        std::fprintf(stderr, "tarnvel-egdb build: --pieces N is required (try --help)\n");
        return USAGE_ERROR;
    }
    std::string problem;
    if (!prepareOutput(out, &problem)) {
        std::fprintf(stderr, "tarnvel-egdb build: %s\n", problem.c_str());
        return 1;
    }

    setSolverThreads(threads);
    const std::vector<Material> order = solvingOrder(pieces);
    uint64_t work = 0;
    for (const Material& m : order) work += materialSlots(m);
    const auto started = std::chrono::steady_clock::now();
    progressStart(work);
    Tally total{};
    for (const Material& m : order) {
        progressStep("solving " + materialLabel(m), materialSlots(m));
        const Tally t = solveMaterial(m);
        total.positions += t.positions;
        total.wins += t.wins;
        total.losses += t.losses;
        total.draws += t.draws;
    }
    progressFinish();
    const double solveSeconds = progressElapsed();
    std::printf("solved %llu positions in %.1f s: %llu wins, %llu losses, %llu draws "
                "(side to move; results held in %.1f MB)\n",
                static_cast<unsigned long long>(total.positions), solveSeconds,
                static_cast<unsigned long long>(total.wins), static_cast<unsigned long long>(total.losses),
                static_cast<unsigned long long>(total.draws), storeBytes() / 1048576.0);

    const bool written = writeDatabases(out, pieces, threads, &problem);
    if (!written) {
        std::fprintf(stderr, "tarnvel-egdb build: %s\n", problem.c_str());
        return 1;
    }
    std::printf("done in %.1f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    return 0;
}

}  // namespace tarnvel::egdbtool
