// The block decoder on hand-made blocks: every kind of code byte, block
// search, walk direction, and guards against unusual inputs.
#include "egdb/cache.h"
#include "egdb_support.h"

namespace tarnvel::testing {
namespace {

const SliceKey KK{0, 1, 0, 1, 0, 0, 0};    // 992 positions
const SliceKey KKK{0, 2, 0, 1, 0, 0, 0};   // 14880
const SliceKey KKKK{0, 3, 0, 1, 0, 0, 0};  // 143840
const SliceKey KM{0, 1, 1, 0, 0, 0, 0};    // king against a man on White's back row: 124

int32_t probeAt(const SliceKey& key, uint32_t index, int32_t conditional = 0) {
    DbQuery q{};
    EXPECT_TRUE(positionAtIndex(key, index, &q)) << index;
    return probeDatabase(&q, conditional);
}

// A block holding the codes from byte `start` on.
std::string block(const std::string& codes, size_t start = 0) {
    return std::string(start, '\0') + codes + std::string(BLOCK_SIZE - start - codes.size(), '\0');
}

class ProbeEdges : public EgdbTest {
protected:
    void database(const std::string& db2, const std::string& cpr2, const std::string& db3 = "", const std::string& db4 = "") {
        writeText("db/db2.idx", db2);
        writeText("db/db2.cpr", cpr2);
        writeText("db/db3.idx", db3);
        writeText("db/db4.idx", db4);
        ASSERT_EQ(open(), 4);
    }
};

TEST_F(ProbeEdges, EveryKindOfCodeByte) {
    // KK: 80 (four draws), 0 (four wins), 5 (digits 2,1,0,0), 81 (5 wins),
    // 139 (5 losses), 255 (5 of result 4), 254 (10000 draws); then, from
    // byte 1000 of a second KK block, one-block KM decodes forward: wins.
    // KKK: 138 (10000 wins), then 254.
    writeText("db/db3.cpr", block("\x8a\xfe"));
    database("BASE0,1,0,1,0,0,b:0/0\nBASE0,1,1,0,0,0,b:1/1000\n",
             block(std::string("\x50\x00\x05\x51\x8b\xff\xfe", 7)) + block(std::string(10, '\x50'), 990),
             "BASE0,2,0,1,0,0,b:0/0\n");
    const int32_t expected[] = {3, 3, 3, 3, 1, 1, 1, 1, 3, 2, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 4, 4, 4, 4, 4, 3, 3, 3};
    for (uint32_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(probeAt(KK, i), expected[i]) << i;
    for (const auto& [key, index, result] : {std::tuple{KK, 991u, DB_DRAW}, {KKK, 0u, DB_WIN}, {KKK, 9999u, DB_WIN},
                                             {KKK, 10000u, DB_DRAW}, {KKK, 14879u, DB_DRAW}, {KM, 0u, DB_WIN}, {KM, 95u, DB_WIN}})
        EXPECT_EQ(probeAt(key, index), result) << index;
}

// 36 blocks alternating all-win (even bytes) and all-draw codes. The list
// claims 4100 positions for block 5, whose codes hold 4096, so the two
// walking directions disagree there.
TEST_F(ProbeEdges, BlockSearchAndWalkDirection) {
    std::string one(BLOCK_SIZE, '\0'), file, index = "BASE0,3,0,1,0,0,b:0/0";
    for (size_t b = 1; b < BLOCK_SIZE; b += 2) one[b] = 80;
    std::vector<uint32_t> e;
    for (uint32_t k = 0; k < 36; ++k) {
        file += one;
        e.push_back(k <= 5 ? 4096 * k : 4096 * k + 4);
        if (k) index.append(" ").append(std::to_string(e.back()));
    }
    writeText("db/db4.cpr", file);
    database("", "", "", index + "\n");
    for (uint32_t k = 0; k < 36; ++k) EXPECT_EQ(probeAt(KKKK, e[k]), DB_WIN) << k;
    for (uint32_t k = 1; k < 36; ++k) EXPECT_EQ(probeAt(KKKK, e[k] - 1), DB_DRAW) << k;
    EXPECT_EQ(probeAt(KKKK, 5), DB_DRAW);  // below e[1]: block 0, byte 1
    const uint32_t half = e[5] + (e[6] - e[5]) / 2;
    EXPECT_EQ(probeAt(KKKK, half), DB_WIN);       // forward: byte 512
    EXPECT_EQ(probeAt(KKKK, half + 1), DB_DRAW);  // backward: byte 511
}

// Indexes beyond the codes of their block are logged; block 300 lies
// beyond the 250 of four pieces, block 5 beyond the file; men on their
// crowning row and sides of four are in no slice.
TEST_F(ProbeEdges, WhatNoBlockOrSliceHolds) {
    database("BASE0,1,1,0,0,0,b:0/1020\nBASE0,1,1,0,0,1,b:300/0\nBASE0,1,1,0,0,2,b:5/0\nBASE0,1,1,0,0,6,w:+\n"
             "BASE0,1,1,0,0,6,b:-\n", block(std::string(4, '\0'), 1020));
    EXPECT_EQ(probeAt(KM, 15), DB_WIN);
    EXPECT_EQ(probeAt(KM, 16), DB_UNKNOWN);
    EXPECT_EQ(probeAt(KM, 123), DB_UNKNOWN);
    EXPECT_EQ(readText("dberr.txt"), "db index overflow in bm 0 bk 1 wm 1 wk 0 bmrank 0 wmrank 0 index 16\n"
                                     "db index overflow in bm 0 bk 1 wm 1 wk 0 bmrank 0 wmrank 0 index 123\n");
    EXPECT_EQ(probeAt({0, 1, 1, 0, 0, 1, 0}, 0), DB_UNKNOWN);
    const SliceKey shortFile{0, 1, 1, 0, 0, 2, 0};
    EXPECT_EQ(probeAt(shortFile, 0, 1), DB_NOLOOK);
    const int32_t oldestBefore = lruOldest();
    EXPECT_EQ(probeAt(shortFile, 0), DB_UNKNOWN);
    // The failed read left no mapping: the slot is empty and reused first.
    EXPECT_EQ(lruOldest(), oldestBefore);
    EXPECT_EQ(lruEntry(oldestBefore).blockOf, -1);
    EXPECT_EQ(probeAt(shortFile, 0, 1), DB_NOLOOK);
    // A man against a king is stored with the king on Black's side.
    for (const auto& [q, result] : {std::pair{DbQuery{1u << 24, 0, 0, 1, 2}, DB_WIN}, {DbQuery{1u << 28, 0, 0, 1, 2}, DB_UNKNOWN},
                                    {DbQuery{0, 1u << 31, 1u << 4, 0, 2}, DB_LOSS}, {DbQuery{0, 1u << 31, 1u << 3, 0, 2}, DB_UNKNOWN},
                                    {DbQuery{0, 0xF, 0, 1u << 20, 2}, DB_UNKNOWN}})
        EXPECT_EQ(probeDatabase(&q, 0), result) << q.bm << " " << q.bk << " " << q.wm;
}

}  // namespace
}  // namespace tarnvel::testing
