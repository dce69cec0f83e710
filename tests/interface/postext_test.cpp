// Position texts: parsing, refusal, and the round trip with positionText.
#include <gtest/gtest.h>

#include <initializer_list>
#include <random>
#include <vector>

#include "board/position.h"
#include "board/squares.h"
#include "interface/history.h"
#include "interface/postext.h"
#include "support/board_fixtures.h"

namespace tarnvel {
namespace {

Bitboard squares(std::initializer_list<int> numbers) {
    Bitboard b = 0;
    for (int s : numbers) b |= bitOf(bitOfSquareNumber(s));
    return b;
}

// Parses from a heap buffer exactly the text's size (NUL included), so the
// sanitizer sees any read past the end.
bool parseExact(const std::string& text, int* side) {
    const std::vector<char> buffer(text.c_str(), text.c_str() + text.size() + 1);
    return parsePosition(buffer.data(), side);
}

class PositionText : public ::testing::Test {
protected:
    void SetUp() override { position = Position{0x77, 1, 2, 4, 8, 1, 1, 9}; }

    // A refused text leaves key, reversiblePlies and history length alone.
    static void expectRefused(const std::string& text) {
        historyPush(0);  // a non-zero length that a parse would reset
        position.reversiblePlies = 9;
        int side = 7;
        const uint64_t key = position.key;
        const uint32_t length = gameHistory.length;
        EXPECT_FALSE(parseExact(text, &side)) << text;
        EXPECT_EQ(side, 7) << text;
        EXPECT_EQ(position.key, key) << text;
        EXPECT_EQ(position.reversiblePlies, 9u) << text;
        EXPECT_EQ(gameHistory.length, length) << text;
    }
};

TEST_F(PositionText, TypicalText) {
    int side = 1;
    historyPush(0);
    ASSERT_TRUE(parseExact("B:W18,24,27,28,K10,K15:B12,16,20,K22,K25,K29.", &side));
    EXPECT_EQ(side, 0);
    EXPECT_EQ(position.wm, squares({18, 24, 27, 28}));
    EXPECT_EQ(position.wk, squares({10, 15}));
    EXPECT_EQ(position.bm, squares({12, 16, 20}));
    EXPECT_EQ(position.bk, squares({22, 25, 29}));
    EXPECT_EQ(position.wcount, 6u);
    EXPECT_EQ(position.bcount, 6u);
    EXPECT_EQ(position.key, keyFromScratch(position, 0));
    EXPECT_EQ(position.reversiblePlies, 0u);
    EXPECT_EQ(gameHistory.length, 0u);
}

TEST_F(PositionText, InitialArrangementWithWhiteToMove) {
    int side = 0;
    ASSERT_TRUE(parseExact("W:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.", &side));
    EXPECT_EQ(side, 1);
    EXPECT_EQ(position.wm, 0xFFF00000u);
    EXPECT_EQ(position.bm, 0x00000FFFu);
    EXPECT_EQ(position.key, keyFromScratch(position, 1));
    expectRefused("W:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12");
}

TEST_F(PositionText, FirstCharacterIsOnlyTheSide) {
    int side = 1;
    ASSERT_TRUE(parseExact("w:W5.", &side));  // lower case: Black
    EXPECT_EQ(side, 0);
    ASSERT_TRUE(parseExact("x5.", &side));  // anything else: Black, consumed
    EXPECT_EQ(side, 0);
    EXPECT_EQ(position.wm, squares({5}));
    ASSERT_TRUE(parseExact("W.", &side));
    EXPECT_EQ(side, 1);
    EXPECT_EQ(position.wm | position.wk | position.bm | position.bk, 0u);
}

TEST_F(PositionText, NumbersBeforeAnyColourAreWhite) {
    int side = 0;
    ASSERT_TRUE(parseExact("W:5,K6:B7.", &side));
    EXPECT_EQ(position.wm, squares({5}));
    EXPECT_EQ(position.wk, squares({6}));
    EXPECT_EQ(position.bm, squares({7}));
}

TEST_F(PositionText, KingFlagLastsUntilSeparatorOrColour) {
    int side = 0;
    ASSERT_TRUE(parseExact("B:WK10K15:B1.", &side));
    EXPECT_EQ(position.wk, squares({10, 15}));
    ASSERT_TRUE(parseExact("B:WK10,K15:B1.", &side));
    EXPECT_EQ(position.wk, squares({10, 15}));
    ASSERT_TRUE(parseExact("B:WK10,15:B1.", &side));
    EXPECT_EQ(position.wk, squares({10}));
    EXPECT_EQ(position.wm, squares({15}));
    ASSERT_TRUE(parseExact("B:WK10B1.", &side));  // a colour letter ends it too
    EXPECT_EQ(position.bm, squares({1}));
    EXPECT_EQ(position.bk, 0u);
}

TEST_F(PositionText, RepeatedSquaresAreNotChecked) {
    int side = 0;
    ASSERT_TRUE(parseExact("W:W5,5:B5.", &side));
    EXPECT_EQ(position.wm, squares({5}));
    EXPECT_EQ(position.wcount, 2u);
    EXPECT_EQ(position.bm, squares({5}));
    EXPECT_EQ(position.bcount, 1u);
    ASSERT_TRUE(parseExact("W:W1:B32.", &side));  // men on their crowning rows
    EXPECT_EQ(position.wm, squares({1}));
    EXPECT_EQ(position.bm, squares({32}));
}

TEST_F(PositionText, SyntaxErrors) {
    for (const char* text : {"", "W", "W:", "W:W5", "W:W5,", "W:W5 .", "W:W5,b6.", "W:W5-9.",
                             "W:W5:B6;", "W:W0.", "W:W33.", "W:W123.", "W:W999999999999999999999999999999.",
                             "W:W5,K"})
        expectRefused(text);
}

// A failed parse keeps the pieces read before the bad character.
TEST_F(PositionText, PiecesBeforeTheErrorStay) {
    expectRefused("B:W18,K10:B12,33.");
    EXPECT_EQ(position.wm, squares({18}));
    EXPECT_EQ(position.wk, squares({10}));
    EXPECT_EQ(position.bm, squares({12}));
    EXPECT_EQ(position.wcount, 1u + 1u);
    EXPECT_EQ(position.bcount, 1u);
}

TEST_F(PositionText, StopsAtTheFullStop) {
    int side = 0;
    ASSERT_TRUE(parseExact("W:W5.garbage that is never read", &side));
    EXPECT_EQ(position.wm, squares({5}));
    EXPECT_TRUE(parseExact("W:W032.", &side));  // leading zeros are still 32
    EXPECT_EQ(position.wm, squares({32}));
}

TEST_F(PositionText, RoundTripsWithPositionText) {
    std::mt19937 rng(31);
    for (int i = 0; i < 3000; ++i) {
        const int side = i & 1;
        support::loadEngine(support::randomPlacement(rng, (i % 11) / 10.0, (i % 4) / 3.0), side);
        const Position original = position;
        const std::string text = positionText(original, side);
        position = Position{};
        int parsedSide = -1;
        ASSERT_TRUE(parseExact(text, &parsedSide)) << text;
        EXPECT_EQ(parsedSide, side);
        EXPECT_EQ(position.wm, original.wm) << text;
        EXPECT_EQ(position.wk, original.wk) << text;
        EXPECT_EQ(position.bm, original.bm) << text;
        EXPECT_EQ(position.bk, original.bk) << text;
        EXPECT_EQ(position.wcount, original.wcount) << text;
        EXPECT_EQ(position.bcount, original.bcount) << text;
        EXPECT_EQ(position.key, original.key) << text;
        EXPECT_EQ(positionText(position, parsedSide), text);
    }
}

TEST(PositionTextFormat, ExactText) {
    Position p{};
    p.wm = squares({18, 24});
    p.wk = squares({10});
    p.bk = squares({29});
    EXPECT_EQ(positionText(p, 0), "B:WK10,18,24:BK29.");
    EXPECT_EQ(positionText(Position{}, 1), "W:W:B.");
}

}  // namespace
}  // namespace tarnvel
