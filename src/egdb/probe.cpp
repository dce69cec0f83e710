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

// Block k of a slice: the last idx entry not above index (block 0 when
// none is). Bisected without branches on the entries, which a probe at a
// random index would mispredict.
int32_t blockWithin(const SliceRecord& r, uint32_t index) {
    const uint32_t* e = r.idx;
    int32_t lo = 0;
    for (int32_t n = r.blockCount; n > 1;) {
        const int32_t half = n / 2;
        lo = e[lo + half] <= index ? lo + half : lo;
        n -= half;
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
    CanonicalPosition pos;
    if (!canonicalPosition(*query, &pos)) return DB_UNKNOWN;
    const SliceKey& key = pos.key;
    const int nb = key.nbm + key.nbk, nw = key.nwm + key.nwk;
    if (nb + nw > maxPieces || nb > maxPerSide || nw > maxPerSide) return DB_UNKNOWN;

    const SliceRecord& r = sliceRecord(pos.key);
    if (!r.present || !dbfp[r.fileSlot]) return DB_UNKNOWN;
    if (r.singleValue) return static_cast<int32_t>(r.singleValue);

    const uint32_t index = positionIndex(pos);
    const int32_t i = blockWithin(r, index);
    const uint64_t g = uint64_t{r.blockOffset} + r.firstBlock + static_cast<uint32_t>(i);
    if (g >= static_cast<uint64_t>(maxBlocks)) return DB_UNKNOWN;
    const uint8_t* block = blockpointer[g];
    if (!block) {
        if (conditional == 1) return DB_NOLOOK;
        block = loadBlock(static_cast<int32_t>(g), dbfp[r.fileSlot], r.firstBlock + static_cast<uint32_t>(i));
        if (!block) return DB_UNKNOWN;
    }
    const int32_t slot = slotOf(block);
    touchBlock(slot);  // a block just loaded is the newest already
    const uint32_t* mark = blockMarks(slot);

    // Positions are counted from the block's first byte: the slice's first
    // code (past the end of the slice before it, in its first block) holds
    // index e[i]. The marks then leave a walk of at most MARK_SPACING bytes.
    const int32_t firstCode = i == 0 ? static_cast<int32_t>(r.startByte) : 0;
    int32_t p = firstCode & -MARK_SPACING;
    uint32_t skipped = mark[p / MARK_SPACING];
    for (; p < firstCode; ++p) skipped += RunLengthTable[block[p]];
    const uint32_t target = index - r.idx[i] + skipped;
    // The last mark not above target; counted without branches.
    int32_t k = -1;
    for (int j = 0; j < MARKS_PER_BLOCK; ++j) k += mark[j] <= target;
    p = k * MARK_SPACING;
    uint32_t cursor = mark[k];
    for (;;) {
        if (p >= BLOCK_SIZE) {
            logOverflow(pos.key, index);
            return DB_UNKNOWN;
        }
        const uint32_t next = cursor + RunLengthTable[block[p]];
        if (next > target) break;
        cursor = next;
        ++p;
    }
    const uint32_t code = block[p];
    if (code > LAST_QUAD_CODE) return RunResultTable[code] + 1;
    return static_cast<int32_t>((code / POWERS_OF_3[target - cursor]) % 3 + 1);
}

}  // namespace tarnvel
