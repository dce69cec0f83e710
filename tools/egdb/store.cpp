#include "store.h"

#include <vector>

namespace tarnvel::egdbtool {

namespace {
// Four results a byte, position n in bits 2·(n mod 4) and up.
std::vector<uint8_t> results[MATERIAL_SLOTS][2];
MaterialIndex indexes[MATERIAL_SLOTS];
}  // namespace

void storeMaterial(const Material& m) {
    const int slot = materialSlot(m);
    indexes[slot] = materialIndex(m);
    for (auto& packed : results[slot]) packed.assign((indexes[slot].size + 3) / 4, 0);
}

void storeResult(const Material& m, int side, uint32_t n, Value v) {
    uint8_t& byte = results[materialSlot(m)][side][n >> 2];
    const int shift = 2 * (n & 3);
    byte = static_cast<uint8_t>((byte & ~(3 << shift)) | (v << shift));
}

Value storedValue(const Pieces& p, int side) {
    const Material m = materialOf(p);
    const int toMove = side == BLACK ? blackCount(m) : whiteCount(m);
    const int other = side == BLACK ? whiteCount(m) : blackCount(m);
    if (toMove == 0) return LOSS;
    if (other == 0) return WIN;
    const bool twin = !isStored(m);
    const int slot = materialSlot(twin ? colourReversed(m) : m);
    const uint32_t n = positionNumber(indexes[slot], twin ? colourReversed(p) : p);
    return static_cast<Value>((results[slot][twin ? 1 - side : side][n >> 2] >> (2 * (n & 3))) & 3);
}

const MaterialIndex& storedIndex(const Material& m) { return indexes[materialSlot(m)]; }

void releaseStore() {
    for (auto& bySide : results)
        for (auto& packed : bySide) std::vector<uint8_t>().swap(packed);
}

uint64_t storeBytes() {
    uint64_t bytes = 0;
    for (const auto& bySide : results)
        for (const auto& packed : bySide) bytes += packed.size();
    return bytes;
}

}  // namespace tarnvel::egdbtool
