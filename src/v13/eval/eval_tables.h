// Constant tables of the static evaluation.
#pragma once

#include <array>
#include <bit>

#include "board/bitboard.h"

namespace tarnvel {

constexpr int LAZY_MARGIN = 300;
constexpr Bitboard CENTER_MASK = 0x00666600;  // squares 10, 11, 14, 15, 18, 19, 22, 23
constexpr Bitboard EDGE_MASK = 0xF181818F;    // squares 1–5, 12, 13, 20, 21, 28–32
constexpr Bitboard ODD_ROWS = 0xF0F0F0F0;
constexpr Bitboard EVEN_ROWS = 0x0F0F0F0F;

// Back-row guard of White's men, indexed by wm >> 28 (bit 0 = square 32,
// bit 1 = 31, bit 2 = 30, bit 3 = 29). The bridge 30+32 and the full
// 30+31+32 guard are what keeps kings out.
constexpr std::array<int, 16> backRankWhite = {0, 3, 3, 6, 3, 21, 6, 27,
                                               -3, 0, 3, 6, 0, 12, 3, 24};

// Black's guard, indexed by bm & 15 (bit 0 = square 4 … bit 3 = square 1):
// the same values seen through the half-turn, which reverses the four bits.
constexpr std::array<int, 16> backRankBlack = [] {
    std::array<int, 16> t{};
    for (unsigned n = 0; n < 16; ++n) {
        const unsigned mirrored = ((n & 1) << 3) | ((n & 2) << 1) | ((n & 4) >> 1) | ((n & 8) >> 3);
        t[n] = backRankWhite[mirrored];
    }
    return t;
}();

// advanceTable[w][n]: weight w times the men in the 4-bit row group n.
constexpr std::array<std::array<int, 16>, 8> advanceTable = [] {
    std::array<std::array<int, 16>, 8> t{};
    for (int w = 0; w < 8; ++w)
        for (unsigned n = 0; n < 16; ++n) t[w][n] = w * std::popcount(n);
    return t;
}();

}  // namespace tarnvel
