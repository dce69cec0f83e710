// tarnvel-egdb build: solve every ending up to N pieces, or some materials
// and those they lead to, and write the files.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "egdb/filenames.h"
#include "material_text.h"
#include "output.h"
#include "progress.h"
#include "solver.h"
#include "store.h"
#include "subcommands.h"
#include "work_dir.h"

namespace tarnvel::egdbtool {

namespace {

constexpr int MIN_PIECES = 2;
constexpr int MAX_PIECES = LAST_SINGLE_FILE_PIECES;
constexpr int MAX_THREADS = 64;
constexpr const char* DEFAULT_WORK = ".work";

// What the work directory belongs to: a rerun must be the same build.
std::string manifestOf(const BuildOptions& o) {
    std::string text = "tarnvel-egdb work directory, format " + std::to_string(WORK_FORMAT) + "\n";
    if (o.only.empty()) return text + "pieces " + std::to_string(o.pieces) + "\n";
    text += "only";
    for (const Material& m : o.only) text += " " + materialText(m);
    return text + "\n";
}

// Piece count of the database the materials go into: only a 7-piece
// database holds a side of four.
int databasePieces(const BuildOptions& o) {
    int pieces = o.pieces;
    for (const Material& m : o.only) {
        pieces = std::max(pieces, pieceCount(m));
        if (blackCount(m) > 3 || whiteCount(m) > 3) pieces = MAX_PIECES;
    }
    return pieces;
}

}  // namespace

CLI::App* addBuildCommand(CLI::App& parent, BuildOptions& o) {
    CLI::App* build = parent.add_subcommand("build", "solve and write databases of 2…N pieces");
    o.threads = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, MAX_THREADS);
    CLI::Option* pieces = build->add_option("--pieces", o.pieces, "largest piece count, " +
                                                                      std::to_string(MIN_PIECES) + "…" +
                                                                      std::to_string(MAX_PIECES))
                              ->type_name("N")
                              ->check(CLI::Range(MIN_PIECES, MAX_PIECES));
    build->add_option_function<std::vector<std::string>>(
             "--only",
             [&o](const std::vector<std::string>& texts) {
                 for (const std::string& t : texts) {
                     const std::optional<Material> m = parseMaterial(t);
                     if (!m) throw CLI::ValidationError("--only", "'" + t + "' is not a material like 4k2k");
                     o.only.push_back(*m);
                 }
             },
             "only these materials and those they lead to")
        ->type_name("MATERIAL")
        ->excludes(pieces);
    build->add_option("--out", o.out, "directory of the files (created if missing)")
        ->type_name("DIR")
        ->capture_default_str();
    build->add_option("--work", o.work, "work directory (default OUT/.work, removed after a build)")
        ->type_name("DIR");
    build->add_option("--threads", o.threads, "threads that solve (default: one per processor)")
        ->type_name("T")
        ->check(CLI::Range(1, MAX_THREADS));
    build->footer(
        "Solves every position of 2 to N pieces (at most 3 a side, 4 a side for N = 7)\n"
        "and writes db2.idx/db2.cpr … dbN.idx/dbN.cpr into the output directory.\n"
        "A MATERIAL is black's pieces, then white's, each Nm, Nk or NmMk: 4k2k is four\n"
        "black kings against two white kings, 2m1k3m two men and a king against three\n"
        "men. With --only the files hold those materials and every one they lead to;\n"
        "the other slices are absent.\n"
        "Every finished material is kept in the work directory: the same command run\n"
        "again after a stop carries on at the first unfinished one.");
    return build;
}

int buildCommand(const BuildOptions& o) {
    if (o.pieces == 0 && o.only.empty()) {
        std::fprintf(stderr, "tarnvel-egdb build: --pieces N or --only MATERIAL is required (try --help)\n");
        return USAGE_ERROR;
    }
    const int pieces = databasePieces(o);
    std::string problem;
    if (!prepareOutput(o.out, &problem)) {
        std::fprintf(stderr, "tarnvel-egdb build: %s\n", problem.c_str());
        return 1;
    }
    const std::string workDir = o.work.empty() ? (std::filesystem::path(o.out) / DEFAULT_WORK).string() : o.work;
    if (!openWorkDirectory(workDir, manifestOf(o), &problem)) {
        std::fprintf(stderr, "tarnvel-egdb build: %s\n", problem.c_str());
        return 1;
    }

    setSolverThreads(o.threads);
    const std::vector<Material> order = o.only.empty() ? solvingOrder(pieces) : solvingOrderFor(o.only);
    uint64_t work = 0;
    for (const Material& m : order) work += materialSlots(m);
    const auto started = std::chrono::steady_clock::now();
    progressStart(work);
    Tally total{};
    int resumed = 0;
    for (const Material& m : order) {
        if (loadKept(m)) {
            progressSkip(materialSlots(m));
            ++resumed;
            continue;
        }
        progressStep("solving " + materialText(m), materialSlots(m));
        Tally t;
        if (!solveMaterial(m, &t, &problem)) {
            progressFinish();
            std::fprintf(stderr, "tarnvel-egdb build: %s\n", problem.c_str());
            return 1;
        }
        total.positions += t.positions;
        total.wins += t.wins;
        total.losses += t.losses;
        total.draws += t.draws;
    }
    progressFinish();
    if (resumed > 0) std::printf("%d of %zu materials were finished already in %s\n", resumed, order.size(),
                                 workDir.c_str());
    std::printf("solved %llu positions in %.1f s: %llu wins, %llu losses, %llu draws "
                "(side to move; results kept in %.1f MB)\n",
                static_cast<unsigned long long>(total.positions), progressElapsed(),
                static_cast<unsigned long long>(total.wins), static_cast<unsigned long long>(total.losses),
                static_cast<unsigned long long>(total.draws), storeBytes() / 1048576.0);

    const bool written = writeDatabases(o.out, pieces, order, o.threads, &problem);
    releaseStore();
    if (!written) {
        std::fprintf(stderr, "tarnvel-egdb build: %s\n", problem.c_str());
        return 1;
    }
    if (o.work.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(workDir, ignored);
    }
    std::printf("done in %.1f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    return 0;
}

}  // namespace tarnvel::egdbtool
