// Standard square numbers (1–32, as in position texts) against bit indices.
#pragma once

#include <array>

namespace tarnvel {

// Bit i is row i / 4, place i % 4; its standard number is 4·row + 4 − place.
constexpr std::array<int, 32> squareNumber = [] {
    std::array<int, 32> t{};
    for (int i = 0; i < 32; ++i) t[i] = 4 * (i / 4) + 4 - i % 4;
    return t;
}();

// Inverse of squareNumber; s must be 1…32.
constexpr int bitOfSquareNumber(int s) { return 4 * ((s - 1) / 4) + 3 - (s - 1) % 4; }

constexpr int rowOf(int bit) { return bit / 4; }
// Column on the host's 8×8 array: even rows use the even columns.
constexpr int columnOf(int bit) { return 2 * (bit % 4) + rowOf(bit) % 2; }

}  // namespace tarnvel
