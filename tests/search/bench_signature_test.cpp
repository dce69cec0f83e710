// The signature of the search: `tarnvel bench`'s total node count moves
// whenever the search, the evaluation, the move order or the table's use
// changes. Update it only for an intended change of behaviour.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace tarnvel {
namespace {

TEST(SearchSignature, FullBenchNodeCount) {
    FILE* pipe = popen(TARNVEL_BINARY_DIR "/tarnvel bench 2>&1", "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[256];
    while (std::fgets(chunk, sizeof chunk, pipe)) output += chunk;
    EXPECT_EQ(pclose(pipe), 0) << output;
    EXPECT_NE(output.find("31 positions: 31568694 nodes"), std::string::npos) << output;
}

}  // namespace
}  // namespace tarnvel
