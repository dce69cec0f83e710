// A long session as a host would run it: many games, openings and sparse
// endings alike, with the settings changed and evaluations asked for in
// between. Every move must be legal, every reply terminated, and resident
// memory must not creep once warmed up.
#include <unistd.h>

#include <fstream>
#include <random>

#include "hardening/hardening_support.h"
#include "interface/postext.h"
#include "support/board_fixtures.h"

namespace tarnvel::hardening {
namespace {

constexpr int SOAK_CALLS = 10000;

long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

class Soak : public HostTest {};

TEST_F(Soak, TenThousandMovesWithSettingsChangedInBetween) {
    testing::writeKnownDatabase(3);
    std::mt19937 rng(2024);
    int calls = 0, games = 0, losses = 0, evaluations = 0;
    [[maybe_unused]] long warmResident = 0;
    ::testing::internal::CaptureStdout();  // the database's opening messages
    while (calls < SOAK_CALLS) {
        // Openings after a few random plies, or sparse random boards that
        // reach the database and the small-ending tables.
        reference::Board board = support::initialBoard();
        bool white = false;
        if (++games % 3) {
            for (int i = static_cast<int>(rng() % 6); i > 0 && !reference::legalMoves(board, white).empty(); --i) {
                const auto moves = reference::legalMoves(board, white);
                board = reference::play(board, moves[rng() % moves.size()]);
                white = !white;
            }
        } else {
            board = support::randomPlacement(rng, 0.05 + 0.01 * (rng() % 20), 0.4);
            white = rng() % 2;
        }
        // The engine plays one side against random replies, or both sides.
        const bool bothSides = rng() % 2;
        for (int ply = 0; ply < 120 && calls < SOAK_CALLS; ++ply, white = !white) {
            const auto moves = reference::legalMoves(board, white);
            if (!bothSides && ply % 2) {
                if (moves.empty()) break;
                board = reference::play(board, moves[rng() % moves.size()]);
                continue;
            }
            const unsigned setting = rng() % 40;
            if (setting == 0) {
                EXPECT_EQ(command("set hashsize " + std::to_string(1 << rng() % 3)), "");
            } else if (setting == 1) {
                EXPECT_NE(command("set dbmbytes " + std::to_string(rng() % 3)).find("MB EGTB requested"), std::string::npos);
            } else if (setting == 2) {
                const reference::Bitboards b = reference::bitboardsOf(board);
                const std::string reply = command("staticevaluation " + positionText({0, b.wm, b.wk, b.bm, b.bk, 0, 0, 0}, white));
                EXPECT_EQ(reply.find("cannot parse"), std::string::npos) << reply;
                EXPECT_FALSE(reply.empty());
                ++evaluations;
            }
            HostBoard host = hostBoardOf(board);
            // Mostly a small depth; now and then only the clock ends the search.
            const uint32_t depth = rng() % 40 == 0 ? 0 : 1 + rng() % 6;
            const int result = move(host, white, ply == 0 || rng() % 200 == 0, depth, 0.001 * (1 + rng() % 20));
            ++calls;
            if (moves.empty()) {
                ASSERT_EQ(result, TARNVEL_LOSS);
                ASSERT_EQ(host, hostBoardOf(board));
                ++losses;
                break;
            }
            const auto next = legalSuccessor(board, white, host);
            ASSERT_TRUE(next.has_value()) << "game " << games << " ply " << ply;
            board = *next;
            if (calls == SOAK_CALLS / 10) warmResident = residentBytes();
        }
    }
    ::testing::internal::GetCapturedStdout();
    EXPECT_GT(games, 50);
    EXPECT_GT(losses, 5);
    EXPECT_GT(evaluations, 50);
#ifndef __SANITIZE_ADDRESS__  // the sanitizer keeps freed memory aside
    EXPECT_LT(residentBytes() - warmResident, 8l << 20);
#endif
}

}  // namespace
}  // namespace tarnvel::hardening
