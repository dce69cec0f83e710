// Memory that cannot be had: the table, the database cache, the index
// arrays and the game history. The engine keeps the process alive, says
// what happened where it can, and goes on playing legal moves.
#include "hardening/hardening_support.h"
#include "interface/history.h"
#include "support/board_fixtures.h"

namespace tarnvel::hardening {
namespace {

class AllocationFaults : public HostTest {
protected:
    // Plays `plies` engine moves of a game from the initial arrangement,
    // both sides, checking each against the reference rules.
    void playGame(int plies, int info = 1) {
        reference::Board board = support::initialBoard();
        bool white = false;
        for (int ply = 0; ply < plies; ++ply) {
            HostBoard host = hostBoardOf(board);
            move(host, white, ply == 0 ? info : 0, 2);
            const auto next = legalSuccessor(board, white, host);
            ASSERT_TRUE(next.has_value()) << "ply " << ply;
            board = *next;
            white = !white;
        }
    }
};

TEST_F(AllocationFaults, TableResizeThatFailsKeepsTheOldTable) {
    platform::failNextAllocations(1);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(command("set hashsize 8"), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "out of memory\n");
    EXPECT_EQ(command("get hashsize"), "2");
    ASSERT_NE(ttEntries, nullptr);
    playGame(6);
    EXPECT_EQ(command("set hashsize 4"), "");
    EXPECT_EQ(command("get hashsize"), "4");
}

TEST_F(AllocationFaults, NoMemoryForTheCacheMeansNoDatabaseUntilTheNextSize) {
    writeKnownDatabase(3);
    platform::limitMemoryRequests(0);
    ::testing::internal::CaptureStdout();
    playGame(2);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("no memory for the database cache"), std::string::npos) << out;
    EXPECT_EQ(dbPieceLimit, 0u);
    EXPECT_EQ(command("get dbmbytes"), "0");
    EXPECT_EQ(command("about").find("db/db3.idx"), std::string::npos);

    // With memory back, a new size opens the database on the next move.
    platform::limitMemoryRequests(SIZE_MAX);
    command("set dbmbytes 1");
    ::testing::internal::CaptureStdout();
    playGame(2, 0);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(dbPieceLimit, 4u);
    EXPECT_EQ(command("get dbmbytes"), "1");
}

// Only part of the cache fits: the database opens with fewer blocks.
TEST_F(AllocationFaults, CacheShrinksToWhatFits) {
    writeKnownDatabase(3);
    platform::limitMemoryRequests(100 * 1024);
    ::testing::internal::CaptureStdout();
    playGame(2);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(dbPieceLimit, 4u);
    EXPECT_LE(cacheBlocks, 100);
    EXPECT_GE(cacheBlocks, 50);
    EXPECT_NE(out.find("database cache reduced to"), std::string::npos) << out;
}

TEST_F(AllocationFaults, IndexArrayThatCannotBeAllocatedLeavesItsFileOut) {
    const auto written = writeKnownDatabase(3);
    platform::failNextAllocations(1);  // the first idx array
    char progress[TARNVEL_TEXT_CAPACITY];
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(openDatabase(1, progress), 4);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("malloc error for idx array!\n"), std::string::npos);
    // Every block slice is gone; only single-value slices read before the
    // failure may answer, and only with their value.
    int64_t answered = 0, probed = 0;
    for (const SliceResults& s : written)
        for (uint32_t i = 0; i < s.results.size(); i += 13) {
            DbQuery q;
            if (!positionAtIndex(s.key, i, &q)) continue;
            const int32_t r = probeDatabase(&q, 0);
            ++probed;
            if (r == DB_UNKNOWN) continue;
            ++answered;
            EXPECT_EQ(r, s.results[i]);
        }
    EXPECT_GT(probed, 1000);
    EXPECT_LT(answered, probed / 2);
}

// The history cannot grow: repetitions of the unrecorded positions go
// unseen, nothing else changes.
TEST_F(AllocationFaults, EveryHeapAllocationFailingDuringAGame) {
    writeKnownDatabase(3);
    gameHistory.length = 0;
    const uint32_t capacity = gameHistory.capacity;
    platform::failNextAllocations(1 << 30);
    ::testing::internal::CaptureStdout();
    for (uint32_t i = 0; i < capacity + 40; ++i) historyPush(i);
    EXPECT_EQ(gameHistory.length, capacity);
    playGame(30);
    EXPECT_EQ(command("set hashsize 16"), "");
    EXPECT_EQ(command("get hashsize"), "2");
    ::testing::internal::GetCapturedStdout();
    platform::failNextAllocations(0);
    playGame(4);
}

}  // namespace
}  // namespace tarnvel::hardening
