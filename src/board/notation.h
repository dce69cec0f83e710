// Standard notation of move records: "9-13", "15x24", "1x10x19".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/movestack.h"
#include "board/position.h"

namespace tarnvel {

// The squares (standard numbers) a record's piece visits, origin first.
// A capture's path is rebuilt from the captured set; of two paths that
// give the same record the first found in direction order is used.
std::vector<int> movePath(const Position& before, const MoveRecord& m);
std::vector<int> movePath(const Position& before, uint32_t index);  // a move-stack entry

// "from-to" for a plain move, "fromxmidx…xto" for a capture.
std::string moveNotation(const Position& before, const MoveRecord& m);
std::string moveNotation(const Position& before, uint32_t index);  // a move-stack entry

}  // namespace tarnvel
