// tarnvel pdn replay: checks every move of the games in a PDN file.
#include <cstdio>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "interface/postext.h"
#include "pdn_io.h"
#include "text_file.h"

namespace tarnvel::cli {

namespace {

constexpr const char* USAGE = "usage: tarnvel pdn replay FILE\n";

constexpr const char* HELP =
    "Reads the games of a PDN file (tags, FEN starts, numbered moves, comments,\n"
    "results), checks that every move is legal and prints each game's final\n"
    "position. Stops with exit status 1 at the first illegal move.\n";

int replay(const std::string& file) {
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
        std::printf("game %zu: %zu plies, result %s, final position %s\n", g + 1,
                    record.moves.size(), games[g].result.c_str(),
                    positionText(currentPosition(record), sideToMove(record)).c_str());
    }
    return 0;
}

int pdnCommand(int argc, char** argv) {
    CommandLine line("pdn", std::string(USAGE) + HELP);
    std::string action, file;
    line.app.add_option("ACTION", action)
        ->check(CLI::Validator(
            [](std::string& value) {
                if (value == "replay") return std::string();
                return "unknown action '" + value + "' (try tarnvel pdn --help)";
            },
            "replay"));
    line.app.add_option("FILE", file);
    if (const int status = line.parse(argc, argv); status != PARSED) return status;
    if (file.empty()) return line.fail("expects: replay FILE");
    return replay(file);
}

const bool registered =
    registerCommand({"pdn", pdnCommand, "pdn replay FILE  check the games of a PDN file", 70});

}  // namespace

}  // namespace tarnvel::cli
