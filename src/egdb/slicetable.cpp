#include "egdb/slicetable.h"

#include "platform/memory.h"

#include "egdb/limits.h"

namespace tarnvel {

SliceRecord SliceTable[MAX_OF_A_KIND + 1][MAX_OF_A_KIND + 1][MAX_OF_A_KIND + 1][MAX_OF_A_KIND + 1][RANK_COUNT]
                      [RANK_COUNT][2];
FILE* dbfp[DBFP_SLOTS];

int32_t maxPieces = 0;
int32_t maxPerSide = 0;
int32_t maxidx = 0;
int32_t maxBlocks = 0;

bool sliceKeyInTable(const SliceKey& k) {
    const auto count = [](int c) { return c >= 0 && c <= MAX_OF_A_KIND; };
    const auto rank = [](int r) { return r >= 0 && r < RANK_COUNT; };
    return count(k.nbm) && count(k.nbk) && count(k.nwm) && count(k.nwk) && rank(k.bmrank) && rank(k.wmrank) &&
           (k.side == 0 || k.side == 1);
}

void clearSliceTable() {
    SliceRecord* first = &SliceTable[0][0][0][0][0][0][0];
    const size_t count = sizeof(SliceTable) / sizeof(SliceRecord);
    for (size_t i = 0; i < count; ++i) {
        platform::release(first[i].idx);
        first[i] = SliceRecord{};
    }
}

void closeCompressedFiles() {
    for (FILE*& f : dbfp) {
        if (f) std::fclose(f);
        f = nullptr;
    }
}

}  // namespace tarnvel
