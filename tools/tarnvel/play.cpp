// tarnvel play: a game against an engine library in the terminal, or
// from a script on standard input.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "arguments.h"
#include "board_view.h"
#include "commands.h"
#include "engine_library.h"
#include "engine_turn.h"
#include "game.h"
#include "interface/postext.h"
#include "pdn_io.h"
#include "text_file.h"

namespace tarnvel::cli {

namespace {

constexpr double DEFAULT_SECONDS = 1.0;

constexpr const char* USAGE =
    "usage: tarnvel play [--time S] [--side black|white] [--hash MB] [--engine LIB]\n"
    "                    [--threads N] [--position TEXT]\n";

constexpr const char* HELP =
    "Plays a game against the engine. Black moves first.\n"
    "  --time S         engine's time per move in seconds (default 1)\n"
    "  --side SIDE      the side you play, black (default) or white\n"
    "  --hash MB        engine's transposition table size, 1-1024 MB\n"
    "  --threads N      engine's search threads, 1-64 (Tarnvel 2; v1.3 has one)\n"
    "  --engine LIB     engine library, or v1.3 or 2 for the engines built with tarnvel\n"
    "                   (default: v1.3)\n"
    "  --position TEXT  start from a position, e.g. \"W:W18,K10:B12,K22.\"\n";

constexpr const char* COMMANDS =
    "Type a move as 11-15 or 15x24 (a multi-jump as 15x24x31, or 15x31 when\n"
    "that names one move), or a command:\n"
    "  undo       take back your last move and the engine's reply\n"
    "  hint       the engine's suggestion, not played\n"
    "  flip       turn the board around\n"
    "  save FILE  write the game as PDN\n"
    "  new        start again\n"
    "  quit       leave\n"
    "  help       this list\n";

struct PlayOptions {
    double seconds = DEFAULT_SECONDS;
    int personWhite = 0;
    long hashMegabytes = 0;  // 0: the engine's own size
    long threads = 0;        // 0: the engine's own
    std::string library;
    Position start{};
    int startWhiteToMove = 0;
    bool hasStart = false;
};

struct Session {
    PlayOptions options;
    EngineLibrary engine;
    std::string engineName;
    GameRecord game;
    bool flipped = false;
    bool engineNewGame = true;            // the engine's history no longer matches the game
    std::optional<Adjudication> forfeit;  // the engine handed back an illegal board
    std::optional<GameRecord> hintFor;    // the game the hint below was given for
    std::string hint;
};

const char* sideName(int white) { return white ? "White" : "Black"; }

Adjudication state(const Session& s) { return s.forfeit ? *s.forfeit : adjudicate(s.game); }

bool samePlay(const GameRecord& a, const GameRecord& b) {
    return a.moves == b.moves && a.startWhiteToMove == b.startWhiteToMove &&
           samePieces(a.positions.front(), b.positions.front());
}

void showBoard(const Session& s) {
    const int side = sideToMove(s.game);
    const size_t ply = s.game.moves.size();
    std::printf("\n%s", boardText(currentPosition(s.game), s.flipped).c_str());
    std::printf("move %zu, %s to move (%s)\n", (ply + s.game.startWhiteToMove) / 2 + 1,
                sideName(side), side == s.options.personWhite ? "you" : s.engineName.c_str());
    std::printf("position: %s\n", positionText(currentPosition(s.game), side).c_str());
}

void announceEnd(const Session& s) {
    const Adjudication a = state(s);
    if (a.outcome == Outcome::ONGOING) return;
    std::printf("game over: %s (%s), %s\n", outcomeText(a.outcome), a.reason.c_str(),
                pdnResult(a.outcome));
}

void startGame(Session& s) {
    s.game = newGame(s.options.start, s.options.startWhiteToMove);
    s.engineNewGame = true;
    s.forfeit.reset();
    s.hintFor.reset();
}

void engineMove(Session& s) {
    const int side = sideToMove(s.game);
    const EngineTurn turn =
        askEngine(s.engine, currentPosition(s.game), side, s.options.seconds, s.engineNewGame);
    s.engineNewGame = false;
    if (!turn.legal) {
        std::printf("%s handed back a board that no legal move reaches: %s\n", s.engineName.c_str(),
                    positionText(turn.returned, !side).c_str());
        s.forfeit = Adjudication{side ? Outcome::BLACK_WINS : Outcome::WHITE_WINS,
                                 std::string(sideName(side)) + " made an illegal move"};
        return;
    }
    std::printf("%s plays %s\n", s.engineName.c_str(), turn.move.notation.c_str());
    if (!turn.report.empty()) std::printf("  %s\n", turn.report.c_str());
    playMove(s.game, turn.move);
}

void personMove(Session& s, const std::string& word) {
    if (state(s).outcome != Outcome::ONGOING) {
        std::printf("the game is over; type undo, new, save FILE or quit\n");
        return;
    }
    const std::vector<int> squares = parseMoveSquares(word);
    if (squares.empty()) {
        std::printf("'%s' is neither a move nor a command (type help)\n", word.c_str());
        return;
    }
    const std::vector<LegalMove> moves = legalMoves(currentPosition(s.game), sideToMove(s.game));
    const std::vector<size_t> matches = matchMove(moves, squares);
    if (matches.size() > 1) {
        std::string candidates;
        for (size_t i : matches) candidates += " " + moves[i].notation;
        std::printf("ambiguous move %s: it could be%s; type the whole path\n", word.c_str(),
                    candidates.c_str());
        return;
    }
    if (matches.empty()) {
        std::printf("illegal move %s; legal moves: %s\n", word.c_str(), moveList(moves).c_str());
        return;
    }
    std::printf("you play %s\n", moves[matches.front()].notation.c_str());
    playMove(s.game, moves[matches.front()]);
}

void undo(Session& s) {
    const int person = s.options.personWhite;
    size_t last = s.game.moves.size();
    while (last > 0 && (s.game.startWhiteToMove + static_cast<int>(last) - 1) % 2 != person) --last;
    if (last == 0) {
        std::printf("nothing to undo\n");
        return;
    }
    while (s.game.moves.size() >= last) takeBack(s.game);
    s.engineNewGame = true;
    s.forfeit.reset();
    showBoard(s);
}

void hint(Session& s) {
    if (state(s).outcome != Outcome::ONGOING) {
        std::printf("the game is over; no hint\n");
        return;
    }
    // A second getmove on the same position would put a position that was
    // never played into the engine's game history, so a hint is asked once.
    if (!s.hintFor || !samePlay(*s.hintFor, s.game)) {
        const EngineTurn turn = askEngine(s.engine, currentPosition(s.game), sideToMove(s.game),
                                          s.options.seconds, s.engineNewGame);
        s.engineNewGame = false;
        s.hintFor = s.game;
        s.hint = turn.legal ? turn.move.notation : "none (the engine's board was not a legal move)";
        if (!turn.report.empty()) s.hint += "\n  " + turn.report;
    }
    std::printf("hint: %s\n", s.hint.c_str());
}

void save(const Session& s, const std::string& file) {
    if (file.empty()) {
        std::printf("save needs a file name\n");
        return;
    }
    const Adjudication a = state(s);
    const std::string you = "Player";
    const std::vector<PdnTag> tags = {{"Event", "Tarnvel play"},
                                      {"Date", pdnDate()},
                                      {"Black", s.options.personWhite ? s.engineName : you},
                                      {"White", s.options.personWhite ? you : s.engineName}};
    std::string error;
    if (!writeTextFile(file, writePdnGame(tags, s.game, a.reason, pdnResult(a.outcome)), "w",
                       error)) {
        std::printf("%s\n", error.c_str());
        return;
    }
    std::printf("saved %zu plies to %s\n", s.game.moves.size(), file.c_str());
}

// One line of input; false to leave.
bool command(Session& s, const std::string& line) {
    std::istringstream words(line);
    std::string word, rest;
    words >> word;
    std::getline(words >> std::ws, rest);
    while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.back()))) rest.pop_back();
    if (word.empty()) return true;
    if (word == "quit" || word == "exit") return false;
    if (word == "help") {
        std::printf("%s", COMMANDS);
    } else if (word == "flip") {
        s.flipped = !s.flipped;
        showBoard(s);
    } else if (word == "new") {
        startGame(s);
        showBoard(s);
    } else if (word == "undo") {
        undo(s);
    } else if (word == "hint") {
        hint(s);
    } else if (word == "save") {
        save(s, rest);
    } else {
        personMove(s, word);
    }
    return true;
}

