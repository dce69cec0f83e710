// The weights file tools/train exports and the library embeds, all
// little-endian:
//   "TVN1", uint32 HIDDEN, uint32 LAYER2
//   int16 feature weights [FEATURES][HIDDEN]   scale 127
//   int16 feature biases [HIDDEN]              scale 127
//   int8  layer-2 weights [LAYER2][2 * HIDDEN] scale 64
//   int32 layer-2 biases [LAYER2]              scale 127 * 64
//   int16 output weights [LAYER2]              scale OUTPUT_SCALE
//   int32 output bias                          scale 127 * OUTPUT_SCALE
// The score is the output sum shifted right by OUTPUT_SHIFT: OUTPUT_SCALE is
// 100 << OUTPUT_SHIFT / 127, so one unit of the fitted output is 100 (a man).
#pragma once

#include <cstddef>

#include "v2/eval/network.h"

namespace tarnvel::v2::network {

constexpr char NETWORK_MAGIC[4] = {'T', 'V', 'N', '1'};
constexpr int ACTIVATION_MAX = 127;  // 1.0 after a clipped ReLU
constexpr int LAYER2_SHIFT = 6;      // layer-2 weights carry 1 << 6
constexpr int OUTPUT_SHIFT = 13;

constexpr size_t NETWORK_FILE_SIZE = 12 + 2 * FEATURES * HIDDEN + 2 * HIDDEN + LAYER2 * 2 * HIDDEN + 4 * LAYER2 +
                                     2 * LAYER2 + 4;

}  // namespace tarnvel::v2::network
