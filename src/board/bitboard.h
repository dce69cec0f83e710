// Bitboards: one bit per playable square, bit i on row i / 4, place i % 4.
#pragma once

#include <bit>
#include <cstdint>

namespace tarnvel {

using Bitboard = uint32_t;

// Rows a man crowns on: White's on row 0, Black's on row 7.
constexpr Bitboard ROW_0 = 0x0000000F;
constexpr Bitboard ROW_7 = 0xF0000000;

// Source squares that have the "other" diagonal neighbour (the one not
// reached by the shift of 4) in each vertical direction.
constexpr Bitboard HAS_UP_3 = 0x0E0E0E0E;    // even rows, places 1–3
constexpr Bitboard HAS_UP_5 = 0x00707070;    // rows 1, 3, 5, places 0–2
constexpr Bitboard HAS_DOWN_3 = 0x70707070;  // odd rows, places 0–2
constexpr Bitboard HAS_DOWN_5 = 0x0E0E0E00;  // rows 2, 4, 6, places 1–3

constexpr Bitboard up4(Bitboard s) { return s << 4; }
constexpr Bitboard upX(Bitboard s) { return ((s & HAS_UP_5) << 5) | ((s & HAS_UP_3) << 3); }
constexpr Bitboard down4(Bitboard s) { return s >> 4; }
constexpr Bitboard downX(Bitboard s) { return ((s & HAS_DOWN_5) >> 5) | ((s & HAS_DOWN_3) >> 3); }

constexpr Bitboard stepUp(Bitboard s) { return up4(s) | upX(s); }
constexpr Bitboard stepDown(Bitboard s) { return down4(s) | downX(s); }

// A straight two-step diagonal is one 4-step and one X-step in either
// order, so these are exact: the pieces of p that can jump over q into e.
constexpr Bitboard jumpersUp(Bitboard p, Bitboard q, Bitboard e) {
    return (downX(down4(e) & q) | down4(downX(e) & q)) & p;
}
constexpr Bitboard jumpersDown(Bitboard p, Bitboard q, Bitboard e) {
    return (upX(up4(e) & q) | up4(upX(e) & q)) & p;
}

// Parallel bit count, inline: for the baseline instruction set the
// compiler turns std::popcount into a library call, which would dominate
// the evaluation.
constexpr int popCount(Bitboard b) {
    b = b - ((b >> 1) & 0x55555555);
    b = (b & 0x33333333) + ((b >> 2) & 0x33333333);
    b = (b + (b >> 4)) & 0x0F0F0F0F;
    return static_cast<int>((b * 0x01010101) >> 24);
}
constexpr int lowestBit(Bitboard b) { return std::countr_zero(b); }
constexpr Bitboard bitOf(int square) { return Bitboard{1} << square; }

}  // namespace tarnvel
