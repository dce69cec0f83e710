// Retrograde solving of every position with up to a given number of
// pieces (at most 3 a side up to 6 pieces, 4 a side with 7); the results
// go to the store.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pieces.h"

namespace tarnvel::egdbtool {

// The stored materials with up to maxPieces pieces (each side at least one
// piece), in an order where every material comes after those its moves can
// reach: captures lead to fewer pieces, crownings to fewer men.
std::vector<Material> solvingOrder(int maxPieces);

// The same for the given materials (either colour) and all those their
// moves can lead to.
std::vector<Material> solvingOrderFor(const std::vector<Material>& wanted);

// Positions of a material (both sides to move, unused slots included):
// the work solving it takes.
uint64_t materialSlots(const Material& m);

// Threads that solveMaterial uses (at least 1).
void setSolverThreads(int threads);

struct Tally {
    uint64_t positions, wins, losses, draws;
};

// Solves every position of m (a stored material) with either side to move
// and keeps the results in the store (store.h), which also tells the
// results of the materials m leads to: those must be solved already.
// Reports the share done through progressShare. False (with the reason)
// when the results cannot be kept.
bool solveMaterial(const Material& m, Tally* tally, std::string* problem);

}  // namespace tarnvel::egdbtool
