// Database files as other tools may make them: 7- and 8-piece databases
// made up here with results given by a formula, read back the way hosts
// read them (a first move opens the database, then "staticevaluation"
// reports each position's database word), and a file ending inside a block.
#include <fstream>

#include "board/bitboard.h"
#include "egdb/egdb_support.h"
#include "hardening/hardening_support.h"
#include "interface/postext.h"

namespace tarnvel::hardening {
namespace {

const char* const WORDS[] = {"", "win", "loss", "draw"};

class LargeDatabase : public HostTest {
protected:
    // Opens the database as a host's first move does, with the smallest
    // cache: "set dbmbytes" is a signed 32-bit size, so 2^31 MB and more
    // are negative and give it too.
    void openAsHost(const char* megabytes) {
        command(std::string("set dbmbytes ") + megabytes);
        reference::Board board;
        board.cell[3][3] = reference::WHITE_KING;
        board.cell[6][6] = reference::BLACK_KING;
        ::testing::internal::CaptureStdout();
        move(board, true, true, 1);
        ::testing::internal::GetCapturedStdout();
        ASSERT_EQ(command("get dbmbytes"), "64");
    }

    // The database word of a slice's position; "" when the position has a
    // capture for the side to move (the database does not answer those)
    // or the index holds none.
    std::string wordAt(const SliceKey& k, uint32_t index) {
        DbQuery q;
        if (!positionAtIndex(k, index, &q)) return "";
        const Position p{0, q.wm, q.wk, q.bm, q.bk, uint32_t(popCount(q.wm | q.wk)), uint32_t(popCount(q.bm | q.bk)), 0};
        const std::string report = command("staticevaluation " + positionText(p, k.side));
        const size_t at = report.find("EGTB     = ");
        EXPECT_NE(at, std::string::npos) << report;
        const std::string word = report.substr(at + 11, report.find('\n', at) - at - 11);
        return word == "wild" ? "" : word;
    }
};

// Codes 0–80 give four results each, so a block holds 4096 positions.
constexpr uint32_t BLOCK_POSITIONS = 4096;
uint8_t codeAt(uint32_t globalBlock, uint32_t byte) {
    return static_cast<uint8_t>(((globalBlock * 2654435761u) ^ (byte * 40503u)) % 81);
}
int resultAt(uint32_t firstBlock, uint32_t index) {
    int code = codeAt(firstBlock + index / BLOCK_POSITIONS, index % BLOCK_POSITIONS / 4);
    for (uint32_t d = index % 4; d > 0; --d) code /= 3;
    return code % 3 + 1;
}

// Three slices of seven pieces in 71,903 blocks (70 MB), more than the
// 65,536 a 64 MB cache holds: the blocks past the cache are read on a miss,
// evicting preloaded ones, which are then read again.
TEST_F(LargeDatabase, SevenPiecesLargerThanTheCache) {
    const SliceKey keys[] = {{0, 4, 0, 3, 0, 0, 0}, {0, 4, 0, 3, 0, 0, 1}, {1, 3, 0, 3, 6, 0, 0}};
    uint32_t first[3];
    std::string index;
    std::vector<uint8_t> blocks;
    for (int s = 0; s < 3; ++s) {
        first[s] = static_cast<uint32_t>(blocks.size() / 1024);
        const uint32_t count = (sliceSize(keys[s]) + BLOCK_POSITIONS - 1) / BLOCK_POSITIONS;
        const SliceKey& k = keys[s];
        char head[64];
        std::snprintf(head, sizeof head, "BASE%d,%d,%d,%d,%d,%d,%c:%u/0", k.nbm, k.nbk, k.nwm, k.nwk, k.bmrank,
                      k.wmrank, k.side ? 'w' : 'b', first[s]);
        index += head;
        for (uint32_t b = 0; b < count; ++b) {
            if (b > 0) index.append(" ").append(std::to_string(b * BLOCK_POSITIONS));
            for (uint32_t byte = 0; byte < 1024; ++byte) blocks.push_back(codeAt(first[s] + b, byte));
        }
        index += "\n";
    }
    ASSERT_EQ(blocks.size() / 1024, 71903u);
    std::filesystem::create_directory("db");
    for (int n = 2; n <= 6; ++n) std::ofstream("db/db" + std::to_string(n) + ".idx");
    testing::writeText("db/db7.idx", index);
    testing::writeText("db/db7.cpr", std::string(blocks.begin(), blocks.end()));
    openAsHost("4294967295");

    // Blocks past the cache, then the preloaded ones they evicted, then
    // blocks of every slice.
    std::vector<std::pair<int, uint32_t>> order;
    for (uint32_t g = 65536; g < 71903; g += 32) order.push_back({2, g});
    for (uint32_t g = 65535; g > 65335; g -= 4) order.push_back({2, g});
    for (int s = 0; s < 3; ++s)
        for (uint32_t g = first[s]; g < first[s] + 14000; g += 997) order.push_back({s, g});
    int answered = 0;
    for (const auto& [s, g] : order)
        for (uint32_t i = (g - first[s]) * BLOCK_POSITIONS; i < (g - first[s] + 1) * BLOCK_POSITIONS; i += 1021) {
            const std::string word = wordAt(keys[s], i);
            if (word.empty()) continue;
            ASSERT_EQ(word, WORDS[resultAt(first[s], i)]) << "slice " << s << " index " << i;
            ++answered;
        }
    EXPECT_GT(answered, 300);
}

// An 8-piece database in split files, made by the writer from a formula.
TEST_F(LargeDatabase, EightPiecesInSplitFiles) {
    const auto formula = [](uint32_t i) { return static_cast<uint8_t>(1 + (i / 1000 + i / 7) % 3); };
    std::vector<SliceResults> slices;
    for (const SliceKey& k : {SliceKey{4, 0, 4, 0, 3, 3, 0}, SliceKey{4, 0, 4, 0, 3, 2, 1}, SliceKey{3, 1, 3, 1, 2, 2, 0}}) {
        slices.push_back({k, std::vector<uint8_t>(sliceSize(k))});
        for (uint32_t i = 0; i < slices.back().results.size(); ++i) slices.back().results[i] = formula(i);
    }
    std::filesystem::create_directory("db");
    const WriteReport report = writeDatabase(slices);
    ASSERT_TRUE(report.ok) << report.error;
    ASSERT_TRUE(std::filesystem::exists("db/db8_4040.cpr"));
    ASSERT_TRUE(std::filesystem::exists("db/db8_3131.cpr"));
    openAsHost("2147483648");
    int answered = 0;
    for (const SliceResults& s : slices)
        for (uint32_t i = 0; i < s.results.size(); i += 3001) {
            const std::string word = wordAt(s.key, i);
            if (word.empty()) continue;
            ASSERT_EQ(word, WORDS[formula(i)]) << s.key.nbm << s.key.nbk << " index " << i;
            ++answered;
        }
    EXPECT_GT(answered, 300);
}

// A compressed file that ends inside its last block: that block is still
// a block, its missing bytes zero, whether preloaded or read on a miss.
TEST_F(LargeDatabase, FinalPartialBlockOfACompressedFile) {
    const std::vector<SliceResults> written = testing::writeKnownDatabase(3);
    std::string bytes = testing::readText("db/db3.cpr");
    while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    ASSERT_NE(bytes.size() % 1024, 0u);
    std::ofstream("db/db3.cpr", std::ios::binary | std::ios::trunc) << bytes;
    for (const size_t memory : {SIZE_MAX, size_t{4096}}) {  // whole cache, or 3 blocks
        platform::limitMemoryRequests(memory);
        char progress[TARNVEL_TEXT_CAPACITY];
        ::testing::internal::CaptureStdout();
        ASSERT_EQ(openDatabase(1, progress), 4);
        ::testing::internal::GetCapturedStdout();
        for (const SliceResults& s : written)
            for (uint32_t i = 0; i < s.results.size(); i += 7) {
                DbQuery q;
                if (positionAtIndex(s.key, i, &q)) {
                    ASSERT_EQ(probeDatabase(&q, 0), s.results[i]) << memory << " " << i;
                }
            }
        closeDatabase();
    }
}

}  // namespace
}  // namespace tarnvel::hardening
