// Results of whole materials, two bits a position, for the stored material
// of each colour-reversed pair (both sides to move). The builder keeps
// finished materials as files in its work directory and reads them through
// read-only mappings; verify holds what it reads in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "material_index.h"
#include "pieces.h"

namespace tarnvel::egdbtool {

// Maps the results of a material that the work directory already holds
// (work_dir.h); false when it holds none.
bool loadKept(const Material& m);

// Keeps a solved material: its packed results (packedBytes each, side to
// move black then white) go to a file in the work directory, then mapped.
bool keepMaterial(const Material& m, const std::vector<uint8_t> packed[2], std::string* problem);

// Makes room in memory for a stored material, every result UNRESOLVED;
// false when the memory cannot be had.
bool storeMaterial(const Material& m);

// Sets one result, still UNRESOLVED, of a material held in memory; safe
// on several threads at once.
void storeResult(const Material& m, int side, uint32_t n, Value v);

// Fetches the byte of a result about to be set, so that the cache misses
// of setting many results all over memory overlap.
void fetchForStore(const Material& m, int side, uint32_t n);

// The result of any position of a held material, its colour-reversed twin
// being answered from the stored one; a side without pieces has lost.
Value storedValue(const Pieces& p, int side);

// The numbering a held material uses.
const MaterialIndex& storedIndex(const Material& m);

void releaseStore();

// Bytes the held results take (mapped or in memory).
uint64_t storeBytes();

}  // namespace tarnvel::egdbtool
