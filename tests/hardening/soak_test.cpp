// A long session as a host would run it: ten thousand moves over many
// games, openings and sparse endings alike, with the settings changed and
// evaluations asked for in between. Every move must be legal, every reply
// terminated, and the resident memory must not creep once warmed up.
#include <unistd.h>

#include <fstream>
#include <random>

#include "hardening/hardening_support.h"
#include "interface/postext.h"
#include "support/board_fixtures.h"

namespace tarnvel::hardening {
namespace {

#if defined(__SANITIZE_ADDRESS__)
#define TARNVEL_SOAK_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARNVEL_SOAK_UNDER_ASAN 1
#endif
#endif

constexpr int SOAK_CALLS = 10000;
#ifdef TARNVEL_SOAK_UNDER_ASAN
// The sanitizer keeps freed memory aside, so resident memory says nothing
// about leaks there (LeakSanitizer checks those at exit).
constexpr bool CHECK_RESIDENT_MEMORY = false;
#else
constexpr bool CHECK_RESIDENT_MEMORY = true;
#endif
constexpr int MAX_PLIES_PER_GAME = 120;
constexpr long ALLOWED_GROWTH_BYTES = 8l << 20;

long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// The board as the engine reads it, for "staticevaluation".
std::string positionTextOf(const reference::Board& board, bool white) {
    const reference::Bitboards b = reference::bitboardsOf(board);
    Position p{};
    p.wm = b.wm;
    p.wk = b.wk;
    p.bm = b.bm;
    p.bk = b.bk;
    return positionText(p, white ? 1 : 0);
}

class Soak : public HostTest {};

TEST_F(Soak, TenThousandMovesWithSettingsChangedInBetween) {
    writeKnownDatabase(3);
    std::mt19937 rng(2024);
    int calls = 0, games = 0, losses = 0, evaluations = 0;
    long warmResident = 0;
    ::testing::internal::CaptureStdout();  // the database's opening messages
    while (calls < SOAK_CALLS) {
        ++games;
        // Openings with a few random plies, or sparse random boards that
        // reach the database and the small-ending tables.
        reference::Board board;
        bool white = rng() % 2;
        if (games % 3) {
            board = support::initialBoard();
            white = false;
            for (int i = static_cast<int>(rng() % 6); i > 0; --i) {
                const auto moves = reference::legalMoves(board, white);
                if (moves.empty()) break;
                board = reference::play(board, moves[rng() % moves.size()]);
                white = !white;
            }
        } else {
            board = support::randomPlacement(rng, 0.05 + 0.01 * (rng() % 20), 0.4);
        }
        // The engine plays one side against random replies, or both sides.
        const bool bothSides = rng() % 2;
        for (int ply = 0; ply < MAX_PLIES_PER_GAME && calls < SOAK_CALLS; ++ply) {
            const auto moves = reference::legalMoves(board, white);
            if (bothSides || ply % 2 == 0) {
                switch (rng() % 40) {
                    case 0: EXPECT_EQ(command("set hashsize " + std::to_string(1 << rng() % 3)), ""); break;
                    case 1:
                        EXPECT_NE(command("set dbmbytes " + std::to_string(rng() % 3)).find("MB EGTB requested"),
                                  std::string::npos);
                        break;
                    case 2: {
                        const std::string reply = command("staticevaluation " + positionTextOf(board, white));
                        EXPECT_EQ(reply.find("cannot parse"), std::string::npos) << reply;
                        EXPECT_FALSE(reply.empty());
                        ++evaluations;
                        break;
                    }
                    default: break;
                }
                HostBoard host = hostBoardOf(board);
                const int info = ply == 0 || rng() % 200 == 0 ? 1 : 0;
                // Mostly a small depth; now and then only the clock ends the search.
                searchDepthLimit = rng() % 40 == 0 ? 0 : 1 + rng() % 6;
                text[0] = '\0';
                const int result = getmove(host.cell, white ? 1 : 2, 0.001 * (1 + rng() % 20), text, &playNow,
                                           info, 0, 0);
                searchDepthLimit = 0;
                ++calls;
                ASSERT_NE(std::memchr(text, '\0', sizeof text), nullptr);
                ASSERT_GE(result, TARNVEL_DRAW);
                ASSERT_LE(result, TARNVEL_UNKNOWN);
                if (moves.empty()) {
                    ASSERT_EQ(result, TARNVEL_LOSS);
                    ASSERT_TRUE(sameBoard(host, hostBoardOf(board)));
                    ++losses;
                    break;
                }
                const auto next = legalSuccessor(board, white, host);
                ASSERT_TRUE(next.has_value()) << "game " << games << " ply " << ply;
                board = *next;
                if (calls == SOAK_CALLS / 10) warmResident = residentBytes();
            } else {
                if (moves.empty()) break;
                board = reference::play(board, moves[rng() % moves.size()]);
            }
            white = !white;
        }
    }
    ::testing::internal::GetCapturedStdout();
    const long endResident = residentBytes();
    RecordProperty("games", games);
    RecordProperty("resident_growth_kb", static_cast<int>((endResident - warmResident) / 1024));
    EXPECT_EQ(calls, SOAK_CALLS);
    EXPECT_GT(games, 50);
    EXPECT_GT(losses, 5);
    EXPECT_GT(evaluations, 50);
    if (CHECK_RESIDENT_MEMORY) {
        EXPECT_LT(endResident - warmResident, ALLOWED_GROWTH_BYTES);
    }
}

}  // namespace
}  // namespace tarnvel::hardening
