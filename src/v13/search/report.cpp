#include "v13/search/report.h"

#include <cinttypes>
#include <cstdio>

#include "v13/interface/engine_name.h"
#include "v13/search/score.h"

namespace tarnvel {

void writeSearchReport(char* text, size_t capacity, int best, uint32_t depth, uint32_t selDepth,
                       uint64_t nodes, uint64_t dbHits, int64_t elapsedMs) {
    if (!text || capacity == 0) return;
    // Decided scores are shown as plies to the end of the game.
    const char* label = "value";
    int shown = best;
    if (best >= SCORE_DECIDED) {
        label = "win";
        shown = SCORE_GAMEOVER - best;
    } else if (best <= -SCORE_DECIDED) {
        label = "loss";
        shown = best + SCORE_GAMEOVER;
    }
    const uint64_t elapsed = elapsedMs > 0 ? static_cast<uint64_t>(elapsedMs) : 0;
    // Nodes per millisecond is thousands of nodes per second.
    const double speed = elapsed > 0 ? static_cast<double>(nodes) / static_cast<double>(elapsed) : 0.0;
    std::snprintf(text, capacity,
                  "%s => %s=%d  depth=%u/%u  nodes=%" PRIu64 "  tbhits=%" PRIu64 "  time=%" PRIu64
                  "  %7.1lfKN/s\n",
                  ENGINE_NAME, label, shown, depth, selDepth, nodes, dbHits, elapsed, speed);
}

}  // namespace tarnvel
