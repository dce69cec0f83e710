// Memory that cannot be had and database files that are damaged, missing
// or not files at all: the engine keeps the process alive, answers every
// probe with the true result or unknown, and goes on playing legal moves.
#include <fstream>
#include <map>
#include <tuple>

#include "egdb/cache.h"
#include "hardening/hardening_support.h"
#include "interface/history.h"
#include "support/board_fixtures.h"

namespace tarnvel::hardening {
namespace {

using testing::readText;
using testing::writeText;

struct ProbeTally {
    int64_t right = 0, unknown = 0, wrong = 0, other = 0;
};

// Probes one position in `stride` of every 3-piece material against what
// was written.
ProbeTally probeAll(const std::vector<SliceResults>& written, int stride) {
    const auto key = [](const SliceKey& k) { return std::tuple(k.nbk, k.nbm, k.nwk, k.nwm, k.bmrank, k.wmrank, k.side); };
    std::map<decltype(key(SliceKey{})), const std::vector<uint8_t>*> byKey;
    for (const SliceResults& s : written) byKey[key(s.key)] = &s.results;
    ProbeTally t;
    int counter = 0;
    for (int black = 1; black <= 2; ++black)
        for (int bk = 0; bk <= black; ++bk)
            for (int wk = 0; wk <= 3 - black; ++wk)
                testing::forEachPosition(black - bk, bk, 3 - black - wk, wk, [&](const DbQuery& q) {
                    if (counter++ % stride) return;
                    const testing::RefLocation loc = testing::referenceLocation(q);
                    const uint8_t expected = (*byKey.at(key(loc.key)))[loc.index];
                    const int32_t got = probeDatabase(&q, 0);
                    if (got == DB_UNKNOWN) ++t.unknown;
                    else if (got < DB_WIN || got > DB_NOLOOK) ++t.other;
                    else if (got == expected) ++t.right;
                    else ++t.wrong;
                });
    return t;
}

// King and man against a king, far apart: the database decides it.
reference::Board threePieceEnding() {
    reference::Board b;
    b.cell[3][3] = reference::WHITE_KING;
    b.cell[6][6] = reference::BLACK_KING;
    b.cell[0][2] = reference::BLACK_MAN;
    return b;
}

class Faults : public HostTest {
protected:
    int32_t open() {
        char progress[TARNVEL_TEXT_CAPACITY];
        ::testing::internal::CaptureStdout();
        const int32_t limit = openDatabase(1, progress);
        out = ::testing::internal::GetCapturedStdout();
        return limit;
    }
    // The game's first move opens the database; its messages go to `out`.
    void playQuietly(const reference::Board& board, bool white, int plies) {
        ::testing::internal::CaptureStdout();
        play(board, white, plies);
        out = ::testing::internal::GetCapturedStdout();
    }
    std::string out;
};

TEST_F(Faults, TableAndHistoryThatCannotGrow) {
    testing::writeKnownDatabase(3);
    platform::failNextAllocations(1);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(command("set hashsize 8"), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "out of memory\n");
    EXPECT_EQ(command("get hashsize"), "2");  // the old table stays
    ASSERT_NE(ttEntries, nullptr);
    // With every allocation failing the history stops growing (repetitions
    // of unrecorded positions go unseen) and play goes on.
    gameHistory.length = 0;
    const uint32_t capacity = gameHistory.capacity;
    platform::failNextAllocations(1 << 30);
    for (uint32_t i = 0; i < capacity + 40; ++i) historyPush(i);
    EXPECT_EQ(gameHistory.length, capacity);
    playQuietly(support::initialBoard(), false, 30);
    EXPECT_EQ(command("set hashsize 16"), "");
    EXPECT_EQ(command("get hashsize"), "2");
    platform::failNextAllocations(0);
    EXPECT_EQ(command("set hashsize 4"), "");
    EXPECT_EQ(command("get hashsize"), "4");
    playQuietly(support::initialBoard(), false, 4);
}

TEST_F(Faults, DatabaseCacheGetsWhatMemoryThereIs) {
    testing::writeKnownDatabase(3);
    platform::limitMemoryRequests(0);
    playQuietly(support::initialBoard(), false, 2);
    EXPECT_NE(out.find("no memory for the database cache"), std::string::npos) << out;
    EXPECT_EQ(dbPieceLimit, 0u);
    EXPECT_EQ(command("get dbmbytes"), "0");
    EXPECT_EQ(command("about").find("db/db3.idx"), std::string::npos);
    // Memory for part of the cache: a new size opens it smaller on the
    // next move.
    platform::limitMemoryRequests(100 * 1024);
    command("set dbmbytes 1");
    playQuietly(support::initialBoard(), false, 2);
    EXPECT_EQ(dbPieceLimit, 4u);
    EXPECT_LE(cacheBlocks, 100);
    EXPECT_GE(cacheBlocks, 50);
    EXPECT_NE(out.find("database cache reduced to"), std::string::npos) << out;
}

// Only single-value slices read before the failure may answer, and only
// with their value.
TEST_F(Faults, IndexArrayThatCannotBeAllocatedLeavesItsFileOut) {
    const auto written = testing::writeKnownDatabase(3);
    platform::failNextAllocations(1);  // the first idx array
    ASSERT_EQ(open(), 4);
    EXPECT_NE(out.find("malloc error for idx array!\n"), std::string::npos);
    const ProbeTally t = probeAll(written, 13);
    EXPECT_EQ(t.wrong + t.other, 0);
    EXPECT_GT(t.unknown, t.right);
}

TEST_F(Faults, NoDatabaseDirectoryOrAFileNamedDb) {
    for (const bool asFile : {false, true}) {
        if (asFile) writeText("db", "not a directory");
        resetEngine();
        playQuietly(threePieceEnding(), true, 8);
        EXPECT_EQ(dbPieceLimit, 0u) << asFile;
        EXPECT_EQ(command("get dbmbytes"), "1");  // the small cache is still set up
        EXPECT_NE(command("about").find("Database Details:\n"), std::string::npos);
    }
}

// Files cut short (also inside a block or a head), overwritten, garbled or
// missing, with the whole cache or 3 blocks read on demand.
TEST_F(Faults, DamagedFilesAnswerTrulyOrUnknown) {
    const auto written = testing::writeKnownDatabase(3);
    const std::string index = readText("db/db3.idx"), blocks = readText("db/db3.cpr");
    ASSERT_GE(blocks.size(), 4u * BLOCK_SIZE);
    std::mt19937 rng(5);
    std::string corrupt = blocks, garbage = "BASE1,0,1,1,0,0,b:0/0 ";
    for (int i = 0; i < 600; ++i) corrupt[rng() % corrupt.size()] = static_cast<char>(rng() % 256);
    for (int i = 0; i < 400; ++i) garbage += "0123456789 ,:/BASEbw+-=\nx"[rng() % 25];
    const struct {
        std::string index;
        std::optional<std::string> blocks;  // none: no compressed file
        bool trueOrUnknown;  // else only result codes
    } cases[] = {
        {index, blocks.substr(0, blocks.size() / 2 + 100), true},
        {index, blocks.substr(0, BLOCK_SIZE - 1), true},
        {index, "", true},
        {index, std::nullopt, true},
        {index.substr(0, 3), blocks, true},
        {index.substr(0, index.find(' ', 40) + 1), blocks, true},
        {index.substr(0, index.find('\n', index.size() / 2) + 1), blocks, true},
        {index, corrupt, false},
        {garbage, blocks, false},
    };
    for (const auto& c : cases)
        for (const size_t memory : {SIZE_MAX, size_t{4096}}) {
            const std::string what = c.index.substr(0, 20) + " " + std::to_string(c.blocks ? c.blocks->size() : 0);
            writeText("db/db3.idx", c.index);
            std::filesystem::remove("db/db3.cpr");
            if (c.blocks) writeText("db/db3.cpr", *c.blocks);
            platform::limitMemoryRequests(memory);
            ASSERT_EQ(open(), 4);
            const ProbeTally t = probeAll(written, 5);
            EXPECT_EQ(t.other, 0) << what;
            if (c.trueOrUnknown) {
                EXPECT_EQ(t.wrong, 0) << what;
                EXPECT_GT(t.unknown, 0) << what;
            }
            closeDatabase();
        }
    // Overflows are logged in their documented form.
    std::ifstream log("dberr.txt");
    for (std::string line; std::getline(log, line);) {
        unsigned v[7];
        EXPECT_EQ(std::sscanf(line.c_str(), "db index overflow in bm %u bk %u wm %u wk %u bmrank %u wmrank %u index %u",
                              &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]),
                  7)
            << line;
    }
    platform::limitMemoryRequests(SIZE_MAX);
    playQuietly(threePieceEnding(), true, 8);
    EXPECT_EQ(dbPieceLimit, 4u);
}

}  // namespace
}  // namespace tarnvel::hardening
