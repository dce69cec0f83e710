// tarnvel-egdb build: solve every ending up to N pieces, or some materials
// and those they lead to, and write the files.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "egdb/filenames.h"
#include "material_text.h"
#include "output.h"
#include "progress.h"
#include "solver.h"
#include "stop_notice.h"
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

// What a finished material took, kept as a note in the work directory's
// manifest so that a resumed build's summary counts the whole build.
struct Solved {
    Tally tally;
    double seconds;
};

std::string noteOf(const Material& m, const Solved& s) {
    char text[160];
    std::snprintf(text, sizeof text, "solved %s %llu %llu %llu %llu %.1f", materialText(m).c_str(),
                  static_cast<unsigned long long>(s.tally.positions), static_cast<unsigned long long>(s.tally.wins),
                  static_cast<unsigned long long>(s.tally.losses), static_cast<unsigned long long>(s.tally.draws),
                  s.seconds);
    return text;
}

// The note of m among `notes`, if there is one.
std::optional<Solved> noteFor(const Material& m, const std::vector<std::string>& notes) {
    const std::string prefix = "solved " + materialText(m) + " ";
    for (const std::string& note : notes) {
        unsigned long long positions, wins, losses, draws;
        double seconds;
        if (note.starts_with(prefix) &&
            std::sscanf(note.c_str() + prefix.size(), "%llu %llu %llu %llu %lf", &positions, &wins, &losses, &draws,
                        &seconds) == 5)
            return Solved{{positions, wins, losses, draws}, seconds};
    }
    return std::nullopt;
}

void add(Tally& total, const Tally& t) {
    total.positions += t.positions;
    total.wins += t.wins;
    total.losses += t.losses;
    total.draws += t.draws;
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
    std::vector<std::string> notes;
    if (!openWorkDirectory(workDir, manifestOf(o), &notes, &problem)) {
        std::fprintf(stderr, "tarnvel-egdb build: %s\n", problem.c_str());
        return 1;
    }
    sayOnStop("\ntarnvel-egdb build: stopped; the finished materials are kept in " + workDir +
              ". Run the same command again to carry on:\n  " + o.commandLine + "\n");

    setSolverThreads(o.threads);
    const std::vector<Material> order = o.only.empty() ? solvingOrder(pieces) : solvingOrderFor(o.only);
    uint64_t work = 0;
    for (const Material& m : order) work += materialSlots(m);
    const auto started = std::chrono::steady_clock::now();
    progressStart(work);
    Tally total{};
    double solvingSeconds = 0, earlierSeconds = 0;
    int resumed = 0, uncounted = 0;
    std::vector<std::string> kept;  // the notes of the materials finished, in this run or before
    for (const Material& m : order) {
        if (loadKept(m)) {
            progressSkip(materialSlots(m));
            ++resumed;
            const std::optional<Solved> before = noteFor(m, notes);
            if (!before) {
                ++uncounted;
                continue;
            }
            add(total, before->tally);
            solvingSeconds += before->seconds;
            earlierSeconds += before->seconds;
            kept.push_back(noteOf(m, *before));
            continue;
        }
        progressStep("solving " + materialText(m), materialSlots(m));
        const auto solveStart = std::chrono::steady_clock::now();
        Solved solved{};
        if (!solveMaterial(m, &solved.tally, &problem)) {
            progressFinish();
            std::fprintf(stderr, "tarnvel-egdb build: %s\n", problem.c_str());
            return 1;
        }
        solved.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - solveStart).count();
        add(total, solved.tally);
        solvingSeconds += solved.seconds;
        kept.push_back(noteOf(m, solved));
        if (!writeManifestNotes(kept, &problem)) {
            progressFinish();
            std::fprintf(stderr, "tarnvel-egdb build: %s\n", problem.c_str());
            return 1;
        }
    }
    progressFinish();
    if (resumed > 0)
        std::printf("%d of %zu materials were finished already in %s; the counts are the whole build's%s\n", resumed,
                    order.size(), workDir.c_str(),
                    uncounted ? (" but for " + std::to_string(uncounted) + " kept without their counts").c_str() : "");
    std::printf("solved %llu positions in %.1f s: %llu wins, %llu losses, %llu draws "
                "(side to move; results kept in %.1f MB)\n",
                static_cast<unsigned long long>(total.positions), solvingSeconds,
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
    const double thisRun = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (resumed > 0)
        std::printf("done in %.1f s, %.1f s of it in this run\n", earlierSeconds + thisRun, thisRun);
    else
        std::printf("done in %.1f s\n", thisRun);
    return 0;
}

}  // namespace tarnvel::egdbtool
