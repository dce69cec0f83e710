// Elapsed wall-clock time in milliseconds, for the search's time budget.
#pragma once

#include <cstdint>

namespace tarnvel::platform {

// Milliseconds from an arbitrary fixed origin; never goes backwards.
int64_t monotonicMs();

}  // namespace tarnvel::platform
