#include <cstdio>

#include "egdb/cache.h"
#include "egdb/database.h"
#include "egdb/limits.h"
#include "egdb/sliceindex.h"
#include "egdb/slicetable.h"
#include "egdb/tables.h"

namespace tarnvel {

namespace {

constexpr uint32_t POWERS_OF_3[POSITIONS_PER_QUAD] = {1, 3, 9, 27};

// Block k of a slice: the last idx entry not above index. Short lists are
// scanned, long ones bisected.
int32_t blockWithin(const SliceRecord& r, uint32_t index) {
    const uint32_t* e = r.idx;
    const int32_t n = r.blockCount;
    if (n < 8) {
        int32_t passed = 0;
        while (passed < n && e[passed] <= index) ++passed;
        return passed > 0 ? passed - 1 : 0;
    }
    int32_t lo = 0, hi = n;
    while (hi > lo + 1) {
        const int32_t mid = (lo + hi) / 2;
        if (index >= e[mid])
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

void logOverflow(const SliceKey& k, uint32_t index) {
    FILE* f = std::fopen("dberr.txt", "a");
    if (!f) return;
    std::fprintf(f, "db index overflow in bm %u bk %u wm %u wk %u bmrank %u wmrank %u index %u\n",
                 static_cast<unsigned>(k.nbm), static_cast<unsigned>(k.nbk), static_cast<unsigned>(k.nwm),
                 static_cast<unsigned>(k.nwk), static_cast<unsigned>(k.bmrank), static_cast<unsigned>(k.wmrank), index);
    std::fclose(f);
}

}  // namespace

int32_t probeDatabase(const DbQuery* query, int32_t conditional) {
    const int nb = bitCount(query->bm) + bitCount(query->bk);
    const int nw = bitCount(query->wm) + bitCount(query->wk);
    if (nb + nw > maxPieces || nb > maxPerSide || nw > maxPerSide) return DB_UNKNOWN;
    CanonicalPosition pos;
    if (!canonicalPosition(*query, &pos)) return DB_UNKNOWN;

    const SliceRecord& r = sliceRecord(pos.key);
    if (!r.present || !dbfp[r.fileSlot]) return DB_UNKNOWN;
    if (r.singleValue) return static_cast<int32_t>(r.singleValue);

    const uint32_t index = positionIndex(pos);
    const int32_t i = blockWithin(r, index);
    const uint64_t g = uint64_t{r.blockOffset} + r.firstBlock + static_cast<uint32_t>(i);
    if (g >= static_cast<uint64_t>(maxBlocks)) return DB_UNKNOWN;
    const uint8_t* block = blockpointer[g];
    if (block) {
        touchBlock(slotOf(block));
    } else {
        if (conditional == 1) return DB_NOLOOK;
        block = loadBlock(static_cast<int32_t>(g), dbfp[r.fileSlot], r.firstBlock + static_cast<uint32_t>(i));
        if (!block) return DB_UNKNOWN;
    }

    // Find the code covering index, walking from the nearer end of the block.
    const uint32_t* e = r.idx;
    const int32_t firstCode = i == 0 ? static_cast<int32_t>(r.startByte) : 0;
    uint32_t cursor;
    int32_t p;
    if (i + 1 < r.blockCount && e[i + 1] - index < index - e[i]) {
        cursor = e[i + 1];
        p = BLOCK_SIZE - 1;
        do {
            if (p < firstCode) {
                logOverflow(pos.key, index);
                return DB_UNKNOWN;
            }
            cursor -= RunLengthTable[block[p]];
            --p;
        } while (cursor > index);
        ++p;
    } else {
        cursor = e[i];
        p = firstCode;
        while (cursor <= index) {
            if (p >= BLOCK_SIZE) {
                logOverflow(pos.key, index);
                return DB_UNKNOWN;
            }
            cursor += RunLengthTable[block[p]];
            ++p;
        }
        --p;
        cursor -= RunLengthTable[block[p]];
    }
    const uint32_t code = block[p];
    if (code > LAST_QUAD_CODE) return RunResultTable[code] + 1;
    // Only a corrupt block list can leave index outside the code's four.
    const uint32_t d = index - cursor;
    if (d >= POSITIONS_PER_QUAD) return DB_UNKNOWN;
    return static_cast<int32_t>((code / POWERS_OF_3[d]) % 3 + 1);
}

}  // namespace tarnvel
