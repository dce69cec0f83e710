// tarnvel-egdb build: solve every ending up to N pieces and write the files.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
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

std::string materialLabel(const Material& m) {
    char text[48];
    std::snprintf(text, sizeof text, "B %dm %dk  W %dm %dk", m.bm, m.bk, m.wm, m.wk);
    return text;
}

}  // namespace

CLI::App* addBuildCommand(CLI::App& parent, BuildOptions& o) {
    CLI::App* build = parent.add_subcommand("build", "solve and write databases of 2…N pieces");
    o.threads = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, MAX_THREADS);
    build->add_option("--pieces", o.pieces, "largest piece count, " + std::to_string(MIN_PIECES) + "…" +
                                                std::to_string(MAX_PIECES))
        ->type_name("N")
        ->required()
        ->check(CLI::Range(MIN_PIECES, MAX_PIECES));
    build->add_option("--out", o.out, "directory of the files (created if missing)")
        ->type_name("DIR")
        ->capture_default_str();
    build->add_option("--threads", o.threads, "threads that solve (default: one per processor)")
        ->type_name("T")
        ->check(CLI::Range(1, MAX_THREADS));
    build->footer("Solves every position of 2 to N pieces (at most " + std::to_string(MAX_PER_SIDE) +
                  " a side) and writes\ndb2.idx/db2.cpr … dbN.idx/dbN.cpr into the output directory.");
    return build;
}

int buildCommand(const BuildOptions& o) {
    const int pieces = o.pieces;
    const int threads = o.threads;
    const char* out = o.out.c_str();
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
