#include "v13/eval/eval_report.h"

#include <cstdio>

#include "board/movegen.h"
#include "board/position.h"
#include "egdb/database.h"
#include "v13/search/db_probe.h"
#include "interface/engine_state.h"

namespace tarnvel {

const char* databaseWord(bool whiteToMove) {
    const Position& p = position;
    if (p.wcount == 0 || p.bcount == 0) return "game over";
    if (p.wcount + p.bcount > dbPieceLimit) return "unknown";
    // The database holds quiet positions only.
    if (captureExists()) return "wild";
    switch (probeGlobalPosition(whiteToMove, 0)) {
        case DB_WIN: return "win";
        case DB_LOSS: return "loss";
        case DB_DRAW: return "draw";
        case DB_NOLOOK: return "nolook";
        default: return "unknown";
    }
}

void writeEvaluationReport(char* report, size_t capacity, const char* engineName, bool whiteToMove,
                           const EvaluationTerms& terms) {
    if (capacity == 0) return;
    std::snprintf(report, capacity,
                  "%s's evaluation with %s to move:\n\nmaterial = %d\ndefense  = %d\nattack   = "
                  "%d\nSCORE    = %d\nEGTB     = %s\n",
                  engineName, whiteToMove ? "white" : "black", terms.material, terms.defense,
                  terms.attack, terms.score, databaseWord(whiteToMove));
}

}  // namespace tarnvel
