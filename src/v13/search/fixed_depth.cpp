#include "v13/search/fixed_depth.h"

#include <chrono>
#include <cstdint>
#include <ctime>

#include "interface/engine_state.h"
#include "interface/postext.h"
#include "platform/clock.h"
#include "v13/search/search.h"
#include "v13/search/tt.h"

namespace tarnvel {

bool searchFixedDepth(const char* text, uint32_t depth, FixedDepthSearch* out) {
    int whiteToMove = 0;
    if (depth == 0 || !parsePosition(text, &whiteToMove)) return false;
    ttClear();
    const uint32_t savedLimit = searchDepthLimit;
    const int64_t savedBudget = timeBudgetMs;
    // No deadline: only the depth ends the search.
    searchDepthLimit = depth;
    timeBudgetMs = INT64_MAX / 2;
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    out->resultCode = rootSearch(whiteToMove, platform::monotonicMs());
    out->cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    out->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    out->nodes = nodeCount;
    searchDepthLimit = savedLimit;
    timeBudgetMs = savedBudget;
    return true;
}

}  // namespace tarnvel
