#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "board/position.h"
#include "interface/engine_state.h"
#include "interface/history.h"
#include "platform/library_load.h"
#include "search/search.h"
#include "search/tt.h"
#include "support/board_fixtures.h"
#include "support/reference_board.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {
namespace {

using reference::Board;

constexpr int NOT_PLAYABLE_MARK = 77;

// The host's board for a reference board; the unused squares carry a mark
// the engine must leave alone.
struct HostBoard {
    int cell[8][8];
};

HostBoard hostBoardOf(const Board& board) {
    static constexpr int CODES[] = {0, TARNVEL_WHITE_MAN, TARNVEL_WHITE_KING, TARNVEL_BLACK_MAN,
                                    TARNVEL_BLACK_KING};
    HostBoard host;
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 8; ++r)
            host.cell[c][r] = reference::isPlayable(c, r) ? CODES[board.cell[c][r]] : NOT_PLAYABLE_MARK;
    return host;
}

bool sameBoard(const HostBoard& a, const HostBoard& b) {
    return !std::memcmp(a.cell, b.cell, sizeof a.cell);
}

class GetMove : public ::testing::Test {
protected:
    char text[TARNVEL_TEXT_CAPACITY] = "";
    int playNow = 0;

    void SetUp() override {
        platform::attachLibrary();
        ASSERT_TRUE(ttAllocate(4));
        searchDepthLimit = 4;
    }
    void TearDown() override { searchDepthLimit = 0; }

    int call(HostBoard& host, int color, int info, double seconds = 60.0) {
        return getmove(host.cell, color, seconds, text, &playNow, info, 0, 0);
    }
};

// The engine plays both sides of random-ish games: every board it hands
// back is the outcome of one of the reference's legal moves, marks intact.
TEST_F(GetMove, EveryMovePlayedIsLegal) {
    std::mt19937 rng(11);
    for (int game = 0; game < 4; ++game) {
        Board board = support::initialBoard();
        bool white = false;
        // A few random plies first so that the games differ.
        for (int i = 0; i < 2 * game; ++i) {
            const auto moves = reference::legalMoves(board, white);
            board = reference::play(board, moves[rng() % moves.size()]);
            white = !white;
        }
        for (int ply = 0; ply < 60; ++ply) {
            const std::vector<reference::Move> moves = reference::legalMoves(board, white);
            HostBoard host = hostBoardOf(board);
            const int result = call(host, white ? 1 : 2, ply == 0 ? 1 : 0);
            if (moves.empty()) {
                EXPECT_EQ(result, TARNVEL_LOSS);
                EXPECT_TRUE(sameBoard(host, hostBoardOf(board)));
                break;
            }
            bool legal = false;
            for (const reference::Move& m : moves) {
                const Board after = reference::play(board, m);
                if (sameBoard(host, hostBoardOf(after))) {
                    legal = true;
                    board = after;
                    break;
                }
            }
            ASSERT_TRUE(legal) << "game " << game << " ply " << ply;
            white = !white;
        }
    }
}

TEST_F(GetMove, FirstCallWithWhiteRecordsTheZeroKey) {
    gameHistory.length = 0;
    position = Position{};
    HostBoard host = hostBoardOf(support::initialBoard());
    call(host, 1, 0);
    ASSERT_EQ(gameHistory.length, 2u);
    EXPECT_EQ(gameHistory.keys[0], 0u);
    EXPECT_NE(gameHistory.keys[1], 0u);  // the root, pushed by the engine's move
}

TEST_F(GetMove, TwoBlackCallsRecordTheEnginesPosition) {
    HostBoard host = hostBoardOf(support::initialBoard());
    call(host, 2, 1);
    EXPECT_EQ(gameHistory.length, 1u);
    const uint64_t afterEngine = position.key;
    // The opponent (White) answers on the host's board.
    Board board;
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 8; ++r) {
            const int v = host.cell[c][r];
            board.cell[c][r] = v == TARNVEL_WHITE_MAN ? reference::WHITE_MAN
                               : v == TARNVEL_BLACK_MAN ? reference::BLACK_MAN
                                                        : reference::EMPTY;
        }
    board = reference::play(board, reference::legalMoves(board, true).front());
    host = hostBoardOf(board);
    call(host, 2, 0);
    ASSERT_EQ(gameHistory.length, 3u);
    EXPECT_EQ(gameHistory.keys[1], afterEngine);
}

TEST_F(GetMove, AlternatingColoursNeverAppend) {
    HostBoard host = hostBoardOf(support::initialBoard());
    for (int i = 0; i < 6; ++i) {
        call(host, i % 2 ? 1 : 2, i == 0 ? 1 : 0);
        EXPECT_EQ(gameHistory.length, static_cast<uint32_t>(i + 1));
    }
}

// A reset clears the table and the history even when nothing is searched.
TEST_F(GetMove, ResetClearsTableAndHistory) {
    ttStore(0x1234567890ull, 10, 5, BOUND_EXACT, 0);
    historyPush(1);
    historyPush(2);
    historyPush(3);
    Board lost;  // Black to move with no piece
    lost.cell[0][6] = reference::WHITE_MAN;
    HostBoard host = hostBoardOf(lost);
    EXPECT_EQ(call(host, 2, 1), TARNVEL_LOSS);
    EXPECT_EQ(ttProbe(0x1234567890ull), nullptr);
    EXPECT_EQ(gameHistory.length, 0u);
    EXPECT_TRUE(sameBoard(host, hostBoardOf(lost)));
}

TEST_F(GetMove, BudgetIsElevenTenthsOfTheAllowanceClampedTo32Bits) {
    Board lost;
    lost.cell[0][6] = reference::WHITE_MAN;
    HostBoard host = hostBoardOf(lost);
    const std::pair<double, int64_t> cases[] = {
        {0.5, 550},
        {0.0009, 0},
        {-3.0, 0},
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {1e12, INT32_MAX},
        {std::numeric_limits<double>::infinity(), INT32_MAX},
        {1952257.8, 2147483580},
    };
    for (const auto& [seconds, budget] : cases) {
        call(host, 2, 0, seconds);
        EXPECT_EQ(timeBudgetMs, budget) << seconds;
    }
}

TEST_F(GetMove, UnknownCodesReadAsEmptyAndMarksStay) {
    Board board;
    board.cell[2][4] = reference::WHITE_KING;
    board.cell[5][1] = reference::BLACK_MAN;
    HostBoard host = hostBoardOf(board);
    host.cell[4][4] = 13;  // not a piece code: an empty square
    call(host, 1, 1);
    int pieces = 0;
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 8; ++r) {
            if (!reference::isPlayable(c, r)) EXPECT_EQ(host.cell[c][r], NOT_PLAYABLE_MARK);
            else pieces += host.cell[c][r] != 0;
        }
    EXPECT_EQ(pieces, 2);
    EXPECT_NE(host.cell[4][4], 13);
}

TEST_F(GetMove, NullTextAndPlayNowAreAbsent) {
    HostBoard host = hostBoardOf(support::initialBoard());
    EXPECT_EQ(getmove(host.cell, 2, 60.0, nullptr, nullptr, 1, 0, 0), TARNVEL_UNKNOWN);
    EXPECT_FALSE(sameBoard(host, hostBoardOf(support::initialBoard())));
    EXPECT_EQ(hostText, nullptr);
    EXPECT_EQ(playNowFlag, nullptr);
}

}  // namespace
}  // namespace tarnvel
