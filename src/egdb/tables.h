// Lookup tables of the database probe and of the writer.
#pragma once

#include <array>
#include <cstdint>

namespace tarnvel {

// Bits set in each 16-bit value.
extern std::array<uint8_t, 65536> BitCount16;
// Each 16-bit value with its bit order reversed (bit i to bit 15 − i).
extern std::array<uint32_t, 65536> Reverse16;

// Binomial[n][k] = n choose k (0 when k > n), for n, k in 0 … 32; the
// largest entry, 32 choose 16, fits 32 bits.
constexpr std::array<std::array<uint32_t, 33>, 33> Binomial = [] {
    std::array<std::array<uint32_t, 33>, 33> t{};
    for (int n = 0; n <= 32; ++n) {
        t[n][0] = 1;
        for (int k = 1; k <= n; ++k) t[n][k] = t[n - 1][k - 1] + t[n - 1][k];
    }
    return t;
}();

// Run lengths of the run codes, in code order.
constexpr std::array<uint32_t, 58> SkipTable = {
    5,   6,   7,   8,   9,   10,  11,  12,  13,   14,   15,   16,   17,   18,   19,   20,
    21,  22,  23,  24,  25,  26,  27,  28,  29,   30,   31,   32,   36,   40,   44,   48,
    52,  56,  60,  70,  80,  90,  100, 150, 200,  250,  300,  400,  500,  650,  800,  1000,
    1200, 1400, 1600, 2000, 2400, 3200, 4000, 5000, 7500, 10000};

// Code bytes up to this one hold four results; the ones above are runs.
constexpr uint32_t LAST_QUAD_CODE = 80;
constexpr uint32_t FIRST_RUN_CODE = LAST_QUAD_CODE + 1;
constexpr uint32_t POSITIONS_PER_QUAD = 4;

// Positions a code byte covers, and the result minus 1 of a run code
// (0 win, 1 loss, 2 draw, 3 for code 255).
extern std::array<uint32_t, 256> RunLengthTable;
extern std::array<uint8_t, 256> RunResultTable;

// Fills BitCount16, Reverse16, RunLengthTable and RunResultTable, which
// only the probe reads; openDatabase calls it. Safe to call again.
void buildLookupTables();

inline int bitCount(uint32_t x) { return BitCount16[x & 0xFFFF] + BitCount16[x >> 16]; }

// Square s to square 31 − s.
inline uint32_t reverseBoard(uint32_t x) { return (Reverse16[x & 0xFFFF] << 16) + Reverse16[x >> 16]; }

}  // namespace tarnvel
