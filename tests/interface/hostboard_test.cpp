// The host's 8×8 board against the global position.
#include <gtest/gtest.h>

#include <random>

#include "board/position.h"
#include "interface/hostboard.h"
#include "support/board_fixtures.h"

namespace tarnvel {
namespace {

constexpr int32_t SENTINEL = 0x5A5A1234;
constexpr int32_t CODE[5] = {0, 5, 9, 6, 10};  // by reference::Cell

bool playable(int column, int row) { return (column + row) % 2 == 0; }

TEST(HostBoard, CornerSquaresMapAsDocumented) {
    int32_t board[8][8] = {};
    board[6][0] = HOST_WHITE_MAN;  // square 1
    board[1][7] = HOST_BLACK_KING;  // square 32
    importHostBoard(board);
    EXPECT_EQ(position.wm, bitOf(3));
    EXPECT_EQ(position.bk, bitOf(28));
    EXPECT_EQ(position.wk | position.bm, 0u);
    EXPECT_EQ(position.wcount, 1u);
    EXPECT_EQ(position.bcount, 1u);
}

// Export then import gives back the position; export writes exactly the
// 32 playable entries and import leaves key and reversiblePlies alone.
TEST(HostBoard, ExportImportRoundTrip) {
    std::mt19937 rng(17);
    for (int i = 0; i < 3000; ++i) {
        const reference::Board ref = support::randomPlacement(rng, (i % 10) / 9.0, (i % 3) / 2.0);
        support::loadEngine(ref, 1);
        const Position original = position;

        int32_t board[8][8];
        for (auto& column : board)
            for (int32_t& v : column) v = SENTINEL;
        exportHostBoard(board);
        for (int c = 0; c < 8; ++c)
            for (int r = 0; r < 8; ++r)
                ASSERT_EQ(board[c][r], playable(c, r) ? CODE[ref.cell[c][r]] : SENTINEL) << c << "," << r;

        position = Position{0x1234, ~0u, ~0u, ~0u, ~0u, 99, 99, 42};
        importHostBoard(board);
        ASSERT_EQ(position.wm, original.wm);
        ASSERT_EQ(position.wk, original.wk);
        ASSERT_EQ(position.bm, original.bm);
        ASSERT_EQ(position.bk, original.bk);
        ASSERT_EQ(position.wcount, original.wcount);
        ASSERT_EQ(position.bcount, original.bcount);
        ASSERT_EQ(position.key, 0x1234u);
        ASSERT_EQ(position.reversiblePlies, 42u);
    }
}

// Any 32-bit value may sit on any square; only the four piece codes count,
// and the non-playable entries are never read.
TEST(HostBoard, ArbitraryValuesImportAsEmpty) {
    std::mt19937 rng(23);
    const int32_t extremes[] = {INT32_MIN, INT32_MAX, -1, -5, 1, 2, 4, 7, 8, 11, 0x105, 0x10009};
    for (int i = 0; i < 3000; ++i) {
        int32_t board[8][8];
        uint32_t expected[4] = {};
        uint32_t wcount = 0, bcount = 0;
        for (int c = 0; c < 8; ++c)
            for (int r = 0; r < 8; ++r) {
                const uint32_t pick = rng() % 8;
                int32_t v = pick < 4 ? CODE[1 + pick]
                            : pick < 6 ? extremes[rng() % 12]
                                       : static_cast<int32_t>(rng());
                // Non-playable entries get piece codes too: they must be ignored.
                board[c][r] = v;
                if (!playable(c, r)) continue;
                for (int kind = 0; kind < 4; ++kind)
                    if (v == CODE[1 + kind]) {
                        expected[kind] |= Bitboard{1} << reference::bitOf(c, r);
                        (kind < 2 ? wcount : bcount)++;
                    }
            }
        importHostBoard(board);
        ASSERT_EQ(position.wm, expected[0]);
        ASSERT_EQ(position.wk, expected[1]);
        ASSERT_EQ(position.bm, expected[2]);
        ASSERT_EQ(position.bk, expected[3]);
        ASSERT_EQ(position.wcount, wcount);
        ASSERT_EQ(position.bcount, bcount);
    }
}

}  // namespace
}  // namespace tarnvel
