// The transposition table: one directly mapped array of 8-byte entries.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/zeroed_region.h"

namespace tarnvel {

// Entry layout (8 bytes):
//   check       u32  high half of the position key
//   score       i16  side to move's view; decided scores held as ±32000
//   draftBound  u8   bits 0–5 draft (remaining depth, 63 = decided, valid
//                    at any depth), bits 6–7 bound (BOUND_*)
//   move        i8   slot of the best move in the node's ordered list, −1 none
struct TTEntry {
    uint32_t check;
    int16_t score;
    uint8_t draftBound;
    int8_t move;
};
static_assert(sizeof(TTEntry) == 8, "table entries are 8 bytes");
static_assert(offsetof(TTEntry, score) == 4 && offsetof(TTEntry, draftBound) == 6 &&
              offsetof(TTEntry, move) == 7);

constexpr int TT_ENTRY_BYTES = sizeof(TTEntry);
constexpr uint8_t BOUND_UPPER = 1;
constexpr uint8_t BOUND_LOWER = 2;
constexpr uint8_t BOUND_EXACT = 3;
constexpr uint8_t DRAFT_MASK = 0x3F;
constexpr int BOUND_SHIFT = 6;
constexpr int DRAFT_DECIDED = 63;

extern platform::ZeroedRegion& ttRegion;  // the entries' memory; notes every store
extern TTEntry* ttEntries;    // null until the first allocation
extern uint32_t ttMegabytes;  // size in MB, 0 until the first allocation
extern uint32_t ttIndexMask;  // entries − 1

constexpr uint32_t TT_MAX_MEGABYTES = 1024;  // largest size "set hashsize" gives
constexpr uint32_t TT_ENTRIES_PER_MEGABYTE = (1u << 20) / TT_ENTRY_BYTES;

// Resizes the table to `megabytes` MB, discarding its entries. Asking for
// the current size keeps them. Returns false, keeping the current table,
// when the size is not a power of two entries (0 MB) or memory is short;
// a message then goes to standard error. Never ends the process.
bool ttAllocate(uint32_t megabytes);

// Zeroes every entry: only the parts stored into since the last clear, so
// nothing at all on a table not used since it was made.
void ttClear();

// The size "set hashsize" asks for: the largest power of two MB not above
// `requested` and 1024; 0 stays 0.
uint32_t ttRoundMegabytes(uint32_t requested);

// The entry for `key`, or null when the slot holds another position (or
// there is no table). Inline: it runs at every full-width node.
inline TTEntry* ttProbe(uint64_t key) {
    if (!ttEntries) return nullptr;
    TTEntry* entry = &ttEntries[static_cast<uint32_t>(key) & ttIndexMask];
    return entry->check == static_cast<uint32_t>(key >> 32) ? entry : nullptr;
}

// Overwrites the slot of `key`; does nothing without a table. `score` must
// fit 16 bits (decided scores are stored as ±32000), `move` is −1…63.
inline void ttStore(uint64_t key, int score, int draft, uint8_t bound, int move) {
    if (!ttEntries) return;
    const uint32_t slot = static_cast<uint32_t>(key) & ttIndexMask;
    ttRegion.noteWrite(size_t{slot} * sizeof(TTEntry));
    TTEntry& entry = ttEntries[slot];
    entry.check = static_cast<uint32_t>(key >> 32);
    entry.score = static_cast<int16_t>(score);
    entry.draftBound = static_cast<uint8_t>((draft & DRAFT_MASK) | (bound << BOUND_SHIFT));
    entry.move = static_cast<int8_t>(move);
}

inline int ttDraft(const TTEntry& entry) { return entry.draftBound & DRAFT_MASK; }
inline uint8_t ttBound(const TTEntry& entry) { return entry.draftBound >> BOUND_SHIFT; }

}  // namespace tarnvel
