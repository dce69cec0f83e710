#include "egdb/database.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "egdb/cache.h"
#include "egdb/filenames.h"
#include "egdb/indexfile.h"
#include "egdb/limits.h"
#include "egdb/slicetable.h"
#include "egdb/tables.h"
#include "platform/clock.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {

char DatabaseDetails[DATABASE_DETAILS_SIZE];

namespace {

// A cache request in MB becomes blocks in 64-bit arithmetic, clamped to
// what slot numbers and the address space can hold.
int32_t requestedCacheBlocks(int32_t cacheMegabytes) {
    constexpr size_t bytesPerBlock = BLOCK_SIZE + MARKS_PER_BLOCK * sizeof(uint32_t) + sizeof(LruEntry);
    constexpr int64_t ceiling = std::min<int64_t>(INT32_MAX, static_cast<int64_t>(SIZE_MAX / bytesPerBlock));
    const int64_t blocks = std::max<int64_t>(int64_t{cacheMegabytes} * 1024, MIN_REQUESTED_CACHE_BLOCKS);
    return static_cast<int32_t>(std::min(blocks, ceiling));
}

bool fileExists(const char* path) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

// Largest piece count of the files in db: the single files must run
// without a gap from 2; any one 8-piece split counts as 8.
int detectDatabaseSize() {
    char path[PATH_CAPACITY];
    int found = 0;
    for (int n = FIRST_SINGLE_FILE_PIECES; n <= LAST_SINGLE_FILE_PIECES; ++n) {
        singleFilePath(path, sizeof path, n, ".idx");
        if (!fileExists(path)) break;
        found = n;
    }
    const DatabaseLimits full = limitsForPieces(SPLIT_PIECES);
    SplitName splits[MAX_SPLITS];
    const int count = enumerateSplits(full.maxPieces, full.maxPerSide, splits);
    for (int i = 0; i < count; ++i) {
        splitFilePath(path, sizeof path, splits[i], ".cpr");
        if (fileExists(path)) return SPLIT_PIECES;
    }
    return found;
}

void setLimits(int found, int32_t cacheMegabytes) {
    if (found > 0) {
        const DatabaseLimits l = limitsForPieces(found);
        maxPieces = l.maxPieces;
        maxPerSide = l.maxPerSide;
        maxidx = l.maxidx;
        maxBlocks = l.maxBlocks;
    }
    const int32_t fixed = limitsForPieces(maxPieces).cacheBlocks;
    cacheBlocks = fixed ? fixed : requestedCacheBlocks(cacheMegabytes);
}

void writeProgress(char* progressText, const char* format, const char* text) {
    if (progressText) std::snprintf(progressText, TARNVEL_TEXT_CAPACITY, format, text);
}

void appendDetails(const char* path) {
    const size_t used = std::strlen(DatabaseDetails);
    if (used + std::strlen(path) + 2 > sizeof DatabaseDetails) return;
    std::snprintf(DatabaseDetails + used, sizeof DatabaseDetails - used, "%s\n", path);
}

// Where each compressed file's blocks start among the global block numbers
// and how many its index counts (−1: index not read).
int64_t fileBlockOffset[DBFP_SLOTS];
int64_t fileBlockCount[DBFP_SLOTS];

// Where a preload put off goes on: a dbfp slot and a block of its file;
// slot DBFP_SLOTS when nothing is left.
int preloadSlot = DBFP_SLOTS;
int64_t preloadBlock = 0;

void readOneIndex(const char* path, int slot, int64_t* blockOffset, char* progressText) {
    writeProgress(progressText, "parsing %s", path);
    if (fileExists(path)) appendDetails(path);
    // Offsets at or past maxBlocks are all equally unusable; clamping keeps
    // them from wrapping the 32-bit field back into range.
    const auto offset = static_cast<uint32_t>(std::min<int64_t>(*blockOffset, maxBlocks));
    const int32_t blocks = readIndexFile(path, offset, slot);
    fileBlockOffset[slot] = offset;
    fileBlockCount[slot] = blocks;
    if (blocks >= 0) *blockOffset += blocks;
}

void readIndexFiles(char* progressText) {
    char path[PATH_CAPACITY];
    int64_t blockOffset = 0;
    const int lastSingle = std::min(LAST_SINGLE_FILE_PIECES, static_cast<int>(maxPieces));
    for (int n = FIRST_SINGLE_FILE_PIECES; n <= lastSingle; ++n) {
        singleFilePath(path, sizeof path, n, ".idx");
        readOneIndex(path, singleFileSlot(n), &blockOffset, progressText);
    }
    SplitName splits[MAX_SPLITS];
    const int count = enumerateSplits(maxPieces, maxPerSide, splits);
    for (int i = 0; i < count; ++i) {
        splitFilePath(path, sizeof path, splits[i], ".idx");
        readOneIndex(path, splitFileSlot(i), &blockOffset, progressText);
    }
}

void openCompressedFiles() {
    char path[PATH_CAPACITY];
    for (int n = FIRST_SINGLE_FILE_PIECES; n <= LAST_SINGLE_FILE_PIECES; ++n) {
        singleFilePath(path, sizeof path, n, ".cpr");
        dbfp[singleFileSlot(n)] = std::fopen(path, "rb");
    }
    if (maxPieces < SPLIT_PIECES) return;
    SplitName splits[MAX_SPLITS];
    const int count = enumerateSplits(maxPieces, maxPerSide, splits);
    for (int i = 0; i < count; ++i) {
        splitFilePath(path, sizeof path, splits[i], ".cpr");
        dbfp[splitFileSlot(i)] = std::fopen(path, "rb");
        if (!dbfp[splitFileSlot(i)]) std::printf("\n%s: dbfp[%i] is null!", path, splitFileSlot(i));
    }
}

}  // namespace

