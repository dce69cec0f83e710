// Where a position lies in the database: its slice and its index there.
#pragma once

#include <cstdint>

#include "egdb/database.h"
#include "egdb/slicetable.h"

namespace tarnvel {

// A query reduced to the stored colour: black is the stronger side, or the
// sides are alike and black is to move.
struct CanonicalPosition {
    uint32_t bm, bk, wm, wk;
    uint32_t wmTurned;  // wm seen from white's side (square s to 31 − s)
    SliceKey key;
};

// The two functions of the probe, valid once buildLookupTables has run.
//
// Counts, ranks and colour reversal of a query. False when a man stands on
// its crowning row (no slice holds such a board). Counts are not checked
// against the database limits.
bool canonicalPosition(const DbQuery& query, CanonicalPosition* out);

// Index of a canonical position within its slice: black men vary fastest,
// then white men, black kings, white kings.
uint32_t positionIndex(const CanonicalPosition& p);

// The writer's side; no table needs building.
//
// Number of index slots of a slice.
uint32_t sliceSize(const SliceKey& key);

// True for the slices the probe can reach: inside the table, ranks that
// fit the men, and the colour the probe reverses positions to.
bool isCanonicalSlice(const SliceKey& key);

// The position at an index of a slice (side word 1 white, 2 black). False
// for slots no position maps to: beyond the slice, or a black and a white
// man on one square.
bool positionAtIndex(const SliceKey& key, uint32_t index, DbQuery* out);

// The positions of a slice in index order, from a given index on. The
// black men vary fastest, so a step moves them to their next placement and
// spreads the kings again; the other pieces are decoded only when their
// part of the index changes. Gives what positionAtIndex gives.
struct SliceWalk {
    SliceKey key;
    uint32_t bmRange, wmRange, bkRange;  // placements of each part
    uint32_t bmi, wmi, bki, wki;         // the parts of the current index
    uint32_t bm, wm;                     // men of the current index
    uint32_t bkLowered, wkLowered;       // kings before spreading
};

// Starts at `index`, which must lie within the slice.
void startSliceWalk(const SliceKey& key, uint32_t index, SliceWalk* walk);

// The position at the current index; false for the same slots as
// positionAtIndex.
bool walkPosition(const SliceWalk& walk, DbQuery* out);

// On to the next index.
void stepSliceWalk(SliceWalk* walk);

}  // namespace tarnvel
