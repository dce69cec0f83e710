// Retrograde solving of every position with up to a given number of
// pieces, at most MAX_PER_SIDE a side; the results go to the store.
#pragma once

#include <cstdint>
#include <vector>

#include "pieces.h"

namespace tarnvel::egdbtool {

// The stored materials with up to maxPieces pieces (each side at least one
// piece), in an order where every material comes after those its moves can
// reach: captures lead to fewer pieces, crownings to fewer men.
std::vector<Material> solvingOrder(int maxPieces);

// Positions of a material (both sides to move, unused slots included):
// the work solving it takes.
uint64_t materialSlots(const Material& m);

// Threads that solveMaterial uses (at least 1).
void setSolverThreads(int threads);

struct Tally {
    uint64_t positions, wins, losses, draws;
};

// Solves every position of m (a stored material) with either side to move
// and keeps the results in the store (store.h).
// Every material reachable from m must be solved already. Reports the share
// done through progressShare.
Tally solveMaterial(const Material& m);

}  // namespace tarnvel::egdbtool
