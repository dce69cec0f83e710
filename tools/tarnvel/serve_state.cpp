#include "serve_state.h"

#include <algorithm>
#include <atomic>

#include "engine_turn.h"
#include "interface/postext.h"

namespace tarnvel::cli {

namespace {

void runSearch(ServeState& state, GameRecord game, double seconds, bool newGame,
               std::vector<int> board) {
    int squares[8][8];
    std::copy(board.begin(), board.end(), &squares[0][0]);
    const int side = sideToMove(game);
    const int result = state.engine.getmove(squares, side ? HOST_WHITE : HOST_BLACK, seconds,
                                            state.text.data(), &state.playNow,
                                            newGame ? NEW_GAME_FLAG : 0, 0, 0);
    std::lock_guard lock(state.mutex);
    const EngineTurn turn = readEngineTurn(currentPosition(game), side, squares,
                                           state.text.data(), state.text.size(), result);
    state.report = turn.report;
    if (turn.legal)
        playMove(state.game, turn.move);
    else
        state.engineError = state.engineName + " handed back a board that no legal move reaches: " +
                            positionText(turn.returned, !side);
    state.searching = false;
}

}  // namespace

ServeState::ServeState(const EngineLibrary& library)
    : engine(library),
      engineName(cli::engineName(library)),
      game(newGame(initialPosition(), 0)),
      text(ENGINE_TEXT_SIZE, '\0') {}

ServeState::~ServeState() { finishSearch(*this); }

void startSearch(ServeState& state, double seconds) {
    // The previous search's thread has ended or is just leaving.
    if (state.worker.joinable()) state.worker.join();
    int squares[8][8] = {};
    hostBoardOf(currentPosition(state.game), squares);
    const std::vector<int> board(&squares[0][0], &squares[0][0] + 64);
    std::fill(state.text.begin(), state.text.end(), '\0');
    std::atomic_ref<int>(state.playNow).store(0);
    state.searching = true;
    state.databaseOpened = true;
    const bool newGame = state.engineNewGame;
    state.engineNewGame = false;
    state.worker = std::thread(runSearch, std::ref(state), state.game, seconds, newGame, board);
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

}  // namespace tarnvel::cli
