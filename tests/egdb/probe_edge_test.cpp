// Decoding edge cases on hand-made blocks: every kind of code byte, the
// block search on both paths, the direction of the walk, and the guards
// against corrupt or unusual inputs.
#include "egdb/cache.h"
#include "egdb/sliceindex.h"
#include "egdb_support.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel::testing {
namespace {

// The position at an index of a slice.
DbQuery at(const SliceKey& key, uint32_t index) {
    DbQuery q{};
    EXPECT_TRUE(positionAtIndex(key, index, &q)) << index;
    return q;
}

int32_t probeAt(const SliceKey& key, uint32_t index, int32_t conditional = 0) {
    const DbQuery q = at(key, index);
    return probeDatabase(&q, conditional);
}

std::vector<uint8_t> block(std::initializer_list<uint8_t> codes, size_t start = 0) {
    std::vector<uint8_t> b(BLOCK_SIZE, 0);
    std::copy(codes.begin(), codes.end(), b.begin() + static_cast<std::ptrdiff_t>(start));
    return b;
}

const SliceKey KK{0, 1, 0, 1, 0, 0, 0};         // 992 positions
const SliceKey KKK{0, 2, 0, 1, 0, 0, 0};        // 14880
const SliceKey KKKK{0, 3, 0, 1, 0, 0, 0};       // 143840
const SliceKey KM{0, 1, 1, 0, 0, 0, 0};         // king against a man on white's back row: 124
const SliceKey KM_FAR{0, 1, 1, 0, 0, 1, 0};     // man one row up
const SliceKey KM_SHORT{0, 1, 1, 0, 0, 2, 0};

class ProbeEdges : public EgdbTest {
protected:
    int32_t open() {
        char text[TARNVEL_TEXT_CAPACITY];
        ::testing::internal::CaptureStdout();
        const int32_t r = openDatabase(256, text);
        ::testing::internal::GetCapturedStdout();
        return r;
    }
};

TEST_F(ProbeEdges, EveryKindOfCodeByte) {
    // KK: 80 (four draws), 0 (four wins), 5 (digits 2,1,0,0), 81 (5 wins),
    // 139 (5 losses), 255 (5 of result 4), 254 (10000 draws).
    writeText("db/db2.idx", "BASE0,1,0,1,0,0,b:0/0\n");
    writeBytes("db/db2.cpr", block({80, 0, 5, 81, 139, 255, 254}));
    // KKK: 138 (10000 wins), then 254.
    writeText("db/db3.idx", "BASE0,2,0,1,0,0,b:0/0\n");
    writeBytes("db/db3.cpr", block({138, 254}));
    writeText("db/db4.idx", "");
    ASSERT_EQ(open(), 4);
    const int32_t expected[] = {3, 3, 3, 3, 1, 1, 1, 1, 3, 2, 1, 1, 1, 1, 1, 1, 1,
                                2, 2, 2, 2, 2, 4, 4, 4, 4, 4, 3, 3, 3};
    for (uint32_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(probeAt(KK, i), expected[i]) << i;
    EXPECT_EQ(probeAt(KK, 991), DB_DRAW);
    EXPECT_EQ(probeAt(KKK, 0), DB_WIN);
    EXPECT_EQ(probeAt(KKK, 9999), DB_WIN);
    EXPECT_EQ(probeAt(KKK, 10000), DB_DRAW);
    EXPECT_EQ(probeAt(KKK, 14879), DB_DRAW);
}

TEST_F(ProbeEdges, OneBlockSliceDecodesForwardFromItsStartByte) {
    writeText("db/db2.idx", "BASE0,1,1,0,0,0,b:0/1000\n");
    // Bytes 990 … 999 (draws) belong to whatever precedes the slice; its
    // own codes, from byte 1000, are wins.
    writeBytes("db/db2.cpr", block({80, 80, 80, 80, 80, 80, 80, 80, 80, 80}, 990));
    writeText("db/db3.idx", "");
    writeText("db/db4.idx", "");
    ASSERT_EQ(open(), 4);
    EXPECT_EQ(probeAt(KM, 0), DB_WIN);
    EXPECT_EQ(probeAt(KM, 95), DB_WIN);
}

// 36 blocks of four-result codes alternating all wins (even bytes) and
// all draws (odd bytes). The block list claims 4100 positions for block 5,
// whose codes hold 4096, so the two walking directions disagree there.
class Bisection : public ProbeEdges {
protected:
    void SetUp() override {
        ProbeEdges::SetUp();
        std::vector<uint8_t> one(BLOCK_SIZE);
        for (size_t b = 0; b < BLOCK_SIZE; ++b) one[b] = b % 2 ? 80 : 0;
        std::vector<uint8_t> file;
        std::string index = "BASE0,3,0,1,0,0,b:0/0";
        for (uint32_t k = 0; k < 36; ++k) {
            file.insert(file.end(), one.begin(), one.end());
            e.push_back(k <= 5 ? 4096 * k : 4096 * k + 4);
            if (k) index.append(" ").append(std::to_string(e.back()));
        }
        writeText("db/db2.idx", "");
        writeText("db/db3.idx", "");
        writeText("db/db4.idx", index + "\n");
        writeBytes("db/db4.cpr", file);
        ASSERT_EQ(open(), 4);
    }
    std::vector<uint32_t> e;
};

TEST_F(Bisection, AnEntryItselfSelectsItsBlock) {
    for (uint32_t k = 0; k < 36; ++k) EXPECT_EQ(probeAt(KKKK, e[k]), DB_WIN) << k;
    for (uint32_t k = 1; k < 36; ++k) EXPECT_EQ(probeAt(KKKK, e[k] - 1), DB_DRAW) << k;
    EXPECT_EQ(probeAt(KKKK, 5), DB_DRAW);  // below e[1]: block 0, byte 1
}

TEST_F(Bisection, HalfwayGoesForwardAndNearerTheEndGoesBackward) {
    const uint32_t half = e[5] + (e[6] - e[5]) / 2;
    EXPECT_EQ(probeAt(KKKK, half), DB_WIN);       // forward: byte 512
    EXPECT_EQ(probeAt(KKKK, half + 1), DB_DRAW);  // backward: byte 511
}

TEST_F(ProbeEdges, IndexBeyondItsBlockIsLoggedAndUnknown) {
    writeText("db/db2.idx", "BASE0,1,1,0,0,0,b:0/1020\n");
    writeBytes("db/db2.cpr", block({0, 0, 0, 0}, 1020));
    writeText("db/db3.idx", "");
    writeText("db/db4.idx", "");
    ASSERT_EQ(open(), 4);
    EXPECT_EQ(probeAt(KM, 15), DB_WIN);
    EXPECT_EQ(probeAt(KM, 16), DB_UNKNOWN);
    EXPECT_EQ(probeAt(KM, 123), DB_UNKNOWN);
    EXPECT_EQ(readText("dberr.txt"),
              "db index overflow in bm 0 bk 1 wm 1 wk 0 bmrank 0 wmrank 0 index 16\n"
              "db index overflow in bm 0 bk 1 wm 1 wk 0 bmrank 0 wmrank 0 index 123\n");
}

TEST_F(ProbeEdges, BlocksOutsideTheDatabaseOrTheFileAnswerUnknown) {
    // Block 300 lies beyond the 250 a four-piece database may number; block
    // 5 lies beyond the end of the file.
    writeText("db/db2.idx", "BASE0,1,1,0,0,1,b:300/0\nBASE0,1,1,0,0,2,b:5/0\n");
    writeBytes("db/db2.cpr", block({138}));
    writeText("db/db3.idx", "");
    writeText("db/db4.idx", "");
    ASSERT_EQ(open(), 4);
    EXPECT_EQ(probeAt(KM_FAR, 0), DB_UNKNOWN);
    EXPECT_EQ(probeAt(KM_SHORT, 0, 1), DB_NOLOOK);
    const int32_t oldestBefore = lruOldest();
    EXPECT_EQ(probeAt(KM_SHORT, 0), DB_UNKNOWN);
    // The failed read left no mapping: the slot is empty and reused first.
    EXPECT_EQ(lruOldest(), oldestBefore);
    EXPECT_EQ(lruEntry(oldestBefore).blockOf, -1);
    EXPECT_EQ(probeAt(KM_SHORT, 0, 1), DB_NOLOOK);
}

TEST_F(ProbeEdges, MenOnTheirCrowningRowAreNotInAnySlice) {
    // A man against a king is stored with the king on black's side.
    writeText("db/db2.idx", "BASE0,1,1,0,0,6,w:+\nBASE0,1,1,0,0,6,b:-\n");
    writeBytes("db/db2.cpr", {});
    writeText("db/db3.idx", "");
    writeText("db/db4.idx", "");
    ASSERT_EQ(open(), 4);
    const DbQuery blackOnRow6{1u << 24, 0, 0, 1u << 0, 2}, blackOnRow7{1u << 28, 0, 0, 1u << 0, 2};
    const DbQuery whiteOnRow1{0, 1u << 31, 1u << 4, 0, 2}, whiteOnRow0{0, 1u << 31, 1u << 3, 0, 2};
    EXPECT_EQ(probeDatabase(&blackOnRow6, 0), DB_WIN);
    EXPECT_EQ(probeDatabase(&blackOnRow7, 0), DB_UNKNOWN);
    EXPECT_EQ(probeDatabase(&whiteOnRow1, 0), DB_LOSS);
    EXPECT_EQ(probeDatabase(&whiteOnRow0, 0), DB_UNKNOWN);
}

TEST_F(ProbeEdges, FourAgainstOneIsBeyondThreeASide) {
    for (const char* name : {"db/db2.idx", "db/db3.idx", "db/db4.idx"}) writeText(name, "");
    writeText("db/db5.idx", "BASE0,4,0,1,0,0,b:+\nBASE0,3,0,2,0,0,b:-\n");
    writeBytes("db/db5.cpr", {});
    ASSERT_EQ(open(), 5);
    const DbQuery fourAgainstOne{0, 0xF, 0, 1u << 20, 2}, threeAgainstTwo{0, 0x7, 0, 3u << 20, 2};
    EXPECT_EQ(probeDatabase(&fourAgainstOne, 0), DB_UNKNOWN);
    EXPECT_EQ(probeDatabase(&threeAgainstTwo, 0), DB_LOSS);
}

}  // namespace
}  // namespace tarnvel::testing
