// Static evaluation of the global position.
#pragma once

#include <cstddef>

#include "v13/interface/engine_name.h"

namespace tarnvel {

constexpr int MATERIAL_MAN = 100;
constexpr int MATERIAL_KING = 134;

// Score from the side to move's view. With a report buffer (capacity bytes,
// NUL included) the breakdown text is written there, truncated if needed,
// under the name of the engine asking (Tarnvel 2 uses these terms too).
int evaluate(int whiteToMove, int alpha, int beta, char* report = nullptr,
             size_t reportCapacity = 0, const char* engineName = ENGINE_NAME);

}  // namespace tarnvel
