// The retrograde analysis that fills the small-ending tables.
#pragma once

namespace tarnvel {

// Solves every position of the six endings under the engine's own move
// rules and writes smallEndingEntries. Leaves the global position, the
// move stack's first block and the game history length as it found them
// (apart from the moves it generated there).
void buildSmallEndings();

}  // namespace tarnvel
