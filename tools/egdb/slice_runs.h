// The results a slice of the open database stores, read in index order
// straight from its compressed blocks: the whole check reads the database
// at the speed of decoding rather than at one probe a position.
#pragma once

#include <cstdint>
#include <vector>

#include "egdb/slicetable.h"
#include "egdb/tables.h"

namespace tarnvel::egdbtool {

// The codes of some consecutive blocks of a slice, from the index their
// first code holds up to (not including) endIndex.
struct SliceCodes {
    uint32_t firstIndex, endIndex;
    std::vector<uint8_t> bytes;
};

// Reads the codes of blocks [first, last) of a slice with blocks (not a
// single-value one) from its compressed file, as the engine's reader
// reads them: the first block from the slice's start byte, past the end
// of the file as zeros. False when the file cannot be read.
bool readSliceCodes(const SliceRecord& r, uint32_t sliceSize, int32_t first, int32_t last, SliceCodes* out);

// visit(index, value) for every index the codes hold, in order; value 1
// win, 2 loss, 3 draw, or 0 for a code that holds no result.
template <typename Visit>
void decodeSliceCodes(const SliceCodes& codes, Visit visit) {
    uint32_t index = codes.firstIndex;
    for (size_t b = 0; b < codes.bytes.size() && index < codes.endIndex; ++b) {
        const uint32_t code = codes.bytes[b];
        if (code > LAST_QUAD_CODE) {
            const uint8_t result = RunResultTable[code] + 1;
            const uint8_t value = result <= 3 ? result : 0;
            const uint64_t runEnd = uint64_t{index} + RunLengthTable[code];
            const uint32_t end = runEnd < codes.endIndex ? static_cast<uint32_t>(runEnd) : codes.endIndex;
            for (; index < end; ++index) visit(index, value);
        } else {
            for (uint32_t d = 0, c = code; d < POSITIONS_PER_QUAD && index < codes.endIndex; ++d, c /= 3)
                visit(index++, static_cast<uint8_t>(c % 3 + 1));
        }
    }
}

}  // namespace tarnvel::egdbtool
