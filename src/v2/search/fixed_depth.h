// Reproducible searches for tools and tests: a position text searched from
// a new game to a fixed depth, whatever the clock says.
#pragma once

#include <cstdint>

namespace tarnvel::v2 {

// Tools and tests only (the host cannot reach it): when non-zero, a
// getmove search ends after this iteration.
extern uint32_t searchDepthLimit;

struct FixedDepthSearch {
    int resultCode;
    uint64_t nodes;
    double seconds;
    double cpuSeconds;
};

// Forgets earlier searches, loads `text` (no game history) and searches it
// to `depth`. False when the text does not parse or depth is 0.
bool searchFixedDepth(const char* text, uint32_t depth, FixedDepthSearch* out);

}  // namespace tarnvel::v2
