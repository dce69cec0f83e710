#include "v13/eval/eval_report.h"

#include <cstdio>

#include "board/position.h"
#include "interface/database_word.h"
#include "v13/interface/engine_name.h"

namespace tarnvel {

void writeEvaluationReport(char* report, size_t capacity, bool whiteToMove,
                           const EvaluationTerms& terms) {
    if (capacity == 0) return;
    std::snprintf(report, capacity,
                  "%s's evaluation with %s to move:\n\nmaterial = %d\ndefense  = %d\nattack   = "
                  "%d\nSCORE    = %d\nEGTB     = %s\n",
                  ENGINE_NAME, whiteToMove ? "white" : "black", terms.material, terms.defense,
                  terms.attack, terms.score, databaseWord(position, whiteToMove));
}

}  // namespace tarnvel
