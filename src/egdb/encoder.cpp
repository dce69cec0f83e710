#include "egdb/encoder.h"

#include "egdb/cache.h"
#include "egdb/tables.h"

namespace tarnvel {

namespace {

constexpr uint32_t LONGEST_RUN = SkipTable.back();
constexpr uint32_t SHORTEST_RUN = SkipTable.front();

// Length of the run of one value starting at i, wildcards joining it;
// positions past the slice's end are wildcards too. *value becomes the
// run's value, or stays as it was when the run holds only wildcards.
uint32_t runFrom(const std::vector<uint8_t>& results, size_t i, uint8_t* value) {
    uint32_t length = 0;
    uint8_t v = RESULT_ANY;
    for (; length < LONGEST_RUN; ++length) {
        if (i + length >= results.size()) {
            length = LONGEST_RUN;
            break;
        }
        const uint8_t r = results[i + length];
        if (r == RESULT_ANY) continue;
        if (v == RESULT_ANY)
            v = r;
        else if (r != v)
            break;
    }
    if (v != RESULT_ANY) *value = v;
    return length;
}

uint8_t runCode(uint32_t length, uint8_t value, uint32_t* covered) {
    size_t k = SkipTable.size() - 1;
    while (SkipTable[k] > length) --k;
    *covered = SkipTable[k];
    return static_cast<uint8_t>(FIRST_RUN_CODE + SkipTable.size() * (value - 1) + k);
}

// Four results, the first the lowest base-3 digit; wildcards repeat the
// value before them.
uint8_t quadCode(const std::vector<uint8_t>& results, size_t i, uint8_t* value) {
    uint32_t code = 0, weight = 1;
    for (size_t d = 0; d < POSITIONS_PER_QUAD; ++d, weight *= 3) {
        if (i + d < results.size() && results[i + d] != RESULT_ANY) *value = results[i + d];
        code += (*value - 1) * weight;
    }
    return static_cast<uint8_t>(code);
}

}  // namespace

EncodedSlice encodeSlice(const std::vector<uint8_t>& results, std::vector<uint8_t>& file) {
    EncodedSlice e{static_cast<uint32_t>(file.size() / BLOCK_SIZE), static_cast<uint32_t>(file.size() % BLOCK_SIZE),
                   {0}};
    const size_t start = file.size();
    uint8_t value = 1;
    for (size_t i = 0; i < results.size();) {
        if (file.size() % BLOCK_SIZE == 0 && file.size() != start) e.idx.push_back(static_cast<uint32_t>(i));
        const uint32_t length = runFrom(results, i, &value);
        uint32_t covered = POSITIONS_PER_QUAD;
        file.push_back(length >= SHORTEST_RUN ? runCode(length, value, &covered) : quadCode(results, i, &value));
        i += covered;
    }
    return e;
}

}  // namespace tarnvel
