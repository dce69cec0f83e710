// The database limits, which follow from the largest piece count found.
#pragma once

#include <cstdint>

namespace tarnvel {

struct DatabaseLimits {
    int32_t maxPieces;    // largest total piece count covered
    int32_t maxPerSide;   // largest count of one side
    int32_t maxidx;       // entries of the buffer for one record's block list
    int32_t maxBlocks;    // global block numbers the database may use
    int32_t cacheBlocks;  // fixed cache size in blocks, 0: from the request
};

// Limits of a database whose files go up to `pieces` (2 … 8) pieces.
constexpr DatabaseLimits limitsForPieces(int pieces) {
    if (pieces <= 4) return {4, 3, 100, 250, 2000};
    if (pieces == 5) return {5, 3, 500, 2000, 2000};
    if (pieces == 6) return {6, 3, 1000, 42000, 42000};
    if (pieces == 7) return {7, 4, 31000, 400000, 0};
    return {8, 4, 44000, 4600000, 0};
}

// The smallest cache a 7- or 8-piece database gets, in blocks.
constexpr int32_t MIN_REQUESTED_CACHE_BLOCKS = 65536;

// Current limits, set by openDatabase; all 0 until the first opening.
extern int32_t maxPieces;
extern int32_t maxPerSide;
extern int32_t maxidx;
extern int32_t maxBlocks;

}  // namespace tarnvel
