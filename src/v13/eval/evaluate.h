// Static evaluation of the global position.
#pragma once

#include <cstddef>

#include "board/position.h"

namespace tarnvel {

constexpr int MATERIAL_MAN = 100;
constexpr int MATERIAL_KING = 134;

// Score from the side to move's view. With a report buffer (capacity bytes,
// NUL included) the breakdown text is written there, truncated if needed.
int evaluate(int whiteToMove, int alpha, int beta, char* report = nullptr,
             size_t reportCapacity = 0);

// The same for any position, leaving the global one alone (the search-alone
// build of Tarnvel 2 evaluates from several threads).
int evaluatePosition(const Position& p, int whiteToMove, int alpha, int beta,
                     char* report = nullptr, size_t reportCapacity = 0);

}  // namespace tarnvel
