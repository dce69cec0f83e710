#include <gtest/gtest.h>

#include "board/perft.h"
#include "interface/postext.h"

namespace tarnvel {
namespace {

// Counts from the initial arrangement, Black to move.
TEST(Perft, InitialPosition) {
    const uint64_t expected[] = {7, 49, 302, 1469, 7361, 36768, 179740, 845931, 3963680};
    int side = 0;
    ASSERT_TRUE(parsePosition("B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.",
                              &side));
    for (int depth = 1; depth <= 9; ++depth)
        EXPECT_EQ(perft(depth, side), expected[depth - 1]) << "depth " << depth;
}

}  // namespace
}  // namespace tarnvel
