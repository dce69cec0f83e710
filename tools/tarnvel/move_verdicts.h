// Each legal move's result from the endgame database, asked through the
// engine's interface: the static evaluation's database line of the
// position the move leads to. Where that position has a capture pending
// (the database holds quiet positions only; the engine answers "wild"),
// the moves from it are followed to the quiet positions they reach.
#pragma once

#include <vector>

#include "engine_library.h"
#include "game.h"

namespace tarnvel::cli {

enum class Verdict { WIN, DRAW, LOSS, UNKNOWN };  // in the order moves are listed

const char* verdictWord(Verdict verdict);

struct MoveVerdict {
    LegalMove move;
    Verdict verdict;  // for the side that plays it
};

// The legal moves of p, wins first, then draws, losses and the unknown,
// each group in the generator's order. The engine must have opened its
// database and run no search.
std::vector<MoveVerdict> moveVerdicts(const EngineLibrary& engine, const Position& p,
                                      int whiteToMove);

}  // namespace tarnvel::cli
