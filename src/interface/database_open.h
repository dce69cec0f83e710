// Opening the endgame database at a move request, shared by both engines.
#pragma once

#include <cstdint>

#include "egdb/database.h"

namespace tarnvel {

// Opens the database again when the cache size asked for differs from the
// one in use (also at the very first request), writing progress lines into
// text; sets dbPieceLimit. The preload stops at preloadDeadlineMs.
void reopenDatabaseIfResized(char* text, int64_t preloadDeadlineMs = NO_PRELOAD_DEADLINE);

}  // namespace tarnvel
