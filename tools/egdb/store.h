// Results of whole materials held in memory, two bits a position, for the
// stored material of each colour-reversed pair (both sides to move).
#pragma once

#include <cstdint>

#include "material_index.h"
#include "pieces.h"

namespace tarnvel::egdbtool {

// Makes room for a stored material, every result UNRESOLVED.
void storeMaterial(const Material& m);

// Sets one result. Positions sharing a byte must not be set at once.
void storeResult(const Material& m, int side, uint32_t n, Value v);

// The result of any position of a held material, its colour-reversed twin
// being answered from the stored one; a side without pieces has lost.
Value storedValue(const Pieces& p, int side);

// The numbering a held material uses.
const MaterialIndex& storedIndex(const Material& m);

void releaseStore();

// Bytes the held results take.
uint64_t storeBytes();

}  // namespace tarnvel::egdbtool
