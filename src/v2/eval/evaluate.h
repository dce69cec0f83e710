// Tarnvel 2's "staticevaluation" reply: the learned network's score and
// the database's verdict.
#pragma once

#include <cstddef>

#include "board/position.h"

namespace tarnvel::v2 {

void writeEvaluationReport(const Position& p, int whiteToMove, char* reply, size_t capacity);

}  // namespace tarnvel::v2
