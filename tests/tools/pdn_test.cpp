// PDN: syntax errors, the first illegal move, written games read back.
#include <random>

#include "interface/postext.h"
#include "pdn_io.h"
#include "tools/game_support.h"

namespace tarnvel::cli {
namespace {

std::vector<PdnGame> read(const std::string& text) {
    std::vector<PdnGame> games;
    std::string error;
    EXPECT_TRUE(readPdn(text, games, error)) << error;
    return games;
}

TEST(PdnRead, SyntaxErrorsAndIllegalMovesNameTheirLine) {
    const std::pair<const char*, const char*> syntax[] = {
        {"1. 11-15 {never closed\n\n", "line 1: unterminated comment"},
        {"\n[Event \"x\"\n", "line 2: malformed tag"},
        {"[Event \"x]\n", "line 1: unterminated tag value"},
        {"1. 11-15\n\n2. hello", "line 3: unexpected 'hello'"},
        {"1. 11-15 (2. 8-11", "line 1: unterminated variation"},
    };
    for (const auto& [text, message] : syntax) {
        std::vector<PdnGame> games;
        std::string error;
        EXPECT_FALSE(readPdn(text, games, error)) << text;
        EXPECT_EQ(error, message);
    }
    const std::pair<const char*, const char*> illegal[] = {
        {"1. 9-14 22-17 2. 11-15 25-22 3. 8-11 17-13\n4. 4-8 24-20 5. 15-19 24-19 2-0",
         "move 5 (White): illegal move 24-19 (line 2)"},
        {"[FEN \"W:W18:B1\"]\n1... 18-15 2. 1-5 15-11 3. 5-1 *", "move 3 (Black): illegal move 5-1 (line 2)"},
        {"[FEN \"W:W18:B18\"]\n*", "FEN tag \"W:W18:B18\": square 18 is given twice"},
    };
    for (const auto& [text, error] : illegal) {
        GameRecord record;
        std::string got;
        EXPECT_FALSE(replayPdnGame(read(text).at(0), record, got));
        EXPECT_EQ(got, error);
    }
}

// Random games from the start and set-up positions written and read back:
// same tags, moves, result and positions, lines within 79 characters.
TEST(PdnWrite, RandomGamesReadBackMoveForMove) {
    std::mt19937 rng(21);
    const char* starts[] = {INITIAL_POSITION_TEXT, "W:W18,22,K30:B5,9,K27.", "B:WK1,K2,13,14:B20,21,K32."};
    for (int g = 0; g < 60; ++g) {
        GameRecord written = gameFrom(starts[g % 3]);
        for (int ply = 0; ply < 150 && adjudicate(written).outcome == Outcome::ONGOING; ++ply) {
            const std::vector<LegalMove> moves = legalMoves(currentPosition(written), sideToMove(written));
            playMove(written, moves[rng() % moves.size()]);
        }
        const Adjudication end = adjudicate(written);
        const std::string event = "random \"game\" \\ " + std::to_string(g);
        const std::string text = writePdnGame({{"Event", event}, {"Date", pdnDate()}}, written, end.reason, pdnResult(end.outcome));
        const std::vector<PdnGame> games = read(text);
        ASSERT_EQ(games.size(), 1u) << text;
        EXPECT_EQ(*findTag(games[0], "Event"), event);
        EXPECT_EQ(games[0].result, pdnResult(end.outcome));
        EXPECT_EQ(findTag(games[0], "FEN") != nullptr, g % 3 != 0);
        GameRecord back;
        std::string error;
        ASSERT_TRUE(replayPdnGame(games[0], back, error)) << error << "\n" << text;
        EXPECT_EQ(back.moves, written.moves);
        ASSERT_EQ(back.positions.size(), written.positions.size());
        for (size_t i = 0; i < back.positions.size(); ++i) EXPECT_TRUE(samePieces(back.positions[i], written.positions[i]));
        for (size_t at = 0, from = 0; (at = text.find('\n', from)) != std::string::npos; from = at + 1)
            EXPECT_LE(at - from, 79u);
    }
    // Numbered from White's move.
    GameRecord g = gameFrom("W:W18:B1");
    for (const char* m : {"18-15", "1-5", "15-11"}) play(g, m);
    EXPECT_EQ(writePdnGame({{"Event", "e"}}, g, "", "*"),
              "[Event \"e\"]\n[Result \"*\"]\n[FEN \"W:W18:B1.\"]\n1... 18-15 2. 1-5 15-11 *\n\n");
    EXPECT_EQ(moveLabel(g, 1), "move 2 (Black)");
}

}  // namespace
}  // namespace tarnvel::cli
