// Match openings: every distinct position three plies from the initial
// arrangement.
#pragma once

#include <string>
#include <vector>

#include "board/position.h"

namespace tarnvel::cli {

constexpr int OPENING_PLIES = 3;

struct Opening {
    std::vector<std::string> moves;  // the first line of play found that reaches it
    Position position;               // White to move
};

// In the order the move generator first reaches them.
std::vector<Opening> threePlyOpenings();

}  // namespace tarnvel::cli
