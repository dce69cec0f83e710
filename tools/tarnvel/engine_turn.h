// One engine move: the host board sent through getmove, and the board the
// engine hands back checked against the legal moves.
#pragma once

#include <string>

#include "engine_library.h"
#include "game.h"

namespace tarnvel::cli {

struct EngineTurn {
    bool legal;          // the returned board is a legal successor
    LegalMove move;      // that move, when legal
    Position returned;   // the board the engine handed back
    std::string report;  // the engine's text buffer, last line breaks removed
    int resultCode;      // getmove's result
};

// Asks for a move in p, which must have a legal move. `newGame` sets the
// engine's new-game flag.
EngineTurn askEngine(const EngineLibrary& engine, const Position& p, int whiteToMove,
                     double seconds, bool newGame);

}  // namespace tarnvel::cli
