#include <gtest/gtest.h>

#include "board_view.h"
#include "game.h"

namespace tarnvel::cli {
namespace {

TEST(HostBoardView, InitialArrangementBothWays) {
    EXPECT_EQ(boardText(initialPosition(), false),
              "  +------------------------+   +------------------------+\n"
              "  |    b     b     b     b |   |    1     2     3     4 |\n"
              "  | b     b     b     b    |   | 5     6     7     8    |\n"
              "  |    b     b     b     b |   |    9    10    11    12 |\n"
              "  | .     .     .     .    |   |13    14    15    16    |\n"
              "  |    .     .     .     . |   |   17    18    19    20 |\n"
              "  | w     w     w     w    |   |21    22    23    24    |\n"
              "  |    w     w     w     w |   |   25    26    27    28 |\n"
              "  | w     w     w     w    |   |29    30    31    32    |\n"
              "  +------------------------+   +------------------------+\n");
    // Turned around: White's single corner, 29, is top right.
    const std::string flipped = boardText(initialPosition(), true);
    EXPECT_NE(flipped.find("  |    w     w     w     w |   |   32    31    30    29 |\n"),
              std::string::npos)
        << flipped;
    EXPECT_NE(flipped.find("  | b     b     b     b    |   | 4     3     2     1    |\n"),
              std::string::npos)
        << flipped;
}

TEST(HostBoardView, KingsAndMenOfBothColours) {
    int side = 0;
    Position p{};
    std::string error;
    ASSERT_TRUE(parseFen("B:W32,K1:B29,K4.", p, side, error));
    const std::string text = boardText(p, false);
    EXPECT_NE(text.find("  |    W     .     .     B |"), std::string::npos) << text;
    EXPECT_NE(text.find("  | b     .     .     w    |"), std::string::npos) << text;
}

}  // namespace
}  // namespace tarnvel::cli
