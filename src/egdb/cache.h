// The block cache: database blocks held in memory with least-recently-used
// replacement, found through the blockpointer array.
#pragma once

#include <cstdint>
#include <cstdio>

namespace tarnvel {

constexpr int BLOCK_SIZE = 1024;
// The LRU list moves a slot to the front of another one, so it needs two;
// when not even these can be had the database stays closed.
constexpr int32_t MIN_CACHE_BLOCKS = 2;

// One per cache slot. Layout (12 bytes): blockOf, next, prev, each a signed
// 32-bit slot or block number, −1 for none.
struct LruEntry {
    int32_t blockOf;  // global block held by the slot
    int32_t next;     // slot used next less recently
    int32_t prev;     // slot used next more recently
};
static_assert(sizeof(LruEntry) == 12);

// Running totals of a cached block, so that a probe walks at most
// MARK_SPACING code bytes: mark k is the number of positions coded by the
// block's bytes before byte k · MARK_SPACING. They cost the cache an eighth
// more memory and buy a third off the time of a probe that hits it.
constexpr int MARK_SPACING = 32;
constexpr int MARKS_PER_BLOCK = BLOCK_SIZE / MARK_SPACING;
static_assert(MARKS_PER_BLOCK * sizeof(uint32_t) == BLOCK_SIZE / 8);

// Global block g → its cached copy, or null.
extern uint8_t** blockpointer;

// Allocates cache, marks, blockpointer and LRU list for the current
// maxBlocks and cacheBlocks, halving cacheBlocks while the memory cannot be had. False
// when not even MIN_CACHE_BLOCKS fit (nothing is then held).
bool allocateCache();

// Fills the cache from the start of the compressed files. The blocks of
// the file in dbfp slot f are the global blocks fileBlockOffset[f] …
// fileBlockOffset[f] + fileBlockCount[f] − 1; a file whose index could not
// be read has count −1 and is skipped. Returns 1 when the cache was filled.
int preloadCache(char* progressText, const int64_t* fileBlockOffset, const int64_t* fileBlockCount);

// Links every slot: the preloaded ones as most recently used, lowest slot
// first, then the empty ones, highest reused first.
void initialiseLru();

// True while some slot holds no block (such slots are the least recently
// used).
bool cacheHasEmptySlot();

// A hit: the slot becomes the most recently used.
void touchBlock(int32_t slot);

// A miss: reads block `fileBlock` of `file` into the least recently used
// slot as global block g (the final partial block of a file is padded
// with zeros). Null when nothing of the block can be read; the slot is
// then left empty and next in line for reuse.
const uint8_t* loadBlock(int32_t g, FILE* file, uint32_t fileBlock);

// Slot of a cached block.
int32_t slotOf(const uint8_t* block);

// The MARKS_PER_BLOCK running totals of the block in a slot.
const uint32_t* blockMarks(int32_t slot);

// Gives back the memory.
void releaseCache();

// For tests: the LRU list.
int32_t lruNewest();
int32_t lruOldest();
LruEntry lruEntry(int32_t slot);

}  // namespace tarnvel
