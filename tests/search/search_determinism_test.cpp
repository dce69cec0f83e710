#include <gtest/gtest.h>

#include "search/fixed_depth.h"
#include "search/tt.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {
namespace {

constexpr const char* POSITIONS[] = {
    "B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.",
    "W:W17,21,22,23,24,26,27,30,32:B2,3,5,9,10,11,12,16,20.",
    "B:WK11,15,18,23:B9,12,25,K27.",
    "W:WK2,K8,20,30,32:B11,12,15,23,K26,K27.",
    "W:WK14:B10,11,18,19,26,27.",
};
constexpr uint32_t DEPTH = 9;
constexpr uint32_t TABLE_MEGABYTES = 4;

uint64_t benchNodes() {
    uint64_t total = 0;
    for (const char* text : POSITIONS) {
        FixedDepthSearch search{};
        EXPECT_TRUE(searchFixedDepth(text, DEPTH, &search)) << text;
        total += search.nodes;
    }
    return total;
}

// The signature of the search: it moves whenever the search, the
// evaluation, the move order or the table's use changes. Update it only
// for an intended change of behaviour.
TEST(SearchDeterminism, SmallBenchSignature) {
    ASSERT_TRUE(ttAllocate(TABLE_MEGABYTES));
    EXPECT_EQ(benchNodes(), 113638u);
}

TEST(SearchDeterminism, SameSearchTwiceSameNodes) {
    ASSERT_TRUE(ttAllocate(TABLE_MEGABYTES));
    for (const char* text : POSITIONS) {
        FixedDepthSearch first{}, second{};
        ASSERT_TRUE(searchFixedDepth(text, DEPTH, &first));
        ASSERT_TRUE(searchFixedDepth(text, DEPTH, &second));
        EXPECT_EQ(first.nodes, second.nodes) << text;
        EXPECT_EQ(first.resultCode, second.resultCode) << text;
    }
}

TEST(SearchDeterminism, RefusesBadTextAndDepthZero) {
    FixedDepthSearch search{};
    EXPECT_FALSE(searchFixedDepth("W:W21,22", 3, &search));
    EXPECT_FALSE(searchFixedDepth(POSITIONS[0], 0, &search));
}

}  // namespace
}  // namespace tarnvel
