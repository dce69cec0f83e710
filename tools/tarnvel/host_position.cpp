#include "host_position.h"

#include <cstring>

#include "board/perft.h"
#include "board/movestack.h"
#include "board/notation.h"
#include "board/position.h"
#include "interface/history.h"
#include "interface/hostboard.h"
#include "interface/postext.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel::cli {

bool loadHostPosition(const char* text, HostPosition* host) {
    int whiteToMove = 0;
    if (!parsePosition(text, &whiteToMove)) return false;
    std::memset(host->board, 0, sizeof host->board);
    exportHostBoard(host->board);
    host->color = whiteToMove ? 1 : 2;
    host->outcomes.clear();
    const uint32_t n = generateLegalMoves(whiteToMove, 0);
    const Position before = position;
    const uint32_t length = gameHistory.length;
    for (uint32_t i = 0; i < n; ++i) {
        HostPosition::Outcome outcome;
        outcome.notation = moveNotation(before, i);
        makeMove(i);
        std::memcpy(outcome.board, host->board, sizeof outcome.board);
        exportHostBoard(outcome.board);
        outcome.positionText = positionText(position, !whiteToMove);
        position = before;
        gameHistory.length = length;
        host->outcomes.push_back(outcome);
    }
    return true;
}

const HostPosition::Outcome* findOutcome(const HostPosition& host, const int board[8][8]) {
    for (const HostPosition::Outcome& o : host.outcomes)
        if (!std::memcmp(o.board, board, sizeof o.board)) return &o;
    return nullptr;
}

const char* resultWord(int code) {
    switch (code) {
        case TARNVEL_DRAW: return "draw";
        case TARNVEL_WIN: return "win";
        case TARNVEL_LOSS: return "loss";
        default: return "unknown";
    }
}

std::string sendCommand(const LinkedEngine& engine, const std::string& command, int* result) {
    char reply[TARNVEL_REPLY_CAPACITY] = "";
    const int r = engine.command(command.c_str(), reply);
    if (result) *result = r;
    return reply;
}

}  // namespace tarnvel::cli
