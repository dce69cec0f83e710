#include "v2/search/fixed_depth.h"

#include <chrono>
#include <ctime>

#include "interface/postext.h"
#include "v2/search/search.h"

namespace tarnvel::v2 {

uint32_t searchDepthLimit = 0;

bool searchFixedDepth(const char* text, uint32_t depth, FixedDepthSearch* out) {
    int whiteToMove = 0;
    if (depth == 0 || !parsePosition(text, &whiteToMove)) return false;
    resetSearchMemory();
    SearchLimits limits;
    limits.maxDepth = static_cast<int>(depth);
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    const SearchResult result = searchPosition(position, whiteToMove, GameContext{}, limits, nullptr, 0);
    out->cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    out->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    out->resultCode = result.resultCode;
    out->nodes = result.nodes;
    return true;
}

}  // namespace tarnvel::v2