void session(Session& s) {
    startGame(s);
    showBoard(s);
    std::string line;
    for (;;) {
        const Adjudication a = state(s);
        if (a.outcome == Outcome::ONGOING && sideToMove(s.game) != s.options.personWhite) {
            engineMove(s);
            showBoard(s);
            announceEnd(s);
            continue;
        }
        std::printf("%s> ",
                    a.outcome == Outcome::ONGOING ? sideName(sideToMove(s.game)) : "game over");
        std::fflush(stdout);
        if (!std::getline(std::cin, line)) {
            std::printf("\n");
            return;
        }
        const size_t plies = s.game.moves.size();
        if (!command(s, line)) return;
        if (s.game.moves.size() > plies && state(s).outcome != Outcome::ONGOING) {
            showBoard(s);
            announceEnd(s);
        }
    }
}

int playCommand(int argc, char** argv) {
    CommandLine line("play", std::string(USAGE) + HELP);
    PlayOptions options;
    std::string side = "black", start;
    addSeconds(line.app, options.seconds);
    line.app.add_option("--side", side)
        ->check(CLI::Validator(
            [](std::string& value) {
                return value == "black" || value == "white"
                           ? std::string()
                           : "--side must be black or white, not '" + value + "'";
            },
            "SIDE"));
    addHash(line.app, options.hashMegabytes);
    addThreads(line.app, options.threads);
    line.app.add_option("--engine", options.library);
    line.app.add_option("--position", start);
    if (const int status = line.parse(argc, argv); status != PARSED) return status;
    options.personWhite = side == "white";
    if (!start.empty()) {
        std::string why;
        if (!parseFen(start, options.start, options.startWhiteToMove, why))
            return line.fail("cannot parse position '" + start + "': " + why);
        options.hasStart = true;
    }
    if (!options.hasStart) options.start = initialPosition();
    options.library =
        options.library.empty() ? defaultEngineLibraryPath() : engineLibraryPath(options.library);

    Session s;
    s.options = options;
    std::string error;
    if (!openEngineLibrary(options.library, s.engine, error)) {
        std::fprintf(stderr, "tarnvel play: %s\n", error.c_str());
        return EXIT_FAILED;
    }
    if (options.hashMegabytes)
        engineCommand(s.engine, ("set hashsize " + std::to_string(options.hashMegabytes)).c_str());
    if (options.threads)
        engineCommand(s.engine, ("set threads " + std::to_string(options.threads)).c_str());
    s.engineName = engineName(s.engine);
    std::printf("tarnvel play: you are %s, %s plays %s at %g s per move (type help)\n",
                sideName(options.personWhite), s.engineName.c_str(), sideName(!options.personWhite),
                options.seconds);
    session(s);
    return 0;
}

const bool registered =
    registerCommand({"play", playCommand,
                     "play [--time S] [--side black|white] ...  a game against the engine", 50});

}  // namespace

}  // namespace tarnvel::cli
