// Memory that cannot be had and database files damaged, missing or not
// files at all: probes answer the truth or unknown, and play goes on.
#include "egdb/cache.h"
#include "hardening/hardening_support.h"
#include "interface/history.h"

namespace tarnvel::hardening {
namespace {

struct ProbeTally { int64_t right = 0, unknown = 0, wrong = 0, other = 0; };

// One position in `stride` of every 3-piece material against what was written.
ProbeTally probeAll(const std::vector<SliceResults>& written, int stride) {
    ProbeTally t;
    int counter = 0;
    for (int black = 1; black <= 2; ++black)
        for (int bk = 0; bk <= black; ++bk)
            for (int wk = 0; wk <= 3 - black; ++wk)
                testing::forEachPosition(black - bk, bk, 3 - black - wk, wk, [&](const DbQuery& q) {
                    if (counter++ % stride) return;
                    const testing::RefLocation loc = testing::referenceLocation(q);
                    const int32_t got = probeDatabase(&q, 0), expected = testing::resultsOf(written, loc.key)[loc.index];
                    ++(got == DB_UNKNOWN ? t.unknown : got < DB_WIN || got > DB_NOLOOK ? t.other : got == expected ? t.right : t.wrong);
                });
    return t;
}

class Faults : public HostTest {
protected:
    // Engine moves for both sides; the first opens the database, whose
    // messages go to `out`. The ending (king and man against a king far
    // apart) is one the database decides.
    void playQuietly(int plies, bool ending = false) {
        std::optional<reference::Board> board = ending ? reference::boardOf({0, 1u << 13, 1u << 8, 1u << 27}) : support::initialBoard();
        ::testing::internal::CaptureStdout();
        for (int ply = 0; ply < plies && board; ++ply) board = move(*board, ending == (ply % 2 == 0), ply == 0, 2);
        out = ::testing::internal::GetCapturedStdout();
    }
};

TEST_F(Faults, AllocationsThatFail) {
    const auto written = testing::writeKnownDatabase(3);
    // A table that cannot grow stays as it was.
    platform::failNextAllocations(1);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(command("set hashsize 8"), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "out of memory\n");
    EXPECT_EQ(command("get hashsize"), "2");
    // With every allocation failing the history stops growing (repetitions
    // of unrecorded positions go unseen), no database opens, and play goes on.
    gameHistory.length = 0;
    const uint32_t capacity = gameHistory.capacity;
    platform::failNextAllocations(1 << 30);
    platform::limitMemoryRequests(0);
    for (uint32_t i = 0; i < capacity + 40; ++i) historyPush(i);
    EXPECT_EQ(gameHistory.length, capacity);
    playQuietly(30);
    EXPECT_NE(out.find("no memory for the database cache"), std::string::npos) << out;
    EXPECT_EQ(dbPieceLimit, 0u);
    EXPECT_EQ(command("get dbmbytes"), "0");
    // Memory for part of the cache: a new size opens it smaller on the next move.
    platform::failNextAllocations(0);
    EXPECT_EQ(command("set hashsize 4"), "");
    EXPECT_EQ(command("get hashsize"), "4");
    platform::limitMemoryRequests(100 * 1024);
    command("set dbmbytes 1");
    playQuietly(2);
    EXPECT_EQ(dbPieceLimit, 4u);
    EXPECT_TRUE(cacheBlocks >= 50 && cacheBlocks <= 100) << cacheBlocks;
    EXPECT_NE(out.find("database cache reduced to"), std::string::npos) << out;
    // An index array that cannot be had leaves its file out: only single
    // values read before it may answer.
    platform::limitMemoryRequests(SIZE_MAX);
    platform::failNextAllocations(1);
    ASSERT_EQ(open(1), 4);
    EXPECT_NE(out.find("malloc error for idx array!\n"), std::string::npos);
    const ProbeTally t = probeAll(written, 13);
    EXPECT_EQ(t.wrong + t.other, 0);
    EXPECT_GT(t.unknown, t.right);
}

// Files cut short, overwritten, garbled or missing, with the whole cache or
// 3 blocks read on demand; then no db, or a file named db.
TEST_F(Faults, DamagedOrMissingFiles) {
    const auto written = testing::writeKnownDatabase(3);
    const std::string index = testing::readText("db/db3.idx"), blocks = testing::readText("db/db3.cpr");
    ASSERT_GE(blocks.size(), 4u * BLOCK_SIZE);
    std::mt19937 rng(5);
    std::string corrupt = blocks, garbage = "BASE1,0,1,1,0,0,b:0/0 ";
    for (int i = 0; i < 600; ++i) corrupt[rng() % corrupt.size()] = static_cast<char>(rng() % 256);
    for (int i = 0; i < 400; ++i) garbage += "0123456789 ,:/BASEbw+-=\nx"[rng() % 25];
    const std::tuple<std::string, std::optional<std::string>, bool> cases[] = {  // index, blocks, true or unknown
        {index, blocks.substr(0, blocks.size() / 2 / BLOCK_SIZE * BLOCK_SIZE), true},
        {index, "", true},
        {index, std::nullopt, true},
        {index.substr(0, index.find('\n', index.size() / 2) + 1), blocks, true},
        {index, corrupt, false},
        {garbage, blocks, false},
    };
    for (const auto& [idx, cpr, trueOrUnknown] : cases)
        for (const size_t memory : {SIZE_MAX, size_t{4096}}) {
            testing::writeText("db/db3.idx", idx);
            std::filesystem::remove("db/db3.cpr");
            if (cpr) testing::writeText("db/db3.cpr", *cpr);
            platform::limitMemoryRequests(memory);
            ASSERT_EQ(open(1), 4);
            const ProbeTally t = probeAll(written, 5);
            EXPECT_TRUE(t.other == 0 && (!trueOrUnknown || (t.wrong == 0 && t.unknown > 0))) << idx.substr(0, 20) << " " << bool(cpr);
            closeDatabase();
        }
    platform::limitMemoryRequests(SIZE_MAX);
    playQuietly(8, true);
    EXPECT_EQ(dbPieceLimit, 4u);
    for (const bool asFile : {false, true}) {
        std::filesystem::remove_all("db");
        if (asFile) testing::writeText("db", "not a directory");
        resetEngine();
        playQuietly(8, true);
        EXPECT_EQ(dbPieceLimit, 0u) << asFile;
        EXPECT_EQ(command("get dbmbytes"), "1");  // the small cache is still set up
    }
}

}  // namespace
}  // namespace tarnvel::hardening
