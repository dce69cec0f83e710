// The weights file tools/train exports and the library embeds, all
// little-endian:
//   "TVN1", uint32 HIDDEN, uint32 LAYER2
//   int16 feature weights [FEATURES][HIDDEN]   scale 512
//   int16 feature biases [HIDDEN]              scale 512
//   int16 layer-2 weights [LAYER2][2 * HIDDEN] scale 4096, within ±LAYER2_WEIGHT_MAX
//   int32 layer-2 biases [LAYER2]              scale 512 * 4096, within ±LAYER2_BIAS_MAX
//   int16 output weights [LAYER2]              scale 1600
//   int32 output bias                          scale 512 * 1600, within ±OUTPUT_BIAS_MAX
// Activations carry 512 for 1.0, so a clipped ReLU clips to [0, 512]. The
// score is the output sum shifted right by 13: 1600 << 13 / 512 = 100, so
// one unit of the fitted output is 100 points (a man). SSE2 has no 8-bit
// multiply-add, so layer 2 keeps 16-bit weights: 64 times finer than 8
// bits for the same instructions, which cuts the rounding against the
// fitted network from a mean of 3.5 points to under 1. The bounds keep
// every sum inside int32.
#pragma once

#include <cstddef>
#include <cstdint>

#include "v2/eval/network.h"

namespace tarnvel::v2::network {

constexpr char NETWORK_MAGIC[4] = {'T', 'V', 'N', '1'};
constexpr int ACTIVATION_MAX = 512;  // 1.0 after a clipped ReLU
constexpr int LAYER2_SHIFT = 12;     // layer-2 weights carry 1 << 12
constexpr int OUTPUT_SHIFT = 13;
constexpr int LAYER2_WEIGHT_MAX = 16384;
constexpr int32_t LAYER2_BIAS_MAX = 1 << 29;
constexpr int32_t OUTPUT_BIAS_MAX = 1 << 30;

// A wider network needs smaller bounds: these pin the worst sums inside int32.
static_assert(int64_t{2 * HIDDEN} * ACTIVATION_MAX * LAYER2_WEIGHT_MAX + LAYER2_BIAS_MAX < int64_t{1} << 31,
              "layer 2's sums could overflow int32");
static_assert(int64_t{LAYER2} * ACTIVATION_MAX * 32768 + OUTPUT_BIAS_MAX < int64_t{1} << 31,
              "the output's sum could overflow int32");

constexpr size_t NETWORK_FILE_SIZE = 12 + 2 * FEATURES * HIDDEN + 2 * HIDDEN + 2 * LAYER2 * 2 * HIDDEN + 4 * LAYER2 +
                                     2 * LAYER2 + 4;

}  // namespace tarnvel::v2::network
