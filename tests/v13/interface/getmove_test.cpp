// The move request: the host's board, the history's parity, the time budget.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>

#include "board/position.h"
#include "interface/engine_state.h"
#include "interface/history.h"
#include "interface/hostboard.h"
#include "v13/interface/library_load.h"
#include "v13/search/search.h"
#include "v13/search/tt.h"
#include "support/board_fixtures.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {
namespace {

using reference::Board;

struct HostBoard {
    int cell[8][8];
    explicit HostBoard(const Board& board, int unused = 77) { support::toHostBoard(board, cell, unused); }
    bool operator==(const HostBoard& o) const { return !std::memcmp(cell, o.cell, sizeof cell); }
};

// Export writes only the 32 playable entries; import reads odd values as empty.
TEST(HostBoardConversion, RoundTrip) {
    std::mt19937 rng(17);
    const int odd[] = {INT32_MIN, INT32_MAX, -1, -5, 1, 2, 4, 7, 8, 11, 0x105, 0x10009, 13};
    for (int i = 0; i < 3000; ++i) {
        const Board board = support::randomPlacement(rng, (i % 10) / 9.0, (i % 3) / 2.0);
        support::loadEngine(board, 1);
        const Position original = position;
        const int unused = i % 2 ? 5 + i % 6 : static_cast<int>(rng());
        HostBoard host(Board{}, unused);
        exportHostBoard(host.cell);
        ASSERT_TRUE(host == HostBoard(board, unused)) << i;
        for (auto& column : host.cell)
            for (int& v : column) v = v == 0 ? odd[rng() % 13] : v;
        position = Position{0x1234, ~0u, ~0u, ~0u, ~0u, 99, 99, 42};
        importHostBoard(host.cell);
        ASSERT_EQ((std::array{position.wm, position.wk, position.bm, position.bk, position.wcount, position.bcount}),
                  (std::array{original.wm, original.wk, original.bm, original.bk, original.wcount, original.bcount}));
        ASSERT_EQ(position.key * 100 + position.reversiblePlies, 0x1234u * 100 + 42);
    }
}

class GetMove : public ::testing::Test {
protected:
    char text[TARNVEL_TEXT_CAPACITY] = "";
    int playNow = 0;

    void SetUp() override {
        attachLibrary();
        ASSERT_TRUE(ttAllocate(4));
        searchDepthLimit = 4;
    }
    void TearDown() override { searchDepthLimit = 0; }

    int call(HostBoard& host, int color, int info, double seconds = 60.0) {
        return getmove(host.cell, color, seconds, text, &playNow, info, 0, 0);
    }
};

// A call for the side the history's parity does not expect appends the host's position.
TEST_F(GetMove, HistoryParity) {
    gameHistory.length = 0;
    position = Position{};
    HostBoard host(support::initialBoard());
    call(host, 1, 0);  // White first on an empty history: the zero key, then the root
    ASSERT_EQ(gameHistory.length, 2u);
    EXPECT_EQ(gameHistory.keys[0], 0u);
    call(host, 2, 1);
    for (int i = 1; i < 7; ++i) {  // alternating colours never append
        call(host, i % 2 ? 1 : 2, 0);
        EXPECT_EQ(gameHistory.length, static_cast<uint32_t>(i + 1));
    }
    position = Position{0xABCD, 0, 0, 0, 0, 0, 0, 3};
    historyParityStep(0);  // Black on an odd length: append, one more reversible ply
    ASSERT_EQ(gameHistory.length, 8u);
    EXPECT_EQ(gameHistory.keys[7], 0xABCDu);
    EXPECT_EQ(position.reversiblePlies, 4u);
}

// A new game clears table and history; the budget is 1.1 × the allowance; null pointers are absent.
TEST_F(GetMove, NewGameTimeBudgetAndNullPointers) {
    ttStore(0x1234567890ull, 10, 5, BOUND_EXACT, 0);
    for (uint64_t k : {1, 2, 3}) historyPush(k);
    Board lost;  // Black to move with no piece
    lost.cell[0][6] = reference::WHITE_MAN;
    HostBoard host(lost);
    EXPECT_EQ(call(host, 2, 1), TARNVEL_LOSS);
    EXPECT_EQ(ttProbe(0x1234567890ull), nullptr);
    EXPECT_EQ(gameHistory.length, 0u);
    EXPECT_TRUE(host == HostBoard(lost));
    const std::pair<double, int64_t> cases[] = {
        {0.5, 550}, {0.0009, 0}, {-3.0, 0}, {std::numeric_limits<double>::quiet_NaN(), 0},
        {1e12, INT32_MAX}, {std::numeric_limits<double>::infinity(), INT32_MAX}, {1952257.8, 2147483580}};
    for (const auto& [seconds, budget] : cases) {
        call(host, 2, 0, seconds);
        EXPECT_EQ(timeBudgetMs, budget) << seconds;
    }
    host = HostBoard(support::initialBoard());
    EXPECT_EQ(getmove(host.cell, 2, 60.0, nullptr, nullptr, 1, 0, 0), TARNVEL_UNKNOWN);
    EXPECT_FALSE(host == HostBoard(support::initialBoard()));
    EXPECT_EQ(hostText, nullptr);
    EXPECT_EQ(playNowFlag, nullptr);
}

}  // namespace
}  // namespace tarnvel
