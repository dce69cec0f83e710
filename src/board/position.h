// The engine's one current position and its Zobrist key.
#pragma once

#include <array>
#include <cstdint>

#include "board/bitboard.h"

namespace tarnvel {

struct Position {
    uint64_t key;
    Bitboard wm, wk, bm, bk;  // white men, white kings, black men, black kings
    uint32_t wcount, bcount;  // pieces per side, men and kings
    uint32_t reversiblePlies;  // plies since the last man move or capture
};

extern Position position;

// Piece kinds, in the order the four bitboards always go together.
enum PieceKind : int { WHITE_MAN = 0, WHITE_KING = 1, BLACK_MAN = 2, BLACK_KING = 3 };

namespace detail {
constexpr uint64_t splitMix64(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}
}  // namespace detail

// 32 groups of four keys (white man, white king, black man, black king) by
// bit index, then the side-to-move key. The fixed rows keep keys identical
// to earlier builds; the rest only need to be well mixed.
constexpr std::array<uint64_t, 129> ZobristKeys = [] {
    std::array<uint64_t, 129> k{};
    uint64_t state = 0x5441524E56454Cull;
    for (auto& v : k) v = detail::splitMix64(state);
    constexpr uint64_t fixed[3][4] = {
        {0x60015F27BA684567, 0x0B70634F536C5CFF, 0xD8731843D6CED8BA, 0x97FEB01F757BE146},
        {0x8C159CF2B6E2231B, 0x6B3D34D68FC5255A, 0x483CCB6DC26AC4C9, 0x993486809E0357B7},
        {0xA54EE94CE7F8D1FE, 0xC12F7E96CA7ADD0D, 0x734C5BACE6250D32, 0xB8C617E029B4F56A}};
    constexpr int fixedBits[3] = {0, 1, 31};
    for (int r = 0; r < 3; ++r)
        for (int kind = 0; kind < 4; ++kind) k[4 * fixedBits[r] + kind] = fixed[r][kind];
    k[128] = 0x7C26B6D222181002;
    return k;
}();

constexpr uint64_t SIDE_TO_MOVE_KEY = ZobristKeys[128];
constexpr uint64_t pieceKey(int bit, int kind) { return ZobristKeys[4 * bit + kind]; }

// Key computed from nothing but the pieces and the side to move.
uint64_t keyFromScratch(const Position& p, int whiteToMove);

}  // namespace tarnvel
