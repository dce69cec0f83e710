// A long session as a host would run it: openings and sparse endings alike,
// with the settings changed in between; every move legal, every reply terminated.
#include <random>

#include "hardening/hardening_support.h"

namespace tarnvel::hardening {
namespace {

constexpr int SOAK_CALLS = 10000;

class Soak : public HostTest {};

TEST_F(Soak, TenThousandMovesWithSettingsChangedInBetween) {
    testing::writeKnownDatabase(3);
    std::mt19937 rng(2024);
    int calls = 0, games = 0, losses = 0;
    ::testing::internal::CaptureStdout();  // the database's opening messages
    while (calls < SOAK_CALLS) {
        // Openings after a few random plies, or sparse boards that reach the
        // database and the small-ending tables.
        std::optional<reference::Board> board = support::initialBoard();
        bool white = false;
        if (++games % 3) {
            for (int i = static_cast<int>(rng() % 6); i > 0; --i, white = !white) {
                const auto moves = reference::legalMoves(*board, white);
                board = reference::play(*board, moves[rng() % moves.size()]);
            }
        } else {
            board = support::randomPlacement(rng, 0.05 + 0.01 * (rng() % 20), 0.4);
            white = rng() % 2;
        }
        for (int ply = 0; ply < 120 && calls < SOAK_CALLS && board; ++ply, white = !white) {
            const unsigned setting = rng() % 40;
            EXPECT_TRUE(setting != 0 || command("set hashsize " + std::to_string(1 << rng() % 3)).empty());
            EXPECT_TRUE(setting != 1 || command("set dbmbytes " + std::to_string(rng() % 3)).find("MB EGTB requested") != std::string::npos);
            losses += reference::legalMoves(*board, white).empty();
            // Mostly a small depth; now and then only the clock ends the search.
            const uint32_t depth = rng() % 40 == 0 ? 0 : 1 + rng() % 6;
            board = move(*board, white, ply == 0 || rng() % 200 == 0, depth, 0.001 * (1 + rng() % 20));
            ++calls;
            ASSERT_FALSE(HasFailure()) << "game " << games << " ply " << ply;
        }
    }
    ::testing::internal::GetCapturedStdout();
    EXPECT_GT(games, 50);
    EXPECT_GT(losses, 5);
}

}  // namespace
}  // namespace tarnvel::hardening
