#include "serve_state.h"

#include <algorithm>
#include <atomic>

#include "engine_turn.h"
#include "interface/postext.h"

namespace tarnvel::cli {

namespace {

void runSearch(ServeState& state, size_t engine, int node, Position p, int side, double seconds,
               bool newGame, std::vector<int> board) {
    int squares[8][8];
    std::copy(board.begin(), board.end(), &squares[0][0]);
    const int result = state.engines[engine].library.getmove(
        squares, side ? HOST_WHITE : HOST_BLACK, seconds, state.text.data(), &state.playNow,
        newGame ? NEW_GAME_FLAG : 0, 0, 0);
    std::lock_guard lock(state.mutex);
    const EngineTurn turn = readEngineTurn(p, side, squares,
                                           state.text.data(), state.text.size(), result);
    state.report = turn.report;
    if (auto score = readEngineScore(turn.report, side)) state.game.nodes[node].score = score;
    if (!state.searchPlays)
        state.engines[engine].newGame = true;  // it expects its move on the board
    else if (turn.legal)
        playShown(state.game, turn.move);
    else
        state.engineError = state.engines[engine].name +
                            " handed back a board that no legal move reaches: " +
                            positionText(turn.returned, !side);
    state.searching = false;
}

}  // namespace

ServeState::ServeState(const std::vector<EngineLibrary>& libraries)
    : game(newTree(initialPosition(), 0)), text(ENGINE_TEXT_SIZE, '\0') {
    for (const EngineLibrary& library : libraries)
        engines.push_back({library, cli::engineName(library)});
}

ServeState::~ServeState() { finishSearch(*this); }

void startSearch(ServeState& state, size_t engine, double seconds, bool play) {
    // The previous search's thread has ended or is just leaving.
    if (state.worker.joinable()) state.worker.join();
    int squares[8][8] = {};
    hostBoardOf(state.game.nodes[state.game.shown].position, squares);
    const std::vector<int> board(&squares[0][0], &squares[0][0] + 64);
    std::fill(state.text.begin(), state.text.end(), '\0');
    std::atomic_ref<int>(state.playNow).store(0);
    state.searching = true;
    state.searchEngine = engine;
    state.searchPlays = play;
    ServeEngine& e = state.engines[engine];
    e.databaseOpened = true;
    const bool newGame = e.newGame;
    e.newGame = false;
    const int node = state.game.shown;
    state.worker = std::thread(runSearch, std::ref(state), engine, node,
                               state.game.nodes[node].position, sideToMoveAt(state.game, node),
                               seconds, newGame, board);
}

void stopSearch(ServeState& state) { std::atomic_ref<int>(state.playNow).store(1); }

std::string liveReport(const ServeState& state) {
    // The engine rewrites the line after every root move on its own thread
    // while this copies it, as every board program reads this buffer: a
    // bounded byte-by-byte copy, always ending in a NUL, so the worst case
    // is a torn line, shown until the next poll.
    const volatile char* text = state.text.data();
    std::string line;
    for (size_t i = 0; i + 1 < state.text.size() && text[i] != '\0'; ++i) line += text[i];
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line;
}

void finishSearch(ServeState& state) {
    stopSearch(state);
    if (state.worker.joinable()) state.worker.join();
}

void restartEngines(ServeState& state) {
    for (ServeEngine& engine : state.engines) engine.newGame = true;
}

void openDatabase(ServeEngine& engine, const Position& p) {
    if (engine.databaseOpened) return;
    // One move with no time to think, on a copy of the board.
    int board[8][8] = {};
    hostBoardOf(p, board);
    std::vector<char> report(ENGINE_TEXT_SIZE, '\0');
    int playNow = 0;
    engine.library.getmove(board, HOST_BLACK, 0.0, report.data(), &playNow, NEW_GAME_FLAG, 0, 0);
    engine.databaseOpened = true;
    engine.newGame = true;
}

}  // namespace tarnvel::cli
