// Damaged, missing and unreachable database files: the engine opens what
// it can, answers every probe with a result code that is either the true
// one or unknown, and goes on playing legal moves.
#include <sys/stat.h>

#include <fstream>
#include <map>
#include <random>
#include <tuple>

#include "egdb/cache.h"
#include "egdb/egdb_support.h"
#include "hardening/hardening_support.h"

namespace tarnvel::hardening {
namespace {

using testing::forEachPosition;
using testing::referenceLocation;

auto keyTuple(const SliceKey& k) { return std::tuple(k.nbm, k.nbk, k.nwm, k.nwk, k.bmrank, k.wmrank, k.side); }

struct ProbeTally {
    int64_t right = 0, unknown = 0, wrong = 0, other = 0;
};

// Probes one position in `stride` of every 3-piece material against what
// was written.
ProbeTally probeAll(const std::vector<SliceResults>& written, int stride) {
    std::map<decltype(keyTuple(SliceKey{})), const std::vector<uint8_t>*> byKey;
    for (const SliceResults& s : written) byKey[keyTuple(s.key)] = &s.results;
    ProbeTally t;
    int counter = 0;
    for (int black = 1; black <= 2; ++black)
        for (int bk = 0; bk <= black; ++bk)
            for (int wk = 0; wk <= 3 - black; ++wk)
                forEachPosition(black - bk, bk, 3 - black - wk, wk, [&](const DbQuery& q) {
                    if (counter++ % stride) return;
                    const testing::RefLocation loc = referenceLocation(q);
                    const auto found = byKey.find(keyTuple(loc.key));
                    ASSERT_NE(found, byKey.end());
                    const uint8_t expected = (*found->second)[loc.index];
                    const int32_t got = probeDatabase(&q, 0);
                    if (got == DB_UNKNOWN) ++t.unknown;
                    else if (got < DB_WIN || got > DB_NOLOOK) ++t.other;
                    else if (expected == RESULT_ANY || got == expected) ++t.right;
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

class DatabaseFaults : public HostTest {
protected:
    int32_t open() {
        char progress[TARNVEL_TEXT_CAPACITY];
        ::testing::internal::CaptureStdout();
        const int32_t limit = openDatabase(1, progress);
        stdoutText = ::testing::internal::GetCapturedStdout();
        return limit;
    }

    // A few engine moves from the ending, each legal.
    void playEnding() {
        reference::Board board = threePieceEnding();
        bool white = true;
        ::testing::internal::CaptureStdout();
        for (int ply = 0; ply < 8; ++ply) {
            HostBoard host = hostBoardOf(board);
            const int result = move(host, white, ply == 0 ? 1 : 0);
            if (reference::legalMoves(board, white).empty()) {
                EXPECT_EQ(result, TARNVEL_LOSS);
                break;
            }
            const auto next = legalSuccessor(board, white, host);
            ASSERT_TRUE(next.has_value()) << "ply " << ply;
            board = *next;
            white = !white;
        }
        stdoutText = ::testing::internal::GetCapturedStdout();
    }

    std::string stdoutText;
};

void truncateFile(const char* path, std::uintmax_t size) { std::filesystem::resize_file(path, size); }

TEST_F(DatabaseFaults, NoDatabaseDirectoryOrAFileNamedDb) {
    for (const bool asFile : {false, true}) {
        if (asFile) std::ofstream("db") << "not a directory";
        resetEngine();
        playEnding();
        EXPECT_EQ(dbPieceLimit, 0u) << asFile;
        EXPECT_EQ(command("get dbmbytes"), "1");  // the small cache is still set up
        EXPECT_NE(command("about").find("Database Details:\n"), std::string::npos);
    }
}

TEST_F(DatabaseFaults, ValidDatabaseAnswersExactly) {
    const auto written = writeKnownDatabase(3);
    ASSERT_EQ(open(), 4);
    const ProbeTally t = probeAll(written, 5);
    EXPECT_EQ(t.wrong + t.unknown + t.other, 0);
    EXPECT_GT(t.right, 10000);
}

// A file cut short at a block boundary: the blocks still there answer
// truly, the lost ones unknown, whether preloaded or read on demand.
TEST_F(DatabaseFaults, TruncatedCompressedFile) {
    const auto written = writeKnownDatabase(3);
    const auto fullSize = std::filesystem::file_size("db/db3.cpr");
    ASSERT_GE(fullSize, 4u * BLOCK_SIZE);
    for (const std::uintmax_t size : {fullSize / 2 / BLOCK_SIZE * BLOCK_SIZE, std::uintmax_t{BLOCK_SIZE}, std::uintmax_t{0}})
        for (const size_t memory : {SIZE_MAX, size_t{4096}}) {  // whole cache, or 3 blocks
            truncateFile("db/db3.cpr", size);
            platform::limitMemoryRequests(memory);
            ASSERT_EQ(open(), 4);
            const ProbeTally t = probeAll(written, 5);
            EXPECT_EQ(t.wrong + t.other, 0) << size << " " << memory;
            EXPECT_GT(t.unknown, 0) << size;
            closeDatabase();
        }
    playEnding();
}

// Bytes overwritten: answers may be wrong, but they are result codes, an
// overflow is logged in its documented form, and play goes on.
TEST_F(DatabaseFaults, CorruptedCompressedFile) {
    const auto written = writeKnownDatabase(3);
    std::fstream f("db/db3.cpr", std::ios::in | std::ios::out | std::ios::binary);
    std::mt19937 rng(5);
    const auto size = static_cast<uint32_t>(std::filesystem::file_size("db/db3.cpr"));
    for (int i = 0; i < 600; ++i) {
        f.seekp(rng() % size);
        f.put(static_cast<char>(rng() % 256));
    }
    f.close();
    for (const size_t memory : {SIZE_MAX, size_t{4096}}) {
        platform::limitMemoryRequests(memory);
        ASSERT_EQ(open(), 4);
        const ProbeTally t = probeAll(written, 3);
        EXPECT_EQ(t.other, 0);
        EXPECT_GT(t.right, 0);
        closeDatabase();
    }
    std::ifstream log("dberr.txt");
    for (std::string line; std::getline(log, line);) {
        unsigned v[7];
        EXPECT_EQ(std::sscanf(line.c_str(), "db index overflow in bm %u bk %u wm %u wk %u bmrank %u wmrank %u index %u",
                              &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]),
                  7)
            << line;
    }
    playEnding();
}

// An index file cut after any blank (so that no number is changed, only
// lost): the records before the cut answer truly, the rest unknown.
TEST_F(DatabaseFaults, IndexFileCutShort) {
    const auto written = writeKnownDatabase(3);
    const std::string index = testing::readText("db/db3.idx");
    std::vector<size_t> cuts;
    for (size_t i = 0; i < index.size(); i += index.size() / 7) {
        const size_t blank = index.find_first_of(" \n", i);
        if (blank != std::string::npos) cuts.push_back(blank + 1);
    }
    cuts.push_back(3);  // inside the first head
    for (const size_t cut : cuts) {
        testing::writeText("db/db3.idx", index.substr(0, cut));
        ASSERT_EQ(open(), 4);
        const ProbeTally t = probeAll(written, 11);
        EXPECT_EQ(t.wrong + t.other, 0) << cut;
        closeDatabase();
    }
}

TEST_F(DatabaseFaults, GarbageIndexFile) {
    const auto written = writeKnownDatabase(3);
    std::mt19937 rng(9);
    for (int trial = 0; trial < 20; ++trial) {
        std::string garbage = "BASE1,0,1,1,0,0,b:0/0 ";
        for (int i = 0; i < 400; ++i) garbage += "0123456789 ,:/BASEbw+-=\nx"[rng() % 25];
        testing::writeText("db/db3.idx", garbage);
        const int32_t limit = open();
        EXPECT_EQ(limit, 4);
        const ProbeTally t = probeAll(written, 97);
        EXPECT_EQ(t.other, 0);
        closeDatabase();
    }
    playEnding();
}

TEST_F(DatabaseFaults, MissingCompressedFileAnswersUnknown) {
    const auto written = writeKnownDatabase(3);
    std::filesystem::remove("db/db3.cpr");
    ASSERT_EQ(open(), 4);
    const ProbeTally t = probeAll(written, 5);
    EXPECT_EQ(t.right + t.wrong + t.other, 0);
    closeDatabase();
    playEnding();
    EXPECT_EQ(dbPieceLimit, 4u);
}

TEST_F(DatabaseFaults, UnreadableFiles) {
    const auto written = writeKnownDatabase(3);
    chmod("db/db3.cpr", 0);
    chmod("db/db3.idx", 0);
    if (FILE* f = std::fopen("db/db3.idx", "rb")) {
        std::fclose(f);
        GTEST_SKIP() << "files without permissions are still readable (running as root)";
    }
    ASSERT_EQ(open(), 4);  // db2.idx is readable; db3.idx is not
    const ProbeTally t = probeAll(written, 5);
    EXPECT_EQ(t.right + t.wrong + t.other, 0);
    closeDatabase();
    playEnding();
}

}  // namespace
}  // namespace tarnvel::hardening
