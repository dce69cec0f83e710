// The slices of the open database and the compressed files they live in.
#pragma once

#include <cstdint>
#include <cstdio>

namespace tarnvel {

// A slice: material, leading-man ranks and side to move (0 black, 1 white).
struct SliceKey {
    int nbm, nbk, nwm, nwk;
    int bmrank, wmrank;
    int side;
};

constexpr int MAX_OF_A_KIND = 4;  // men or kings of one colour in a slice
constexpr int RANK_COUNT = 7;     // leading-man ranks 0 … 6

struct SliceRecord {
    uint32_t present;      // 1 when the index file had a record for the slice
    int32_t blockCount;    // entries of idx; 0 for a single-value slice
    uint32_t blockOffset;  // global number of block 0 of the slice's file
    uint32_t firstBlock;   // file block holding the slice's first position
    uint32_t startByte;    // offset of the slice's first code in that block
    uint32_t singleValue;  // 0, or the result of every position (1 … 3)
    uint32_t* idx;         // first position index coded in each block
    int32_t fileSlot;      // dbfp slot of the compressed file
};

extern SliceRecord SliceTable[MAX_OF_A_KIND + 1][MAX_OF_A_KIND + 1][MAX_OF_A_KIND + 1][MAX_OF_A_KIND + 1]
                             [RANK_COUNT][RANK_COUNT][2];

inline SliceRecord& sliceRecord(const SliceKey& k) {
    return SliceTable[k.nbm][k.nbk][k.nwm][k.nwk][k.bmrank][k.wmrank][k.side];
}

// True when every field of k lies inside the table.
bool sliceKeyInTable(const SliceKey& k);

// Releases every idx array and marks every slice absent.
void clearSliceTable();

// Open compressed files: slots 0–5 for 2 … 7 pieces, then the 8-piece
// material splits in enumeration order.
constexpr int DBFP_SLOTS = 50;
extern FILE* dbfp[DBFP_SLOTS];

void closeCompressedFiles();

}  // namespace tarnvel
