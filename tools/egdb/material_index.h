// A dense numbering of the positions of one material, used while solving.
//
// Each piece group is ranked as a combination (colex order): black men on
// squares 0–27, white men on squares 4–31 (each group on the 28 squares it
// can stand on), then black kings on the squares the men leave free and
// white kings on those still free. Placements where a black and a white man
// share a square get a number too; they are unused slots.
#pragma once

#include <cstdint>

#include "pieces.h"

namespace tarnvel::egdbtool {

struct MaterialIndex {
    Material material;
    uint32_t blackMenPlaces, whiteMenPlaces, blackKingPlaces, whiteKingPlaces;
    uint32_t size;  // their product: slots per side to move
};

MaterialIndex materialIndex(const Material& m);

// Bytes of one side's results at two bits a slot: slot n in bits
// 2·(n mod 4) and up of byte n / 4.
constexpr uint64_t packedBytes(const MaterialIndex& ix) { return (uint64_t{ix.size} + 3) / 4; }

// Number of a position of the index's material.
uint32_t positionNumber(const MaterialIndex& ix, const Pieces& p);

// The position with number n; false for an unused slot.
bool positionOf(const MaterialIndex& ix, uint32_t n, Pieces* p);

}  // namespace tarnvel::egdbtool
