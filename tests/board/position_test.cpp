// The key table and keys computed from scratch.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "board/position.h"

namespace tarnvel {
namespace {

TEST(PositionKey, EmptyBoards) {
    const Position empty{};
    EXPECT_EQ(keyFromScratch(empty, 1), 0u);
    EXPECT_EQ(keyFromScratch(empty, 0), 0x7C26B6D222181002u);
    EXPECT_EQ(SIDE_TO_MOVE_KEY, 0x7C26B6D222181002u);
}

TEST(PositionKey, PublishedRowsOfTheTable) {
    const uint64_t rows[3][4] = {
        {0x60015F27BA684567, 0x0B70634F536C5CFF, 0xD8731843D6CED8BA, 0x97FEB01F757BE146},
        {0x8C159CF2B6E2231B, 0x6B3D34D68FC5255A, 0x483CCB6DC26AC4C9, 0x993486809E0357B7},
        {0xA54EE94CE7F8D1FE, 0xC12F7E96CA7ADD0D, 0x734C5BACE6250D32, 0xB8C617E029B4F56A}};
    const int bits[3] = {0, 1, 31};
    for (int r = 0; r < 3; ++r)
        for (int kind = 0; kind < 4; ++kind) EXPECT_EQ(pieceKey(bits[r], kind), rows[r][kind]);
}

// Repetition detection and the transposition table rely on distinct keys;
// mixed values also have roughly half their bits set.
TEST(PositionKey, TableValuesAreDistinctAndMixed) {
    std::vector<uint64_t> keys(ZobristKeys.begin(), ZobristKeys.end());
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(std::adjacent_find(keys.begin(), keys.end()), keys.end());
    for (uint64_t k : ZobristKeys) {
        EXPECT_GE(std::popcount(k), 16) << std::hex << k;
        EXPECT_LE(std::popcount(k), 48) << std::hex << k;
    }
}

// The key is the XOR of one table entry per piece and the side key: build
// it piece by piece in a different order and compare.
TEST(PositionKey, FromScratchIsTheXorOfItsPieces) {
    std::mt19937 rng(5);
    for (int i = 0; i < 2000; ++i) {
        Position p{};
        uint64_t expected = 0;
        for (int bit = 31; bit >= 0; --bit) {
            const int kind = static_cast<int>(rng() % 6);
            if (kind >= 4) continue;
            Bitboard* boards[4] = {&p.wm, &p.wk, &p.bm, &p.bk};
            *boards[kind] |= bitOf(bit);
            expected ^= ZobristKeys[4 * bit + kind];
        }
        EXPECT_EQ(keyFromScratch(p, 1), expected);
        EXPECT_EQ(keyFromScratch(p, 0), expected ^ ZobristKeys[128]);
    }
}

}  // namespace
}  // namespace tarnvel
