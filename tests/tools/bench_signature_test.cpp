// Each engine's bench node count is its search's signature: any change to
// search, evaluation or move order moves it. Update only on purpose.
#include <gtest/gtest.h>

#include "tools/cli_run.h"

namespace tarnvel::testing {
namespace {

struct Signature {
    const char* engine;
    const char* total;
};

class BenchSignature : public ::testing::TestWithParam<Signature> {};

TEST_P(BenchSignature, FullBenchNodeCount) {
    const auto [status, output] = run(TARNVEL + "bench --engine " + GetParam().engine);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find(std::string("31 positions: ") + GetParam().total + " nodes"),
              std::string::npos)
        << output;
}

INSTANTIATE_TEST_SUITE_P(Engines, BenchSignature,
                         ::testing::Values(Signature{"v1.3", "31568694"}, Signature{"2", "3037226"}),
                         [](const auto& info) { return std::string(info.param.engine)[0] == 'v' ? "V13" : "Tarnvel2"; });

}  // namespace
}  // namespace tarnvel::testing
