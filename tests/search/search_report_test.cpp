#include <gtest/gtest.h>

#include <cstring>

#include "search/report.h"
#include "search/score.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {
namespace {

std::string report(int best, uint64_t nodes, int64_t elapsedMs, size_t capacity = TARNVEL_TEXT_CAPACITY) {
    char text[TARNVEL_TEXT_CAPACITY + 8];
    std::memset(text, '#', sizeof text);
    writeSearchReport(text, capacity, best, 9, 17, nodes, 3, elapsedMs);
    for (size_t i = capacity; i < sizeof text; ++i) EXPECT_EQ(text[i], '#') << i;
    return text;
}

TEST(SearchReport, ValueWinAndLossForms) {
    EXPECT_EQ(report(-31999, 123456, 40),
              "Tarnvel v1.3 => value=-31999  depth=9/17  nodes=123456  tbhits=3  time=40   "
              "3086.4KN/s\n");
    EXPECT_EQ(report(SCORE_DECIDED, 10, 0),
              "Tarnvel v1.3 => win=500  depth=9/17  nodes=10  tbhits=3  time=0      0.0KN/s\n");
    EXPECT_EQ(report(SCORE_GAMEOVER - 7, 10, 3),
              "Tarnvel v1.3 => win=7  depth=9/17  nodes=10  tbhits=3  time=3      3.3KN/s\n");
    EXPECT_EQ(report(-SCORE_DECIDED, 5, 1),
              "Tarnvel v1.3 => loss=500  depth=9/17  nodes=5  tbhits=3  time=1      5.0KN/s\n");
    EXPECT_EQ(report(4 - SCORE_GAMEOVER, 5, 1),
              "Tarnvel v1.3 => loss=4  depth=9/17  nodes=5  tbhits=3  time=1      5.0KN/s\n");
}

TEST(SearchReport, SixtyFourBitCountersAndWideSpeeds) {
    EXPECT_EQ(report(0, 12345678901234ull, 1000),
              "Tarnvel v1.3 => value=0  depth=9/17  nodes=12345678901234  tbhits=3  time=1000  "
              "12345678901.2KN/s\n");
}

TEST(SearchReport, TruncatesToTheBuffer) {
    EXPECT_EQ(report(0, 1, 0, 21), "Tarnvel v1.3 => valu");
    EXPECT_EQ(report(0, 1, 0, 1), "");
}

}  // namespace
}  // namespace tarnvel
