// The evaluation Tarnvel 2's search calls, from the side to move's view:
// the learned network. The search-alone build (TARNVEL2_V13_EVAL, the
// Tarnvel2V13Eval library) calls v1.3's terms instead, scaled to the
// network's points so that the search's margins keep their meaning; a
// match of that build against v1.3 measures what the search alone gains.
#pragma once

#include "board/position.h"
#include "v2/eval/network.h"
#ifdef TARNVEL2_V13_EVAL
#include "v13/eval/evaluate.h"
#include "v2/search/score.h"
#endif

namespace tarnvel::v2 {

#ifdef TARNVEL2_V13_EVAL
constexpr int V13_SCALE_NUMERATOR = 11;  // v1.3's man is 100, the network's about 220
constexpr int V13_SCALE_DENOMINATOR = 5;

// v1.3's terms read the board alone: the network's accumulators are not kept.
constexpr bool EVAL_USES_ACCUMULATORS = false;

inline int staticEval(const Position& p, const network::Accumulator&, int side) {
    return tarnvel::evaluatePosition(p, side, -SCORE_INFINITE, SCORE_INFINITE) * V13_SCALE_NUMERATOR /
           V13_SCALE_DENOMINATOR;
}
#else
constexpr bool EVAL_USES_ACCUMULATORS = true;

inline int staticEval(const Position&, const network::Accumulator& acc, int side) {
    return network::evaluate(acc, side);
}
#endif

}  // namespace tarnvel::v2
