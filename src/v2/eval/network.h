// Tarnvel 2's learned evaluation: a small network fitted by tools/train.
//
// Inputs are 128 binary features seen from one colour's side: own men, own
// kings, opponent's men, opponent's kings, 32 squares each. White sees the
// board as it is; Black sees it turned (bit i -> 31 - i) with the colours
// swapped, so both see their men advancing the same way. One shared layer
// turns each view into an accumulator of HIDDEN int16 values, updated as
// moves are made; the two are joined side to move first, clipped to
// [0, 1] (512 in integers), and two small layers give a score from the side to move's view
// (a man about 100). The weights are one set per process, loaded at
// start-up (loadEmbeddedWeights) before any evaluation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/position.h"

namespace tarnvel::v2::network {

constexpr int FEATURES = 128;
constexpr int HIDDEN = 64;  // accumulator width per view
constexpr int LAYER2 = 32;  // second layer's outputs

// [0] White's view, [1] Black's view.
struct Accumulator {
    alignas(64) int16_t v[2][HIDDEN];
};

// The accumulators of p from nothing.
void refresh(const Position& p, Accumulator& acc);

// child = parent's accumulators moved from `before` to `after` (only the
// pieces that differ between the two boards are touched).
void update(const Accumulator& parent, const Position& before, const Position& after, Accumulator& child);

// Score for the side to move.
int evaluate(const Accumulator& acc, int whiteToMove);

// The same, with the widest instructions the processor has (`wide`) or
// with the narrow ones every build has; tests hold the two equal.
int evaluateWith(const Accumulator& acc, int whiteToMove, bool wide);

// Replaces the weights with those of a weights file (format in
// network_file.h). False, keeping the old weights, for a file of another
// shape or size, or with weights past the bounds that keep sums in range.
bool loadWeights(const uint8_t* data, size_t size);

// Loads the weights built into the library (src/v2/eval/network.bin).
bool loadEmbeddedWeights();

}  // namespace tarnvel::v2::network
