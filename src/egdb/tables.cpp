#include "egdb/tables.h"

namespace tarnvel {

std::array<uint8_t, 65536> BitCount16;
std::array<uint32_t, 65536> Reverse16;
std::array<uint32_t, 256> RunLengthTable;
std::array<uint8_t, 256> RunResultTable;

void buildLookupTables() {
    BitCount16[0] = 0;
    Reverse16[0] = 0;
    for (uint32_t v = 1; v < 65536; ++v) {
        BitCount16[v] = static_cast<uint8_t>((v & 1) + BitCount16[v >> 1]);
        Reverse16[v] = (Reverse16[v >> 1] >> 1) | ((v & 1) << 15);
    }
    for (uint32_t b = 0; b < 256; ++b) {
        const bool run = b > LAST_QUAD_CODE;
        RunLengthTable[b] = run ? SkipTable[(b - FIRST_RUN_CODE) % SkipTable.size()] : POSITIONS_PER_QUAD;
        RunResultTable[b] = static_cast<uint8_t>(run ? (b - FIRST_RUN_CODE) / SkipTable.size() : 0);
    }
}

}  // namespace tarnvel
