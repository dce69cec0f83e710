// The text breakdown of a static evaluation, as the host shows it.
#pragma once

#include <cstddef>

namespace tarnvel {

// The terms of one evaluation, from the side to move's view.
struct EvaluationTerms {
    int material;
    int defense;
    int attack;
    int score;
};

// Writes the breakdown into report (capacity bytes, NUL included),
// truncating when it does not fit.
void writeEvaluationReport(char* report, size_t capacity, bool whiteToMove,
                           const EvaluationTerms& terms);

}  // namespace tarnvel
