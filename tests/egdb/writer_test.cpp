// The writer's files: block layout as the reader needs it, single-value
// records, and the refusals.
#include <sstream>

#include "egdb/sliceindex.h"
#include "egdb/tables.h"
#include "egdb_support.h"

namespace tarnvel::testing {
namespace {

// Positions a code byte covers, from the format's definition.
uint32_t coverage(uint8_t b) { return b <= 80 ? 4 : SkipTable[(b - 81) % 58]; }

class Writer : public EgdbTest {};

TEST_F(Writer, BlocksEndWhereTheNextIdxEntryBegins) {
    std::vector<SliceResults> slices;
    for (const SliceKey& k : {SliceKey{0, 3, 0, 1, 0, 0, 0}, SliceKey{0, 2, 0, 2, 0, 0, 0}, SliceKey{0, 3, 0, 1, 0, 0, 1}})
        slices.push_back({k, patternedResults(sliceSize(k), 3u + static_cast<uint32_t>(slices.size()), 90)});
    const WriteReport r = writeDatabase(slices);
    ASSERT_TRUE(r.ok) << r.error;
    const std::string cpr = readText("db/db4.cpr");
    ASSERT_EQ(cpr.size() % 1024, 0u);
    EXPECT_EQ(r.blocks, static_cast<int32_t>(cpr.size() / 1024));
    std::istringstream index(readText("db/db4.idx"));
    std::string head;
    uint32_t expectedStart = 0;  // byte offset in the file where the next slice begins
    int longest = 0;
    for (const SliceResults& s : slices) {
        ASSERT_TRUE(index >> head);
        const char side = s.key.side ? 'w' : 'b';
        char expectedHead[32];
        std::snprintf(expectedHead, sizeof expectedHead, "BASE0,%d,0,%d,0,0,%c:", s.key.nbk, s.key.nwk, side);
        ASSERT_EQ(head.substr(0, 18), expectedHead);
        uint32_t firstBlock = 0, startByte = 0;
        ASSERT_EQ(std::sscanf(head.c_str() + 18, "%u/%u", &firstBlock, &startByte), 2);
        EXPECT_EQ(firstBlock * 1024 + startByte, expectedStart);
        std::vector<uint32_t> e{0};
        for (uint32_t v; index >> v;) e.push_back(v);
        index.clear();
        longest = std::max(longest, static_cast<int>(e.size()));
        // Every block but the last is full and covers exactly its share.
        uint32_t at = expectedStart, position = 0;
        for (size_t k = 0; position < s.results.size(); ++k) {
            if (k + 1 < e.size()) {
                EXPECT_EQ(at % 1024, k ? 0u : startByte);
            }
            const uint32_t blockEnd = (at / 1024 + 1) * 1024;
            while (position < s.results.size() && at < blockEnd) position += coverage(static_cast<uint8_t>(cpr[at++]));
            if (k + 1 < e.size()) {
                EXPECT_EQ(at, blockEnd);
                EXPECT_EQ(position, e[k + 1]) << k;
            } else {
                EXPECT_EQ(k + 1, e.size());
            }
        }
        expectedStart = at;
    }
    EXPECT_GE(longest, 8);  // long enough for the bisection
}

TEST_F(Writer, UniformSlicesBecomeSingleValueRecords) {
    const SliceKey k{0, 2, 0, 1, 0, 0, 0};
    std::vector<uint8_t> r(sliceSize(k), DB_LOSS);
    for (size_t i = 0; i < r.size(); i += 7) r[i] = RESULT_ANY;
    const WriteReport report = writeDatabase({{k, r}});
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.blocks, 0);
    EXPECT_EQ(readText("db/db3.idx"), "BASE0,2,0,1,0,0,b:-\n");
    EXPECT_EQ(readText("db/db2.idx"), "");
}

TEST_F(Writer, RefusesWhatTheReaderCannotTake) {
    const SliceKey kk{0, 1, 0, 1, 0, 0, 0};
    auto refused = [](const std::vector<SliceResults>& s, const std::string& words) {
        const WriteReport r = writeDatabase(s);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find(words), std::string::npos) << r.error;
        EXPECT_FALSE(std::filesystem::exists("db/db2.idx"));
    };
    refused({{SliceKey{0, 1, 0, 1, 0, 0, 1}, std::vector<uint8_t>(992, 1)}}, "never probed");
    refused({{SliceKey{0, 1, 0, 1, 3, 0, 0}, std::vector<uint8_t>(992, 1)}}, "never probed");
    refused({{kk, std::vector<uint8_t>(991, 1)}}, "needs 992 results");
    refused({{kk, std::vector<uint8_t>(992, 4)}}, "holds the result 4");
    // Mixed results everywhere overflow the 250 blocks of four pieces.
    std::vector<SliceResults> big;
    for (const SliceKey& k : canonicalSlices(4, 4))
        big.push_back({k, patternedResults(sliceSize(k), 1, 100)});
    refused(big, "holds at most 250");
    // One slice of three kings against three spans more blocks than its
    // index record may list.
    const SliceKey six{0, 3, 0, 3, 0, 0, 0};
    refused({{six, patternedResults(sliceSize(six), 2, 100)}}, "its index record holds 999");
}

}  // namespace
}  // namespace tarnvel::testing
