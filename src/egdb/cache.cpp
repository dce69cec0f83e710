#include "egdb/cache.h"

#include <algorithm>

#include "egdb/database.h"
#include "egdb/filenames.h"
#include "egdb/limits.h"
#include "egdb/tables.h"
#include "platform/files.h"
#include "platform/vmem.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {

int32_t cacheBlocks = 0;
uint8_t** blockpointer = nullptr;

namespace {

uint8_t* cache = nullptr;
uint32_t* marks = nullptr;
LruEntry* lru = nullptr;
int32_t newest = -1;
int32_t oldest = -1;
// Sizes of the regions as allocated, for their release.
size_t cacheBytes = 0;
size_t markBytes = 0;
size_t pointerBytes = 0;
size_t lruBytes = 0;

uint8_t* slotAddress(int32_t slot) { return cache + static_cast<size_t>(slot) * BLOCK_SIZE; }

// Computes the running totals of the block just read into slot s.
void placeBlock(int32_t s) {
    const uint8_t* block = slotAddress(s);
    uint32_t* m = marks + static_cast<size_t>(s) * MARKS_PER_BLOCK;
    uint32_t total = 0;
    for (int k = 0; k < MARKS_PER_BLOCK; ++k, block += MARK_SPACING) {
        m[k] = total;
        // Four sums, so that the table reads need not wait for each other.
        uint32_t sum[4] = {};
        for (int b = 0; b < MARK_SPACING; b += 4)
            for (int j = 0; j < 4; ++j) sum[j] += RunLengthTable[block[b + j]];
        total += sum[0] + sum[1] + sum[2] + sum[3];
    }
}

// Makes s, already unlinked, the most recently used slot.
void linkAsNewest(int32_t s) {
    lru[s].next = newest;
    lru[s].prev = -1;
    lru[newest].prev = s;
    newest = s;
}

// Reads the next block of a file into `block`. A file may end inside its
// last block: that partial block is a block, the bytes past the end read
// as zero. False when nothing is left to read.
bool readBlock(FILE* file, uint8_t* block) {
    const size_t got = std::fread(block, 1, BLOCK_SIZE, file);
    if (got == 0) return false;
    std::fill(block + got, block + BLOCK_SIZE, uint8_t{0});
    return true;
}

// Reads the blocks of one compressed file into the slots of their global
// numbers. Returns 1 once the cache or the block numbers are used up.
int preloadFile(FILE* file, const char* path, int64_t offset, int64_t count, bool reportEveryBlock,
                char* progressText) {
    for (int64_t b = 0; b < count; ++b) {
        const int64_t g = offset + b;
        if (g >= maxBlocks || g >= cacheBlocks) return 1;
        const int32_t slot = static_cast<int32_t>(g);
        if (!readBlock(file, slotAddress(slot))) return 0;
        placeBlock(slot);
        blockpointer[slot] = slotAddress(slot);
        if (progressText && (reportEveryBlock || slot % 1024 == 0))
            std::snprintf(progressText, TARNVEL_TEXT_CAPACITY, "preload block %i in %s", slot, path);
        if (slot + 1 == cacheBlocks) return 1;
    }
    return 0;
}

}  // namespace

bool allocateCache() {
    for (; cacheBlocks >= MIN_CACHE_BLOCKS; cacheBlocks /= 2) {
        cacheBytes = static_cast<size_t>(cacheBlocks) * BLOCK_SIZE;
        markBytes = static_cast<size_t>(cacheBlocks) * MARKS_PER_BLOCK * sizeof(uint32_t);
        pointerBytes = static_cast<size_t>(maxBlocks) * sizeof(uint8_t*);
        lruBytes = static_cast<size_t>(cacheBlocks) * sizeof(LruEntry);
        void* c = nullptr;
        void* m = nullptr;
        void* p = nullptr;
        void* l = nullptr;
        if (platform::reserveMemory(cacheBytes, &c) && platform::reserveMemory(markBytes, &m) &&
            platform::reserveMemory(pointerBytes, &p) && platform::reserveMemory(lruBytes, &l)) {
            cache = static_cast<uint8_t*>(c);
            marks = static_cast<uint32_t*>(m);
            blockpointer = static_cast<uint8_t**>(p);
            lru = static_cast<LruEntry*>(l);
            std::fill_n(blockpointer, maxBlocks, nullptr);
            return true;
        }
        platform::releaseMemory(c, cacheBytes);
        platform::releaseMemory(m, markBytes);
        platform::releaseMemory(p, pointerBytes);
    }
    cacheBlocks = 0;
    cacheBytes = markBytes = pointerBytes = lruBytes = 0;
    return false;
}

