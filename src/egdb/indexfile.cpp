#include "egdb/indexfile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>

#include "egdb/cache.h"
#include "egdb/limits.h"
#include "egdb/slicetable.h"
#include "platform/memory.h"

namespace tarnvel {

namespace {

// Holds one record's block list while it is read; maxidx never exceeds the
// 8-piece limit.
uint32_t recordBuffer[limitsForPieces(8).maxidx];

// Numbers beyond this are out of every range and saturate here.
constexpr int64_t NUMBER_CEILING = int64_t{1} << 40;

void skipSpace(FILE* f) {
    int c;
    do c = std::fgetc(f);
    while (c != EOF && std::isspace(c));
    if (c != EOF) std::ungetc(c, f);
}

int digitValue(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// One integer as "%d" reads it, or as "%i" (leading 0: octal, 0x: hex)
// when anyBase. False when no digit follows.
bool readInteger(FILE* f, bool anyBase, int64_t* out) {
    skipSpace(f);
    int c = std::fgetc(f);
    const bool negative = c == '-';
    if (c == '-' || c == '+') c = std::fgetc(f);
    int base = 10;
    int64_t value = 0;
    bool digits = false;
    if (anyBase && c == '0') {
        digits = true;
        c = std::fgetc(f);
        if (c == 'x' || c == 'X') {
            base = 16;
            c = std::fgetc(f);
        } else {
            base = 8;
        }
    }
    for (; c != EOF && digitValue(c) < base; c = std::fgetc(f)) {
        digits = true;
        value = std::min(value * base + digitValue(c), NUMBER_CEILING);
    }
    if (c != EOF) std::ungetc(c, f);
    *out = negative ? -value : value;
    return digits;
}

struct Head {
    int64_t field[6];  // black men, black kings, white men, white kings, bmrank, wmrank
    int side;
};

// Reads " BASE%i,%i,%i,%i,%i,%i,%c:"; returns the fields converted (0 … 7).
int readHead(FILE* f, Head* h) {
    skipSpace(f);
    for (const char* word = "BASE"; *word; ++word) {
        const int c = std::fgetc(f);
        if (c != *word) {
            if (c != EOF) std::ungetc(c, f);
            return 0;
        }
    }
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            const int c = std::fgetc(f);
            if (c != ',') {
                if (c != EOF) std::ungetc(c, f);
                return i;
            }
        }
        if (!readInteger(f, true, &h->field[i])) return i;
    }
    int c = std::fgetc(f);
    if (c != ',') {
        if (c != EOF) std::ungetc(c, f);
        return 6;
    }
    c = std::fgetc(f);
    if (c == EOF) return 6;
    h->side = c == 'b' ? 0 : 1;
    c = std::fgetc(f);
    if (c != ':' && c != EOF) std::ungetc(c, f);
    return 7;
}

// The slice a head names, or null when it lies outside the table.
SliceRecord* recordOf(const Head& h) {
    for (const int64_t v : h.field)
        if (v < 0 || v >= RANK_COUNT) return nullptr;
    const SliceKey key{static_cast<int>(h.field[0]), static_cast<int>(h.field[1]), static_cast<int>(h.field[2]),
                       static_cast<int>(h.field[3]), static_cast<int>(h.field[4]), static_cast<int>(h.field[5]),
                       h.side};
    return sliceKeyInTable(key) ? &sliceRecord(key) : nullptr;
}

void dropBlockRecords(int32_t fileSlot) {
    SliceRecord* first = &SliceTable[0][0][0][0][0][0][0];
    const size_t count = sizeof(SliceTable) / sizeof(SliceRecord);
    for (size_t i = 0; i < count; ++i) {
        SliceRecord& r = first[i];
        if (r.present && r.fileSlot == fileSlot && r.singleValue == 0) {
            platform::release(r.idx);
            r = SliceRecord{};
        }
    }
}

int32_t fail(FILE* f, const char* message, int32_t result, int32_t fileSlot) {
    std::printf("%s", message);
    std::fclose(f);
    dropBlockRecords(fileSlot);
    return result;
}

}  // namespace

int32_t readIndexFile(const char* path, uint32_t blockOffset, int32_t fileSlot) {
    FILE* f = std::fopen(path, "r");
    if (!f) {
        std::printf("\ncannot open index file %s", path);
        return -1;
    }
    // Blocks the file's records reach; equal to the last block record's end
    // when, as required, that record's slice lies last in the file.
    int64_t blocks = 0;
    const int32_t bufferSize = std::clamp(maxidx, 2, static_cast<int32_t>(std::size(recordBuffer)));
    for (;;) {
        Head head{};
        const int fields = readHead(f, &head);
        if (fields == 0) break;
        if (fields < 7) return fail(f, "Error parsing!\n", -2, fileSlot);
        SliceRecord* record = recordOf(head);
        const int c = std::fgetc(f);
        if (c == '+' || c == '-' || c == '=') {
            if (record) {
                platform::release(record->idx);
                *record = {1, 0, 0, 0, 0, static_cast<uint32_t>(c == '+' ? 1 : c == '-' ? 2 : 3), nullptr, fileSlot};
            }
            continue;
        }
        if (c == EOF || !std::isdigit(c)) return fail(f, "Bad singlevalue line \n", 0, fileSlot);
        std::ungetc(c, f);
        int64_t firstBlock = 0, startByte = 0;
        readInteger(f, false, &firstBlock);
        const int slash = std::fgetc(f);
        if (slash != '/' || !readInteger(f, false, &startByte)) return fail(f, "Bad line\n", -2, fileSlot);
        recordBuffer[0] = 0;
        int32_t k = 1;
        for (int64_t v; ; ++k) {
            if (k >= 2 && k >= bufferSize) return fail(f, "reached maxidx\n", -2, fileSlot);
            if (!readInteger(f, false, &v)) break;
            recordBuffer[k] = static_cast<uint32_t>(v);
        }
        const bool placed = firstBlock >= 0 && startByte >= 0 && startByte < BLOCK_SIZE;
        if (placed) blocks = std::max(blocks, firstBlock + k);
        if (!record || !placed) continue;
        auto* idx = static_cast<uint32_t*>(platform::reallocArray(nullptr, k, sizeof(uint32_t)));
        if (!idx) return fail(f, "malloc error for idx array!\n", -2, fileSlot);
        std::copy_n(recordBuffer, k, idx);
        platform::release(record->idx);
        *record = {1, k, blockOffset, static_cast<uint32_t>(firstBlock), static_cast<uint32_t>(startByte), 0, idx,
                   fileSlot};
    }
    std::fclose(f);
    return static_cast<int32_t>(std::min<int64_t>(blocks, limitsForPieces(8).maxBlocks));
}

}  // namespace tarnvel
