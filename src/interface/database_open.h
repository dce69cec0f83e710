// Opening the endgame database at a move request, shared by both engines.
#pragma once

namespace tarnvel {

// Opens the database again when the cache size asked for differs from the
// one in use (also at the very first request), writing progress lines into
// text; sets dbPieceLimit. Without `preload` the cache starts empty (see
// continuePreload).
void reopenDatabaseIfResized(char* text, bool preload = true);

}  // namespace tarnvel
