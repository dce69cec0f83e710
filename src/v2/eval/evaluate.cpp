#include "v2/eval/evaluate.h"

#include "v13/eval/evaluate.h"
#include "v13/search/score.h"
#include "v2/interface/engine_name.h"

namespace tarnvel::v2 {

// For now the terms are v1.3's, computed the same way, so that a match
// measures the search alone. They read the shared global position.
int evaluate(const Position& p, int whiteToMove, int alpha, int beta) {
    position = p;
    return tarnvel::evaluate(whiteToMove, alpha, beta);
}

void writeEvaluationReport(const Position& p, int whiteToMove, char* reply, size_t capacity) {
    position = p;
    tarnvel::evaluate(whiteToMove, -tarnvel::SCORE_INFINITE, tarnvel::SCORE_INFINITE, reply,
                      capacity, ENGINE_NAME);
}

}  // namespace tarnvel::v2
