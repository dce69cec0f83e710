// Reading and writing PDN: hand-written files, the first illegal move, and
// written games read back move for move.
#include <gtest/gtest.h>

#include <random>

#include "interface/postext.h"
#include "pdn_io.h"

namespace tarnvel::cli {
namespace {

constexpr const char* HAND_WRITTEN = R"(; a collection kept by hand
[Event "Club night"]
[Black "Ann"]
[White "Bob"]
[Result "1-1"]
1. 11-15 23-19 {the
   usual reply} 2. 8-11 22-17 3. 9-13 17-14! $1
3... 10x17 (3... 11-16?? {loses a piece}) 4.21x14 1-1

[Event "Lesson"]
[FEN "W:WK10,23:B9,K20"]
1... 23-18 2. 20-16 18-14 3. 9x18 10-15 *
)";

std::vector<PdnGame> read(const char* text) {
    std::vector<PdnGame> games;
    std::string error;
    EXPECT_TRUE(readPdn(text, games, error)) << error;
    return games;
}

std::string finalText(const GameRecord& record) {
    return positionText(currentPosition(record), sideToMove(record));
}

TEST(PdnRead, HandWrittenGamesWithCommentsAndFen) {
    const std::vector<PdnGame> games = read(HAND_WRITTEN);
    ASSERT_EQ(games.size(), 2u);
    EXPECT_EQ(*findTag(games[0], "White"), "Bob");
    EXPECT_EQ(games[0].result, "1-1");
    EXPECT_EQ(games[0].moves.size(), 8u);
    EXPECT_EQ(games[0].moves[5].text, "17-14");
    EXPECT_EQ(games[0].moves[6].line, 8);
    EXPECT_EQ(games[1].result, "*");
    EXPECT_EQ(findTag(games[1], "Black"), nullptr);

    GameRecord record;
    std::string error;
    ASSERT_TRUE(replayPdnGame(games[0], record, error)) << error;
    EXPECT_EQ(finalText(record), "B:W14,19,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,11,12,13,15.");
    ASSERT_TRUE(replayPdnGame(games[1], record, error)) << error;
    EXPECT_EQ(finalText(record), "B:WK15:BK16,18.");
}

TEST(PdnRead, ReportsTheFirstIllegalMove) {
    const std::vector<PdnGame> games = read(
        "[Event \"one\"]\n1. 11-15 23-19 1-1\n[Event \"two\"]\n"
        "1. 9-14 22-17 2. 11-15 25-22 3. 8-11 17-13 4. 4-8 24-20 5. 15-19 24-19 2-0\n");
    ASSERT_EQ(games.size(), 2u);
    GameRecord record;
    std::string error;
    EXPECT_TRUE(replayPdnGame(games[0], record, error)) << error;
    EXPECT_FALSE(replayPdnGame(games[1], record, error));
    EXPECT_EQ(error, "move 5 (White): illegal move 24-19 (line 4)");
    EXPECT_EQ(record.moves.size(), 9u);

    const std::vector<PdnGame> fromWhite =
        read("[FEN \"W:W18:B1\"]\n1... 18-15 2. 1-5 15-11 3. 5-1 *");
    EXPECT_FALSE(replayPdnGame(fromWhite[0], record, error));
    EXPECT_EQ(error, "move 3 (Black): illegal move 5-1 (line 2)");

    const std::vector<PdnGame> badFen = read("[FEN \"W:W18:B18\"]\n*");
    EXPECT_FALSE(replayPdnGame(badFen[0], record, error));
    EXPECT_EQ(error, "FEN tag \"W:W18:B18\": square 18 is given twice");
}

TEST(PdnRead, SyntaxErrorsNameTheirLine) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"1. 11-15 {never closed\n\n", "line 1: unterminated comment"},
        {"\n[Event \"x\"\n", "line 2: malformed tag"},
        {"[Event \"x]\n", "line 1: unterminated tag value"},
        {"1. 11-15\n\n2. hello", "line 3: unexpected 'hello'"},
        {"1. 11-15 (2. 8-11", "line 1: unterminated variation"},
        {"1. 11-15 }", "line 1: unexpected '}'"},
    };
    for (const Case& c : cases) {
        std::vector<PdnGame> games;
        std::string error;
        EXPECT_FALSE(readPdn(c.text, games, error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
    // Without a closing result the tags of the next game end the last one.
    const std::vector<PdnGame> games = read("[Result \"2-0\"]\n1. 11-15\n[Event \"b\"]\n1. 9-13");
    ASSERT_EQ(games.size(), 2u);
    EXPECT_EQ(games[0].result, "2-0");
    EXPECT_EQ(games[1].result, "*");
}

// Random games, from the start and from set-up positions with either side
// to move, written and read back: same tags, moves, result and positions.
TEST(PdnWrite, RandomGamesReadBackMoveForMove) {
    std::mt19937 rng(21);
    const char* starts[] = {INITIAL_POSITION_TEXT, "W:W18,22,K30:B5,9,K27.",
                            "B:WK1,K2,13,14:B20,21,K32."};
    for (int g = 0; g < 60; ++g) {
        Position start{};
        int side = 0;
        std::string error;
        ASSERT_TRUE(parseFen(starts[g % 3], start, side, error));
        GameRecord written = newGame(start, side);
        for (int ply = 0; ply < 150 && adjudicate(written).outcome == Outcome::ONGOING; ++ply) {
            const std::vector<LegalMove> moves =
                legalMoves(currentPosition(written), sideToMove(written));
            playMove(written, moves[rng() % moves.size()]);
        }
        const Adjudication end = adjudicate(written);
        const std::string text = writePdnGame(
            {{"Event", "random \"game\" \\ " + std::to_string(g)}, {"Date", pdnDate()}}, written,
            end.reason, pdnResult(end.outcome));
        const std::vector<PdnGame> games = read(text.c_str());
        ASSERT_EQ(games.size(), 1u) << text;
        EXPECT_EQ(*findTag(games[0], "Event"), "random \"game\" \\ " + std::to_string(g));
        EXPECT_EQ(games[0].result, pdnResult(end.outcome));
        EXPECT_EQ(findTag(games[0], "FEN") != nullptr, g % 3 != 0);
        GameRecord back;
        ASSERT_TRUE(replayPdnGame(games[0], back, error)) << error << "\n" << text;
        EXPECT_EQ(back.moves, written.moves);
        ASSERT_EQ(back.positions.size(), written.positions.size());
        for (size_t i = 0; i < back.positions.size(); ++i)
            EXPECT_TRUE(samePieces(back.positions[i], written.positions[i]));
        for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; ++at) {
            const size_t start = text.rfind('\n', at - 1);
            EXPECT_LE(at - (start == std::string::npos ? 0 : start + 1), 79u);
        }
    }
}

TEST(PdnWrite, NumbersMovesFromEitherSide) {
    int side = 0;
    Position start{};
    std::string error;
    ASSERT_TRUE(parseFen("W:W18:B1", start, side, error));
    GameRecord g = newGame(start, side);
    for (const char* m : {"18-15", "1-5", "15-11"}) {
        const std::vector<LegalMove> moves = legalMoves(currentPosition(g), sideToMove(g));
        playMove(g, moves[matchMove(moves, parseMoveSquares(m)).at(0)]);
    }
    EXPECT_EQ(writePdnGame({{"Event", "e"}}, g, "", "*"),
              "[Event \"e\"]\n[Result \"*\"]\n[FEN \"W:W18:B1.\"]\n1... 18-15 2. 1-5 15-11 *\n\n");
    EXPECT_EQ(moveLabel(g, 0), "move 1 (White)");
    EXPECT_EQ(moveLabel(g, 1), "move 2 (Black)");
    EXPECT_EQ(moveLabel(g, 2), "move 2 (White)");
}

}  // namespace
}  // namespace tarnvel::cli
