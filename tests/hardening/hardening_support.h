// Shared pieces of the hardening tests: an engine put back to its
// just-loaded state in a scratch directory, and the host's moves judged by
// the independent reference rules.
#pragma once

#include <cstring>
#include <optional>

#include "egdb/egdb_support.h"
#include "egdb/limits.h"
#include "interface/engine_state.h"
#include "platform/memory.h"
#include "search/search.h"
#include "search/tt.h"
#include "support/reference_board.h"

namespace tarnvel::hardening {

struct HostBoard {
    int cell[8][8];
    bool operator==(const HostBoard& o) const { return std::memcmp(cell, o.cell, sizeof cell) == 0; }
};

// Unplayable squares carry a mark the engine must leave alone.
inline HostBoard hostBoardOf(const reference::Board& board) {
    static constexpr int CODES[] = {TARNVEL_EMPTY, TARNVEL_WHITE_MAN, TARNVEL_WHITE_KING, TARNVEL_BLACK_MAN,
                                    TARNVEL_BLACK_KING};
    HostBoard host;
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 8; ++r) host.cell[c][r] = reference::isPlayable(c, r) ? CODES[board.cell[c][r]] : -5;
    return host;
}

// The reference board after the legal move that gives the host's board.
inline std::optional<reference::Board> legalSuccessor(const reference::Board& before, bool whiteToMove,
                                                      const HostBoard& after) {
    for (const reference::Move& m : reference::legalMoves(before, whiteToMove)) {
        const reference::Board next = reference::play(before, m);
        if (hostBoardOf(next) == after) return next;
    }
    return std::nullopt;
}

// The database state as after loading (nothing opened, 256 MB requested)
// and a small table.
class HostTest : public testing::EgdbTest {
protected:
    void SetUp() override {
        EgdbTest::SetUp();
        resetEngine();
        ASSERT_TRUE(ttAllocate(2));
    }
    void TearDown() override {
        resetEngine();
        EgdbTest::TearDown();
    }
    static void resetEngine() {
        closeDatabase();
        requestedDbMegabytes = 256;
        activeDbMegabytes = 0;
        dbPieceLimit = 0;
        maxPieces = maxPerSide = maxidx = maxBlocks = 0;
        searchDepthLimit = 0;
        platform::failNextAllocations(0);
        platform::limitMemoryRequests(SIZE_MAX);
    }

    int move(HostBoard& host, bool white, int info, uint32_t depth, double seconds = 60.0) {
        searchDepthLimit = depth;
        text[0] = '\0';
        const int result = getmove(host.cell, white ? 1 : 2, seconds, text, &playNow, info, 0, 0);
        searchDepthLimit = 0;
        EXPECT_NE(std::memchr(text, '\0', sizeof text), nullptr);
        EXPECT_GE(result, TARNVEL_DRAW);
        EXPECT_LE(result, TARNVEL_UNKNOWN);
        return result;
    }

    // Engine moves for both sides, each legal; a side without moves lost.
    void play(reference::Board board, bool white, int plies, uint32_t depth = 2) {
        for (int ply = 0; ply < plies; ++ply) {
            HostBoard host = hostBoardOf(board);
            const int result = move(host, white, ply == 0, depth);
            if (reference::legalMoves(board, white).empty()) {
                EXPECT_EQ(result, TARNVEL_LOSS);
                return;
            }
            const auto next = legalSuccessor(board, white, host);
            ASSERT_TRUE(next.has_value()) << "ply " << ply;
            board = *next;
            white = !white;
        }
    }

    std::string command(const std::string& c) {
        char reply[TARNVEL_REPLY_CAPACITY] = "";
        enginecommand(c.c_str(), reply);
        return reply;
    }

    int playNow = 0;
};

}  // namespace tarnvel::hardening
