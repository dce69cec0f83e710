#include "interface/database_word.h"

#include "board/movegen_core.h"
#include "egdb/database.h"
#include "interface/engine_state.h"

namespace tarnvel {

const char* databaseWord(const Position& p, int whiteToMove) {
    if (p.wcount == 0 || p.bcount == 0) return "game over";
    if (p.wcount + p.bcount > dbPieceLimit) return "unknown";
    if (movegen::eitherCanCapture(p)) return "wild";
    const DbQuery query{p.bm, p.bk, p.wm, p.wk, whiteToMove ? 1u : 2u};
    switch (probeDatabase(&query, 0)) {
        case DB_WIN: return "win";
        case DB_LOSS: return "loss";
        case DB_DRAW: return "draw";
        case DB_NOLOOK: return "nolook";
        default: return "unknown";
    }
}

}  // namespace tarnvel
