// tarnvel pdn replay: checks every move of the games in a PDN file;
// tarnvel pdn positions: turns finished games into training records.
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "interface/postext.h"
#include "game.h"
#include "pdn_io.h"
#include "text_file.h"
#include "training_record.h"

namespace tarnvel::cli {

namespace {

constexpr const char* USAGE =
    "usage: tarnvel pdn replay FILE\n"
    "       tarnvel pdn positions FILE --out RECORDS\n";

constexpr const char* HELP =
    "replay reads the games of a PDN file (tags, FEN starts, numbered moves,\n"
    "comments, results), checks that every move is legal and prints each game's\n"
    "final position. Stops with exit status 1 at the first illegal move.\n"
    "positions writes RECORDS (replacing it): a 24-byte training record\n"
    "(tools/train/training_record.h) for every position of a finished game where\n"
    "the side to move had a choice, as tarnvel match --positions-out writes them\n"
    "but with no search score. Games without a result (\"*\") are skipped.\n";

// The outcome a PDN result names: ours ("2-0", "0-2", "1-1") or the usual
// one-point form.
std::optional<Outcome> outcomeOf(const std::string& result) {
    if (result == "2-0" || result == "1-0") return Outcome::BLACK_WINS;
    if (result == "0-2" || result == "0-1") return Outcome::WHITE_WINS;
    if (result == "1-1" || result == "1/2-1/2") return Outcome::DRAW;
    return std::nullopt;
}

void appendPositions(const GameRecord& record, Outcome outcome, std::vector<TrainingRecord>& out) {
    for (size_t ply = 0; ply < record.moves.size(); ++ply) {
        const Position& p = record.positions[ply];
        const int side = (record.startWhiteToMove + static_cast<int>(ply)) % 2;
        if (legalMoves(p, side).size() < 2) continue;
        out.push_back(gamePositionRecord(p, side, UNKNOWN_SCORE, ply));
        out.back().result = resultFor(outcome, side);
    }
}

// Replays every game, or complains and fails at the first that does not.
int forEachGame(const std::string& file,
                const std::function<void(const PdnGame&, const GameRecord&, size_t)>& visit) {
    std::string text, error;
    if (!readTextFile(file, text, error)) {
        std::fprintf(stderr, "tarnvel pdn: %s\n", error.c_str());
        return EXIT_FAILED;
    }
    std::vector<PdnGame> games;
    if (!readPdn(text, games, error)) {
        std::fprintf(stderr, "tarnvel pdn: %s: %s\n", file.c_str(), error.c_str());
        return EXIT_FAILED;
    }
    if (games.empty()) {
        std::fprintf(stderr, "tarnvel pdn: %s: no games\n", file.c_str());
        return EXIT_FAILED;
    }
    for (size_t g = 0; g < games.size(); ++g) {
        GameRecord record;
        if (!replayPdnGame(games[g], record, error)) {
            std::fflush(stdout);
            std::fprintf(stderr, "tarnvel pdn: %s: game %zu, %s\n", file.c_str(), g + 1,
                         error.c_str());
            return EXIT_FAILED;
        }
        visit(games[g], record, g);
    }
    return 0;
}

int replay(const std::string& file) {
    return forEachGame(file, [](const PdnGame& game, const GameRecord& record, size_t g) {
        std::printf("game %zu: %zu plies, result %s, final position %s\n", g + 1,
                    record.moves.size(), game.result.c_str(),
                    positionText(currentPosition(record), sideToMove(record)).c_str());
    });
}

int positions(const std::string& file, const std::string& out) {
    std::vector<TrainingRecord> records;
    size_t used = 0, skipped = 0;
    const int status = forEachGame(file, [&](const PdnGame& game, const GameRecord& record, size_t) {
        const std::optional<Outcome> outcome = outcomeOf(game.result);
        if (!outcome) {
            ++skipped;
            return;
        }
        appendPositions(record, *outcome, records);
        ++used;
    });
    if (status != 0) return status;
    std::string error;
    const std::string bytes(reinterpret_cast<const char*>(records.data()),
                            records.size() * sizeof(TrainingRecord));
    if (!writeTextFile(out, bytes, "wb", error)) {
        std::fprintf(stderr, "tarnvel pdn: %s\n", error.c_str());
        return EXIT_FAILED;
    }
    std::printf("%zu records from %zu games (%zu without a result skipped) to %s\n", records.size(),
                used, skipped, out.c_str());
    return 0;
}

int pdnCommand(int argc, char** argv) {
    CommandLine line("pdn", std::string(USAGE) + HELP);
    std::string action, file, out;
    line.app.add_option("ACTION", action)
        ->check(CLI::Validator(
            [](std::string& value) {
                if (value == "replay" || value == "positions") return std::string();
                return "unknown action '" + value + "' (try tarnvel pdn --help)";
            },
            "replay|positions"));
    line.app.add_option("FILE", file);
    line.app.add_option("--out", out);
    if (const int status = line.parse(argc, argv); status != PARSED) return status;
    if (file.empty()) return line.fail("expects: replay FILE, or positions FILE --out RECORDS");
    if (action == "positions") {
        if (out.empty()) return line.fail("positions expects --out RECORDS (try tarnvel pdn --help)");
        return positions(file, out);
    }
    if (!out.empty()) return line.fail("--out goes with positions");
    return replay(file);
}

const bool registered = registerCommand(
    {"pdn", pdnCommand, "pdn replay|positions FILE  check a PDN file's games, or make training records", 70});

}  // namespace

}  // namespace tarnvel::cli
