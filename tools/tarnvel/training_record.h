// Training positions from games: the record's layout is shared with the
// database sampler and the training tools (tools/train/training_record.h).
#pragma once

#include <cstdint>
#include <string_view>

#include "tools/train/training_record.h"

namespace tarnvel::cli {

// The score field of an engine's report line ("... value=-12 depth=...").
int16_t scoreFromReport(std::string_view report);

}  // namespace tarnvel::cli
