#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/library_load.h"
#include "search/tt.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {
namespace {

// The initial arrangement on the host's [column][row] board: black men on
// rows 0–2, white men on rows 5–7.
void initialBoard(int board[8][8]) {
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 8; ++r)
            board[c][r] = (c + r) % 2 ? 0 : r <= 2 ? TARNVEL_BLACK_MAN : r >= 5 ? TARNVEL_WHITE_MAN : 0;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class SearchInterrupt : public ::testing::Test {
protected:
    void SetUp() override {
        platform::attachLibrary();
        ASSERT_TRUE(ttAllocate(16));
    }
};

// Hang checks only: the bounds are far above the budgets.
TEST_F(SearchInterrupt, TimeBudgetEndsTheSearch) {
    int board[8][8];
    initialBoard(board);
    char text[TARNVEL_TEXT_CAPACITY] = "";
    int playNow = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(getmove(board, 2, 0.2, text, &playNow, 1, 0, 0), TARNVEL_UNKNOWN);
    EXPECT_LT(secondsSince(start), 2.0);
    EXPECT_EQ(std::strncmp(text, "Tarnvel v1.3 => value=", 22), 0) << text;
}

TEST_F(SearchInterrupt, PlayNowFromAnotherThreadEndsTheSearch) {
    int board[8][8];
    initialBoard(board);
    int before[8][8];
    std::memcpy(before, board, sizeof board);
    char text[TARNVEL_TEXT_CAPACITY] = "";
    int playNow = 0;
    std::atomic<bool> done{false};
    std::thread host([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        // The engine reads the word with a plain load, as a host writes it.
        reinterpret_cast<volatile int&>(playNow) = 1;
        done = true;
    });
    const auto start = std::chrono::steady_clock::now();
    const int result = getmove(board, 2, 3600.0, text, &playNow, 1, 0, 0);
    const double seconds = secondsSince(start);
    host.join();
    EXPECT_TRUE(done);
    EXPECT_LT(seconds, 60.0);
    EXPECT_EQ(result, TARNVEL_UNKNOWN);
    // Black moved one man one step forward: one square emptied on rows 0–2,
    // one filled on row 3.
    int changed = 0;
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 8; ++r) changed += board[c][r] != before[c][r];
    EXPECT_EQ(changed, 2);
}

}  // namespace
}  // namespace tarnvel
