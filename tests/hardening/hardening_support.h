// Shared pieces of the hardening tests: a private working directory (the
// engine looks for its database in "db" under it), an engine put back to
// its just-loaded database state, and the host's view of a move judged by
// the independent reference rules.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/scratch_dir.h"
#include "egdb/database.h"
#include "egdb/limits.h"
#include "egdb/sliceindex.h"
#include "egdb/writer.h"
#include "interface/engine_state.h"
#include "platform/memory.h"
#include "platform/vmem.h"
#include "search/search.h"
#include "search/tt.h"
#include "support/reference_board.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel::hardening {

constexpr int NOT_PLAYABLE_MARK = -5;

struct HostBoard {
    int cell[8][8];
};

inline HostBoard hostBoardOf(const reference::Board& board) {
    static constexpr int CODES[] = {TARNVEL_EMPTY, TARNVEL_WHITE_MAN, TARNVEL_WHITE_KING, TARNVEL_BLACK_MAN,
                                    TARNVEL_BLACK_KING};
    HostBoard host;
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 8; ++r)
            host.cell[c][r] = reference::isPlayable(c, r) ? CODES[board.cell[c][r]] : NOT_PLAYABLE_MARK;
    return host;
}

inline bool sameBoard(const HostBoard& a, const HostBoard& b) {
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 8; ++r)
            if (a.cell[c][r] != b.cell[c][r]) return false;
    return true;
}

// The reference board after the legal move that turns `before` into the
// host's board, or nothing when no legal move does (marks included).
inline std::optional<reference::Board> legalSuccessor(const reference::Board& before, bool whiteToMove,
                                                      const HostBoard& after) {
    for (const reference::Move& m : reference::legalMoves(before, whiteToMove)) {
        const reference::Board next = reference::play(before, m);
        if (sameBoard(hostBoardOf(next), after)) return next;
    }
    return std::nullopt;
}

// Each test runs in its own directory, with the engine's database state
// as after loading (nothing opened yet, 256 MB requested) and a small
// table, and leaves it so again.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = tarnvel::testing::makeScratchDir("harden");
        ASSERT_FALSE(dir.empty());
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        resetEngine();
        ASSERT_TRUE(ttAllocate(2));
    }
    void TearDown() override {
        resetEngine();
        std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::permissions(dir / "db", std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(dir, ignored);
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

    // One engine move at a small fixed depth; the text buffer is checked
    // for termination.
    int move(HostBoard& host, bool white, int info, uint32_t depth = 3) {
        searchDepthLimit = depth;
        text[0] = '\0';
        const int result = getmove(host.cell, white ? 1 : 2, 60.0, text, &playNow, info, 0, 0);
        searchDepthLimit = 0;
        EXPECT_NE(std::memchr(text, '\0', sizeof text), nullptr);
        EXPECT_GE(result, TARNVEL_DRAW);
        EXPECT_LE(result, TARNVEL_UNKNOWN);
        return result;
    }

    std::string command(const std::string& c) {
        char reply[TARNVEL_REPLY_CAPACITY];
        reply[0] = '\0';
        enginecommand(c.c_str(), reply);
        return reply;
    }

    std::filesystem::path dir, previous;
    char text[TARNVEL_TEXT_CAPACITY];
    int playNow = 0;
};

// Deterministic results with runs and mixed stretches, so that a file
// holds several blocks and every kind of code byte.
inline std::vector<uint8_t> knownResults(uint32_t size, uint32_t seed) {
    std::vector<uint8_t> r(size);
    uint32_t state = seed * 2654435761u + 1;
    const auto next = [&state] { return state = state * 1664525u + 1013904223u, state >> 8; };
    for (uint32_t i = 0; i < size;) {
        const bool mixed = next() % 2 == 0;
        const uint32_t length = 1 + next() % (mixed ? 200 : 3000);
        const auto value = static_cast<uint8_t>(1 + next() % 3);
        for (uint32_t j = 0; j < length && i + j < size; ++j)
            r[i + j] = mixed ? static_cast<uint8_t>(1 + next() % 3) : value;
        i += length;
    }
    return r;
}

// Writes a database holding every slice of exactly `pieces` pieces into
// "db" and returns what was written.
inline std::vector<SliceResults> writeKnownDatabase(int pieces) {
    std::filesystem::create_directory("db");
    std::vector<SliceResults> slices;
    uint32_t seed = 1;
    for (const SliceKey& k : canonicalSlices(pieces, 4)) slices.push_back({k, knownResults(sliceSize(k), seed++)});
    const WriteReport report = writeDatabase(slices);
    EXPECT_TRUE(report.ok) << report.error;
    return slices;
}

}  // namespace tarnvel::hardening
