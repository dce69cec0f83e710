#include "engine_turn.h"

#include <vector>

#include "interface/hostboard.h"

namespace tarnvel::cli {

namespace {
// Larger than the engine's own bound, for engines that write more.
constexpr size_t TEXT_BUFFER_SIZE = 16 * TARNVEL_TEXT_CAPACITY;
constexpr int HOST_WHITE = 1;
constexpr int HOST_BLACK = 2;
constexpr int NEW_GAME_FLAG = 1;
}  // namespace

EngineTurn askEngine(const EngineLibrary& engine, const Position& p, int whiteToMove,
                     double seconds, bool newGame) {
    const std::vector<LegalMove> moves = legalMoves(p, whiteToMove);
    int board[8][8] = {};
    position = p;
    exportHostBoard(board);
    std::vector<char> text(TEXT_BUFFER_SIZE, '\0');
    int playNow = 0;
    EngineTurn turn{};
    turn.resultCode = engine.getmove(board, whiteToMove ? HOST_WHITE : HOST_BLACK, seconds,
                                     text.data(), &playNow, newGame ? NEW_GAME_FLAG : 0, 0, 0);
    text.back() = '\0';
    turn.report = text.data();
    while (!turn.report.empty() && (turn.report.back() == '\n' || turn.report.back() == '\r'))
        turn.report.pop_back();
    importHostBoard(board);
    turn.returned = position;
    for (const LegalMove& m : moves)
        if (samePieces(m.after, turn.returned)) {
            turn.legal = true;
            turn.move = m;
        }
    return turn;
}

}  // namespace tarnvel::cli
