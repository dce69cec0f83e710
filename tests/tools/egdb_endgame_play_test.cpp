// The engine with the 5-piece database, through getmove, turns a won
// 3-against-2 ending into an actual win against itself.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/scratch_dir.h"
#include "board/movegen.h"
#include "board/position.h"
#include "egdb/database.h"
#include "interface/engine_state.h"
#include "interface/hostboard.h"
#include "interface/postext.h"
#include "search/db_probe.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {
namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool SANITIZED = true;  // the 5-piece build takes minutes there
#else
constexpr bool SANITIZED = false;
#endif

TEST(EndgamePlay, WonThreeAgainstTwoIsWonOverTheBoard) {
    if (SANITIZED) GTEST_SKIP() << "5-piece database build is too slow under the sanitizers";
    const fs::path dir = tarnvel::testing::makeScratchDir("endgame");
    ASSERT_FALSE(dir.empty());
    const std::string build = std::string(TARNVEL_BINARY_DIR "/tarnvel-egdb build --pieces 5 --out ") +
                              (dir / "db").string() + " > /dev/null";
    ASSERT_EQ(std::system(build.c_str()), 0);
    const fs::path previous = fs::current_path();
    fs::current_path(dir);

    // The first game opens the database; a throwaway call does that here.
    int side = 0;
    int board[8][8] = {};
    char text[TARNVEL_TEXT_CAPACITY] = "";
    int playNow = 0;
    ASSERT_TRUE(parsePosition("B:WK29,K30:BK1,K2,K3.", &side));
    exportHostBoard(board);
    getmove(board, 2, 0.01, text, &playNow, 1, 0, 0);
    ASSERT_EQ(dbPieceLimit, 5u);

    // Black (three kings, to move) against White's two: find a quiet start
    // the database calls a win.
    std::string start;
    for (int w = 32; w >= 20 && start.empty(); --w) {
        const std::string candidate = "B:WK" + std::to_string(w) + ",K" + std::to_string(w - 1) +
                                      ":BK1,K2,K3.";
        ASSERT_TRUE(parsePosition(candidate.c_str(), &side));
        if (!captureExists() && probeGlobalPosition(0, 0) == DB_WIN) start = candidate;
    }
    ASSERT_FALSE(start.empty()) << "no won start found";

    ASSERT_TRUE(parsePosition(start.c_str(), &side));
    exportHostBoard(board);
    int loser = -1;
    int ply = 0;
    for (; ply < 300 && loser < 0; ++ply) {
        const int color = ply % 2 == 0 ? 2 : 1;  // Black first
        const int result = getmove(board, color, 0.1, text, &playNow, ply == 0 ? 1 : 0, 0, 0);
        if (result == TARNVEL_LOSS) loser = color;
    }
    fs::current_path(previous);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    EXPECT_EQ(loser, 1) << "White, the side the database calls lost, must run out of moves; start "
                        << start;
    std::printf("%s won for Black in %d plies\n", start.c_str(), ply - 1);
}

}  // namespace
}  // namespace tarnvel
