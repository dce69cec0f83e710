// With a built database the engine wins two kings against one out of the
// double corner, playing both sides through getmove.
#include <gtest/gtest.h>

#include "board/movegen.h"
#include "interface/engine_state.h"
#include "interface/hostboard.h"
#include "interface/postext.h"
#include "search/db_probe.h"
#include "support/built_database.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {
namespace {

TEST(EndgamePlay, WonEndingIsWonOverTheBoard) {
    const std::filesystem::path dir = testing::builtDatabase(4), previous = std::filesystem::current_path();
    ASSERT_FALSE(dir.empty());
    std::filesystem::current_path(dir);
    // A throwaway first move opens the database.
    int side = 0, board[8][8] = {}, playNow = 0;
    char text[TARNVEL_TEXT_CAPACITY] = "";
    ASSERT_TRUE(parsePosition("B:WK29:BK1,K2.", &side));
    exportHostBoard(board);
    getmove(board, 2, 0.01, text, &playNow, 1, 0, 0);
    ASSERT_EQ(dbPieceLimit, 4u);
    ASSERT_TRUE(parsePosition("B:WK32:BK1,K2.", &side));
    ASSERT_TRUE(!captureExists() && probeGlobalPosition(0, 0) == DB_WIN);
    exportHostBoard(board);
    int loser = -1, ply = 0;
    for (; ply < 200 && loser < 0; ++ply) {
        const int color = ply % 2 == 0 ? 2 : 1;  // Black first
        if (getmove(board, color, 0.02, text, &playNow, ply == 0, 0, 0) == TARNVEL_LOSS) loser = color;
    }
    std::filesystem::current_path(previous);
    EXPECT_EQ(loser, 1) << "White, the side the database calls lost, must run out of moves";
}

}  // namespace
}  // namespace tarnvel
