#include "store.h"

#include <atomic>
#include <cstdio>

#include "platform/vmem.h"

#include "work_dir.h"

namespace tarnvel::egdbtool {

namespace {

struct Held {
    MaterialIndex index;
    const uint8_t* results[2];  // by side to move
    uint8_t* owned;             // both sides in memory, or null
    const uint8_t* mapping;     // both sides mapped from a file, or null
};
Held held[MATERIAL_SLOTS];

std::string fileName(const Material& m) {
    char name[16];
    std::snprintf(name, sizeof name, "%d%d%d%d.res", m.bm, m.bk, m.wm, m.wk);
    return name;
}

void release(Held& h) {
    unmap(h.mapping, 2 * packedBytes(h.index));
    platform::releaseMemory(h.owned, 2 * packedBytes(h.index));
    h = Held{};
}

bool mapKept(const Material& m) {
    Held& h = held[materialSlot(m)];
    release(h);
    h.index = materialIndex(m);
    const uint64_t side = packedBytes(h.index);
    h.mapping = mapReadOnly(workPath(fileName(m)), 2 * side);
    if (!h.mapping) return false;
    h.results[0] = h.mapping;
    h.results[1] = h.mapping + side;
    return true;
}

}  // namespace

bool loadKept(const Material& m) { return mapKept(m); }

bool keepMaterial(const Material& m, const std::vector<uint8_t> packed[2], std::string* problem) {
    const Part parts[2] = {{packed[0].data(), packed[0].size()}, {packed[1].data(), packed[1].size()}};
    const std::string path = workPath(fileName(m));
    if (!writeAtomically(path, parts, 2, problem)) return false;
    if (mapKept(m)) return true;
    *problem = "cannot map '" + path + "' just written";
    return false;
}

bool storeMaterial(const Material& m) {
    Held& h = held[materialSlot(m)];
    release(h);
    h.index = materialIndex(m);
    // Looked up at random all over: large pages spare most of the
    // address-translation misses.
    void* region = nullptr;
    if (!platform::reserveMemory(2 * packedBytes(h.index), &region, platform::MemoryUse::TABLE)) return false;
    h.owned = static_cast<uint8_t*>(region);
    h.results[0] = h.owned;
    h.results[1] = h.owned + packedBytes(h.index);
    return true;
}

namespace {

// The byte that holds result n of a material held in memory.
uint8_t& ownedByte(const Material& m, int side, uint32_t n) {
    const Held& h = held[materialSlot(m)];
    return h.owned[side * packedBytes(h.index) + (n >> 2)];
}

}  // namespace

void storeResult(const Material& m, int side, uint32_t n, Value v) {
    // Positions sharing the byte may be set at the same time.
    std::atomic_ref<uint8_t> byte(ownedByte(m, side, n));
    byte.fetch_or(static_cast<uint8_t>(v << (2 * (n & 3))), std::memory_order_relaxed);
}

void fetchForStore(const Material& m, int side, uint32_t n) { __builtin_prefetch(&ownedByte(m, side, n), 1); }

Value storedValue(const Pieces& p, int side) {
    const Material m = materialOf(p);
    const int toMove = side == BLACK ? blackCount(m) : whiteCount(m);
    const int other = side == BLACK ? whiteCount(m) : blackCount(m);
    if (toMove == 0) return LOSS;
    if (other == 0) return WIN;
    const bool twin = !isStored(m);
    const Held& h = held[materialSlot(twin ? colourReversed(m) : m)];
    const uint32_t n = positionNumber(h.index, twin ? colourReversed(p) : p);
    return static_cast<Value>((h.results[twin ? 1 - side : side][n >> 2] >> (2 * (n & 3))) & 3);
}

const MaterialIndex& storedIndex(const Material& m) { return held[materialSlot(m)].index; }

void releaseStore() {
    for (Held& h : held) release(h);
}

uint64_t storeBytes() {
    uint64_t bytes = 0;
    for (const Held& h : held)
        if (h.results[0]) bytes += 2 * packedBytes(h.index);
    return bytes;
}

}  // namespace tarnvel::egdbtool
