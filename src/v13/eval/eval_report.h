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

// The database's verdict on the global position for the side to move:
// "game over", "unknown", "wild" (a capture is pending), "win", "loss",
// "draw" or "nolook".
const char* databaseWord(bool whiteToMove);

// Writes the breakdown into report (capacity bytes, NUL included),
// truncating when it does not fit.
void writeEvaluationReport(char* report, size_t capacity, const char* engineName, bool whiteToMove,
                           const EvaluationTerms& terms);

}  // namespace tarnvel
