// One engine move: the host board sent through getmove, and the board the
// engine hands back checked against the legal moves.
#pragma once

#include <cstddef>
#include <string>

#include "engine_library.h"
#include "game.h"

namespace tarnvel::cli {

// The text buffer a host passes to getmove: larger than the engine's own
// bound, for engines that write more.
constexpr size_t ENGINE_TEXT_SIZE = 16 * TARNVEL_TEXT_CAPACITY;
constexpr int HOST_WHITE = 1;
constexpr int HOST_BLACK = 2;
constexpr int NEW_GAME_FLAG = 1;

struct EngineTurn {
    bool legal;          // the returned board is a legal successor
    LegalMove move;      // that move, when legal
    Position returned;   // the board the engine handed back
    std::string report;  // the engine's text buffer, last line breaks removed
    int resultCode;      // getmove's result
};

// The two halves of a turn, for hosts that run getmove on another thread:
// the host board of p, and the engine's move read from the board and text
// it handed back. Both use the host's own (static) engine tables.
void hostBoardOf(const Position& p, int board[8][8]);
EngineTurn readEngineTurn(const Position& p, int whiteToMove, const int board[8][8],
                          const char* text, size_t textSize, int resultCode);

// Asks for a move in p, which must have a legal move. `newGame` sets the
// engine's new-game flag.
EngineTurn askEngine(const EngineLibrary& engine, const Position& p, int whiteToMove,
                     double seconds, bool newGame);

}  // namespace tarnvel::cli
