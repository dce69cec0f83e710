// tarnvel-egdb sample: random quiet positions labelled by the database, as
// training records for the learned evaluation (tools/train).
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "egdb/database.h"
#include "moves.h"
#include "progress.h"
#include "subcommands.h"
#include "tools/train/training_record.h"

namespace tarnvel::egdbtool {

namespace {

constexpr int32_t CACHE_MEGABYTES = 64;
// Draws without a result (a slice the database lacks) before giving up.
constexpr uint64_t MISSES_PER_RECORD = 100;

// The engine reads db/ in its working directory: go to the one holding DIR.
bool enterDatabaseParent(const std::string& dir, std::string* problem) {
    const std::filesystem::path path = std::filesystem::path(dir).lexically_normal();
    std::error_code error;
    if (path.filename() != "db" || !std::filesystem::is_directory(path, error)) {
        *problem = "'" + dir + "' must be a directory named db (the engine reads db/ in its working directory)";
        return false;
    }
    std::filesystem::current_path(std::filesystem::absolute(path, error).parent_path(), error);
    if (error) *problem = "cannot enter the directory holding '" + dir + "': " + error.message();
    return !error;
}

// A random placement of `pieces` pieces, each side 1…perSide of them,
// each piece a man or a king by a coin, men never on their crowning row.
Pieces drawPosition(std::mt19937_64& draw, int pieces, int perSide) {
    const int fewestBlack = std::max(1, pieces - perSide);
    const int black = fewestBlack + static_cast<int>(draw() % (std::min(perSide, pieces - 1) - fewestBlack + 1));
    Pieces p{};
    for (int i = 0; i < pieces; ++i) {
        const bool isBlack = i < black, isKing = draw() & 1;
        Bitboard allowed = ~occupied(p);
        if (!isKing) allowed &= isBlack ? ~ROW_7 : ~ROW_0;
        int square;
        do square = static_cast<int>(draw() % 32);
        while (!(allowed & bitOf(square)));
        Bitboard& board = isBlack ? (isKing ? p.bk : p.bm) : (isKing ? p.wk : p.wm);
        board |= bitOf(square);
    }
    return p;
}

struct Counts {
    uint64_t byResult[3] = {};  // loss, draw, win
    uint64_t withoutResult = 0;
};

}  // namespace

CLI::App* addSampleCommand(CLI::App& parent, SampleOptions& o) {
    CLI::App* sample = parent.add_subcommand("sample", "random quiet positions labelled by a database");
    sample->add_option("DIR", o.dir, "the database directory, named db as the engine reads it")
        ->type_name("")
        ->capture_default_str();
    sample->add_option("--pieces", o.minPieces, "fewest pieces, 2…7")->type_name("N")->check(CLI::Range(2, 7))->required();
    sample->add_option("--max-pieces", o.maxPieces, "most pieces (default: --pieces)")->type_name("N")->check(CLI::Range(2, 7));
    sample->add_option("--count", o.count, "records to write")->type_name("N")->check(CLI::Range(1ull, 1ull << 32))->required();
    sample->add_option("--seed", o.seed, "seed of the draws")->type_name("S")->capture_default_str();
    sample->add_option("--out", o.out, "file of 24-byte training records")->type_name("FILE")->required();
    sample->footer(
        "Draws a piece count, each side's count (at most 3 a side up to 6 pieces, 4 with\n"
        "7), then each piece's kind and square, with the side to move, until neither side\n"
        "can capture; writes the position with the database's result for the side to\n"
        "move (source 1, score unknown). The same seed gives the same file. The file is\n"
        "written under a temporary name and renamed when complete.");
    return sample;
}

int sampleCommand(const SampleOptions& o) {
    const int maxPieces = std::max(o.minPieces, o.maxPieces);
    std::string problem;
    const std::filesystem::path out = std::filesystem::absolute(o.out);
    if (!enterDatabaseParent(o.dir, &problem)) {
        std::fprintf(stderr, "tarnvel-egdb sample: %s\n", problem.c_str());
        return USAGE_ERROR;
    }
    char progressText[1024] = "";
    const int covered = openDatabase(CACHE_MEGABYTES, progressText);
    if (covered < maxPieces) {
        std::fprintf(stderr, "tarnvel-egdb sample: the database in '%s' covers %d pieces, not %d\n", o.dir.c_str(),
                     covered, maxPieces);
        return 1;
    }
    const std::string partial = out.string() + ".partial";
    FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "tarnvel-egdb sample: cannot write '%s'\n", partial.c_str());
        return 1;
    }

    std::mt19937_64 draw(o.seed);
    Counts counts;
    std::vector<TrainingRecord> buffer;
    progressStart(o.count);
    progressStep("sampling", o.count);
    uint64_t written = 0;
    bool ok = true;
    while (written < o.count && ok) {
        const int pieces = o.minPieces + static_cast<int>(draw() % (maxPieces - o.minPieces + 1));
        const int perSide = pieces == 7 ? 4 : 3;
        const Pieces p = drawPosition(draw, pieces, perSide);
        const int side = static_cast<int>(draw() & 1);
        if (!quiet(p)) continue;
        const DbQuery q{p.bm, p.bk, p.wm, p.wk, side == WHITE ? 1u : 2u};
        const int32_t r = probeDatabase(&q, 0);
        if (r != DB_WIN && r != DB_LOSS && r != DB_DRAW) {
            if (++counts.withoutResult > MISSES_PER_RECORD * (written + 1)) {
                problem = "the database answers too few of these positions (a partial build?)";
                ok = false;
            }
            continue;
        }
        const int8_t result = r == DB_WIN ? 1 : r == DB_LOSS ? -1 : 0;
        ++counts.byResult[result + 1];
        buffer.push_back({p.wm, p.wk, p.bm, p.bk, UNKNOWN_SCORE, uint8_t(side == WHITE), result,
                          RECORD_FROM_DATABASE, 0, 0});
        ++written;
        if (buffer.size() == 65536 || written == o.count) {
            ok = std::fwrite(buffer.data(), sizeof buffer[0], buffer.size(), file) == buffer.size();
            if (!ok) problem = "cannot write '" + partial + "'";
            buffer.clear();
            progressShare(double(written) / o.count);
        }
    }
    progressFinish();
    closeDatabase();
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        problem = "cannot write '" + partial + "'";
    }
    std::error_code error;
    if (ok) std::filesystem::rename(partial, out, error);
    if (!ok || error) {
        std::filesystem::remove(partial, error);
        std::fprintf(stderr, "tarnvel-egdb sample: %s\n", ok ? ("cannot rename to '" + out.string() + "'").c_str() : problem.c_str());
        return 1;
    }
    std::printf("wrote %llu records of %d to %d pieces in %.1f s: %llu wins, %llu draws, %llu losses for the side to "
                "move; %llu positions without a result skipped\n",
                static_cast<unsigned long long>(written), o.minPieces, maxPieces, progressElapsed(),
                static_cast<unsigned long long>(counts.byResult[2]), static_cast<unsigned long long>(counts.byResult[1]),
                static_cast<unsigned long long>(counts.byResult[0]),
                static_cast<unsigned long long>(counts.withoutResult));
    return 0;
}

}  // namespace tarnvel::egdbtool
