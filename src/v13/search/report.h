// The one-line search summary the host shows while the engine thinks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnvel {

// Writes the summary for the best score so far into text (capacity bytes,
// NUL included), truncating when it does not fit.
void writeSearchReport(char* text, size_t capacity, int best, uint32_t depth, uint32_t selDepth,
                       uint64_t nodes, uint64_t dbHits, int64_t elapsedMs);

}  // namespace tarnvel
