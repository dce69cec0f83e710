// The engine put back to its just-loaded state in a scratch directory, and
// the host's moves judged by the independent reference rules.
#pragma once

#include <cstring>
#include <optional>

#include "egdb/egdb_support.h"
#include "egdb/limits.h"
#include "interface/engine_state.h"
#include "platform/memory.h"
#include "v13/search/search.h"
#include "v13/search/tt.h"
#include "support/board_fixtures.h"

namespace tarnvel::hardening {

// Unplayable squares carry a mark the engine must leave alone.
struct HostBoard {
    explicit HostBoard(const reference::Board& board) { support::toHostBoard(board, cell, -5); }
    bool operator==(const HostBoard& o) const { return std::memcmp(cell, o.cell, sizeof cell) == 0; }
    int cell[8][8];
};

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
    // Nothing opened, 256 MB requested, as after loading.
    static void resetEngine() {
        closeDatabase();
        requestedDbMegabytes = 256;
        activeDbMegabytes = dbPieceLimit = searchDepthLimit = 0;
        maxPieces = maxPerSide = maxidx = maxBlocks = 0;
        platform::failNextAllocations(0);
        platform::limitMemoryRequests(SIZE_MAX);
    }

    // One engine move on `board`; the board after it if it was legal, else
    // nullopt (and a failure unless the side had no move and lost).
    std::optional<reference::Board> move(const reference::Board& board, bool white, bool reset, uint32_t depth,
                                         double seconds = 60.0) {
        HostBoard host(board);
        searchDepthLimit = depth;
        text[0] = '\0';
        const int result = getmove(host.cell, white ? 1 : 2, seconds, text, &playNow, reset, 0, 0);
        searchDepthLimit = 0;
        EXPECT_NE(std::memchr(text, '\0', sizeof text), nullptr);
        EXPECT_TRUE(result >= TARNVEL_DRAW && result <= TARNVEL_UNKNOWN) << result;
        if (reference::legalMoves(board, white).empty()) {
            EXPECT_EQ(result, TARNVEL_LOSS);
            EXPECT_EQ(host, HostBoard(board));
            return std::nullopt;
        }
        for (const reference::Move& m : reference::legalMoves(board, white))
            if (HostBoard(reference::play(board, m)) == host) return reference::play(board, m);
        ADD_FAILURE() << "illegal move";
        return std::nullopt;
    }

    std::string command(const std::string& c) {
        char reply[TARNVEL_REPLY_CAPACITY] = "";
        enginecommand(c.c_str(), reply);
        return reply;
    }

    int playNow = 0;
};

}  // namespace tarnvel::hardening
