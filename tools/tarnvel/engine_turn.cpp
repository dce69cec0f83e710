#include "engine_turn.h"

#include <cstring>
#include <vector>

#include "interface/hostboard.h"

namespace tarnvel::cli {

void hostBoardOf(const Position& p, int board[8][8]) {
    position = p;
    exportHostBoard(board);
}

EngineTurn readEngineTurn(const Position& p, int whiteToMove, const int board[8][8],
                          const char* text, size_t textSize, int resultCode) {
    EngineTurn turn{};
    turn.resultCode = resultCode;
    turn.report.assign(text, ::strnlen(text, textSize));
    while (!turn.report.empty() && (turn.report.back() == '\n' || turn.report.back() == '\r'))
        turn.report.pop_back();
    importHostBoard(board);
    turn.returned = position;
    for (const LegalMove& m : legalMoves(p, whiteToMove))
        if (samePieces(m.after, turn.returned)) {
            turn.legal = true;
            turn.move = m;
        }
    return turn;
}

EngineTurn askEngine(const EngineLibrary& engine, const Position& p, int whiteToMove,
                     double seconds, bool newGame) {
    int board[8][8] = {};
    hostBoardOf(p, board);
    std::vector<char> text(ENGINE_TEXT_SIZE, '\0');
    int playNow = 0;
    const int result = engine.getmove(board, whiteToMove ? HOST_WHITE : HOST_BLACK, seconds,
                                      text.data(), &playNow, newGame ? NEW_GAME_FLAG : 0, 0, 0);
    return readEngineTurn(p, whiteToMove, board, text.data(), text.size(), result);
}

}  // namespace tarnvel::cli
