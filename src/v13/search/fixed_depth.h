// Reproducible searches for tools and tests: a position text searched from
// a new game to a fixed iteration depth, whatever the clock says.
#pragma once

#include <cstdint>

namespace tarnvel {

struct FixedDepthSearch {
    int resultCode;  // as rootSearch returns it
    uint64_t nodes;  // nodeCount at the end
    double seconds;     // wall time spent in rootSearch (the table clear excluded)
    double cpuSeconds;  // processor time of the same, where the platform measures it
};

// Clears the transposition table, loads `text` (empty history) and runs
// rootSearch limited to `depth` iterations; the chosen move is then made on
// the global position. False when the text does not parse or depth is 0.
bool searchFixedDepth(const char* text, uint32_t depth, FixedDepthSearch* out);

}  // namespace tarnvel
