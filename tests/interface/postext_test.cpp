// Position texts: parsing, refusal, and the round trip with positionText.
#include "interface/postext.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "board/position.h"
#include "interface/history.h"
#include "support/board_fixtures.h"

namespace tarnvel {
namespace {

// Parses from a heap buffer exactly the text's size, so the sanitizer sees
// any read past the end; a parse must reset what is set here.
bool parseExact(const std::string& text, int* side) {
    historyPush(0);
    position.reversiblePlies = 9;
    const std::vector<char> buffer(text.c_str(), text.c_str() + text.size() + 1);
    return parsePosition(buffer.data(), side);
}

// Square 1 is White's far right corner (bit 3), four squares to a row.
TEST(PositionText, Accepted) {
    const struct {
        const char* text;
        const char* canonical;
        uint32_t wcount, bcount;
    } cases[] = {
        {"B:W18,24,27,28,K10,K15:B12,16,20,K22,K25,K29.", "B:WK10,K15,18,24,27,28:B12,16,20,K22,K25,K29.", 6, 6},
        {"W:W1,K6:B32,K28.", "W:W1,K6:BK28,32.", 2, 2},
        {"w:W5.", "B:W5:B.", 1, 0},  // the first character is only the side: 'W' or Black
        {"x5.", "B:W5:B.", 1, 0},    // numbers before any colour are White's
        {"W.", "W:W:B.", 0, 0},
        {"B:WK10K15:B1.", "B:WK10,K15:B1.", 2, 1},  // the king flag lasts until a separator or colour
        {"B:WK10,15:B1.", "B:WK10,15:B1.", 2, 1},
        {"B:WK10B1.", "B:WK10:B1.", 1, 1},
        {"W:W5,5:B5.", "W:W5:B5.", 2, 1},  // neither repeated squares are checked
        {"W:W1:B32.", "W:W1:B32.", 1, 1},  // nor men on their crowning rows
        {"W:W5.garbage that is never read", "W:W5:B.", 1, 0},
        {"W:W032.", "W:W32:B.", 1, 0},
    };
    for (const auto& c : cases) {
        int side = 7;
        ASSERT_TRUE(parseExact(c.text, &side)) << c.text;
        EXPECT_EQ(positionText(position, side), c.canonical);
        EXPECT_EQ(position.wcount * 100 + position.bcount, c.wcount * 100 + c.bcount) << c.text;
        EXPECT_EQ(position.key, keyFromScratch(position, side)) << c.text;
        EXPECT_EQ(position.reversiblePlies + gameHistory.length, 0u);
    }
    int side = 0;
    ASSERT_TRUE(parseExact("W:W1,K6:B32,K28.", &side));
    EXPECT_EQ((std::array{position.wm, position.wk, position.bm, position.bk}),
              (std::array{1u << 3, 1u << 6, 1u << 28, 1u << 24}));
}

// A refused text leaves the side, key, reversiblePlies and history alone;
// the pieces read before the bad character stay.
TEST(PositionText, Refused) {
    for (const char* text : {"", "W", "W:", "W:W5", "W:W5,", "W:W5 .", "W:W5,b6.", "W:W5-9.", "W:W5:B6;", "W:W0.",
                             "W:W33.", "W:W123.", "W:W999999999999999999999999999999.", "W:W5,K",
                             "W:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12",
                             "B:W18,K10:B12,33."}) {
        position.key = 0x77;
        int side = 7;
        EXPECT_FALSE(parseExact(text, &side)) << text;
        EXPECT_EQ(side, 7) << text;
        EXPECT_EQ(position.key, 0x77u) << text;
        EXPECT_EQ(position.reversiblePlies, 9u) << text;
        EXPECT_NE(gameHistory.length, 0u) << text;
    }
    EXPECT_EQ(positionText(position, 0), "B:WK10,18:B12.");
    EXPECT_EQ(position.wcount * 100 + position.bcount, 201u);
}

TEST(PositionText, RoundTripsWithPositionText) {
    std::mt19937 rng(31);
    for (int i = 0; i < 3000; ++i) {
        support::loadEngine(support::randomPlacement(rng, (i % 11) / 10.0, (i % 4) / 3.0), i & 1);
        const Position original = position;
        const std::string text = positionText(original, i & 1);
        position = Position{};
        int side = -1;
        ASSERT_TRUE(parseExact(text, &side)) << text;
        EXPECT_EQ(side, i & 1);
        EXPECT_EQ((std::array{position.wm, position.wk, position.bm, position.bk, position.wcount, position.bcount}),
                  (std::array{original.wm, original.wk, original.bm, original.bk, original.wcount, original.bcount}))
            << text;
        EXPECT_EQ(position.key, original.key) << text;
    }
}

}  // namespace
}  // namespace tarnvel
