#include "v2/eval/evaluate.h"

#include <cstdio>

#include "interface/database_word.h"
#include "v2/eval/network.h"
#include "v2/interface/engine_name.h"

namespace tarnvel::v2 {

void writeEvaluationReport(const Position& p, int whiteToMove, char* reply, size_t capacity) {
    if (capacity == 0) return;
    network::Accumulator acc;
    network::refresh(p, acc);
    const int score = network::evaluate(acc, whiteToMove);
    std::snprintf(reply, capacity, "%s's evaluation with %s to move:\n\nnetwork  = %d\nEGTB     = %s\n",
                  ENGINE_NAME, whiteToMove ? "white" : "black", score, databaseWord(p, whiteToMove));
}

}  // namespace tarnvel::v2