int preloadCache(char* progressText, const int64_t* fileBlockOffset, const int64_t* fileBlockCount) {
    char path[PATH_CAPACITY];
    for (int n = FIRST_SINGLE_FILE_PIECES; n <= LAST_SINGLE_FILE_PIECES; ++n) {
        singleFilePath(path, sizeof path, n, ".cpr");
        FILE* file = std::fopen(path, "rb");
        if (!file) break;
        std::printf("preloading %i-piece db\n", n);
        const int slot = singleFileSlot(n);
        const int full = preloadFile(file, path, fileBlockOffset[slot], fileBlockCount[slot], false, progressText);
        std::fclose(file);
        if (full) return 1;
    }
    if (maxPieces < SPLIT_PIECES) return 0;
    SplitName splits[MAX_SPLITS];
    const int count = enumerateSplits(maxPieces, maxPerSide, splits);
    for (int i = 0; i < count; ++i) {
        const SplitName& s = splits[i];
        std::printf("\npreloading %i%i%i%i db", s.bm, s.bk, s.wm, s.wk);
        splitFilePath(path, sizeof path, s, ".cpr");
        FILE* file = std::fopen(path, "rb");
        if (!file) continue;
        std::printf("\npreloading %i%i%i%i db", s.bm, s.bk, s.wm, s.wk);
        const int slot = splitFileSlot(i);
        const int full = preloadFile(file, path, fileBlockOffset[slot], fileBlockCount[slot], true, progressText);
        std::fclose(file);
        if (full) return 1;
    }
    return 0;
}

void initialiseLru() {
    // Preloaded slots first, lowest first; then the empty ones, so that the
    // highest empty slot is the first to be reused.
    int32_t previous = -1;
    const auto append = [&previous](int32_t s, int32_t block) {
        lru[s] = {block, -1, previous};
        if (previous >= 0)
            lru[previous].next = s;
        else
            newest = s;
        previous = s;
    };
    const auto filled = [](int32_t s) { return s < maxBlocks && blockpointer[s] != nullptr; };
    for (int32_t s = 0; s < cacheBlocks; ++s)
        if (filled(s)) append(s, s);
    for (int32_t s = 0; s < cacheBlocks; ++s)
        if (!filled(s)) append(s, -1);
    oldest = previous;
}

bool cacheHasEmptySlot() { return oldest >= 0 && lru[oldest].blockOf == -1; }

void touchBlock(int32_t s) {
    if (s == newest) return;
    if (s == oldest) {
        oldest = lru[s].prev;
        lru[oldest].next = -1;
    } else {
        lru[lru[s].prev].next = lru[s].next;
        lru[lru[s].next].prev = lru[s].prev;
    }
    linkAsNewest(s);
}

const uint8_t* loadBlock(int32_t g, FILE* file, uint32_t fileBlock) {
    const int32_t s = oldest;
    if (lru[s].blockOf != -1) {
        blockpointer[lru[s].blockOf] = nullptr;
        lru[s].blockOf = -1;
    }
    uint8_t* block = slotAddress(s);
    if (!platform::seekFile(file, static_cast<int64_t>(fileBlock) * BLOCK_SIZE) || !readBlock(file, block))
        return nullptr;
    placeBlock(s);
    blockpointer[g] = block;
    lru[s].blockOf = g;
    oldest = lru[s].prev;
    lru[oldest].next = -1;
    linkAsNewest(s);
    return block;
}

int32_t slotOf(const uint8_t* block) { return static_cast<int32_t>((block - cache) / BLOCK_SIZE); }

const uint32_t* blockMarks(int32_t slot) { return marks + static_cast<size_t>(slot) * MARKS_PER_BLOCK; }

void releaseCache() {
    platform::releaseMemory(cache, cacheBytes);
    platform::releaseMemory(marks, markBytes);
    platform::releaseMemory(blockpointer, pointerBytes);
    platform::releaseMemory(lru, lruBytes);
    cache = nullptr;
    marks = nullptr;
    blockpointer = nullptr;
    lru = nullptr;
    cacheBytes = markBytes = pointerBytes = lruBytes = 0;
    newest = oldest = -1;
}

int32_t lruNewest() { return newest; }
int32_t lruOldest() { return oldest; }
LruEntry lruEntry(int32_t slot) { return lru[slot]; }

}  // namespace tarnvel
