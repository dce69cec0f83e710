// Training positions from games: the record's layout is shared with the
// database sampler and the training tools (tools/train/training_record.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "board/position.h"
#include "game.h"
#include "tools/train/training_record.h"

namespace tarnvel::cli {

// The score field of an engine's report line ("... value=-12 depth=...").
int16_t scoreFromReport(std::string_view report);

// The record of a game's position at `ply`, its result not yet known.
TrainingRecord gamePositionRecord(const Position& p, int side, int16_t score, size_t ply);

// A game's outcome for the side to move, as a record keeps it.
int8_t resultFor(Outcome outcome, int side);

}  // namespace tarnvel::cli
