// Tarnvel 2's static evaluation of a position, from the side to move's view.
#pragma once

#include <cstddef>

#include "board/position.h"

namespace tarnvel::v2 {

// alpha and beta let the evaluation answer early when material alone puts
// the position far outside the window.
int evaluate(const Position& p, int whiteToMove, int alpha, int beta);

// The "staticevaluation" reply: the evaluation broken into its terms and
// the database's verdict.
void writeEvaluationReport(const Position& p, int whiteToMove, char* reply, size_t capacity);

}  // namespace tarnvel::v2