int32_t openDatabase(int32_t cacheMegabytes, char* progressText, bool preload) {
    // An opening that found nothing is not closed by the caller; its cache
    // and files must not be lost.
    closeDatabase();
    buildLookupTables();
    std::fill_n(fileBlockOffset, DBFP_SLOTS, 0);
    std::fill_n(fileBlockCount, DBFP_SLOTS, -1);

    setLimits(detectDatabaseSize(), cacheMegabytes);
    if (maxPieces >= FIRST_SINGLE_FILE_PIECES) readIndexFiles(progressText);

    const int32_t wanted = cacheBlocks;
    if (!allocateCache()) {
        const char* message = "no memory for the database cache: database not opened";
        std::printf("\n%s", message);
        writeProgress(progressText, "%s", message);
        clearSliceTable();
        DatabaseDetails[0] = '\0';
        return 0;
    }
    if (cacheBlocks != wanted) std::printf("\ndatabase cache reduced to %i blocks", cacheBlocks);
    if (preload) preloadCache(progressText, fileBlockOffset, fileBlockCount);
    initialiseLru();
    openCompressedFiles();
    preloadSlot = preload ? DBFP_SLOTS : 0;
    preloadBlock = 0;
    return maxPieces;
}

// Blocks read between looks at the clock: 64 KB, well under a millisecond.
constexpr int64_t BLOCKS_PER_CLOCK_READ = 64;

bool continuePreload(int64_t deadlineMs) {
    for (int64_t reads = 0; preloadSlot < DBFP_SLOTS;) {
        if (!cacheHasEmptySlot()) {
            preloadSlot = DBFP_SLOTS;
            break;
        }
        const int64_t g = fileBlockOffset[preloadSlot] + preloadBlock;
        if (!dbfp[preloadSlot] || preloadBlock >= fileBlockCount[preloadSlot] || g >= maxBlocks) {
            ++preloadSlot;
            preloadBlock = 0;
            continue;
        }
        if (!blockpointer[g]) {
            if (reads++ % BLOCKS_PER_CLOCK_READ == 0 && platform::monotonicMs() >= deadlineMs) return false;
            loadBlock(static_cast<int32_t>(g), dbfp[preloadSlot], static_cast<uint32_t>(preloadBlock));
        }
        ++preloadBlock;
    }
    return true;
}

int32_t closeDatabase() {
    preloadSlot = DBFP_SLOTS;
    releaseCache();
    closeCompressedFiles();
    clearSliceTable();
    DatabaseDetails[0] = '\0';
    return 1;
}

}  // namespace tarnvel
