// tarnvel-egdb verify on a built database and planted faults, its bad
// arguments, and the database's verdicts through `tarnvel` and getmove.
#include <functional>

#include "interface/engine_state.h"
#include "interface/hostboard.h"
#include "interface/postext.h"
#include "tarnvel/tarnvel.h"
#include "tools/cli_run.h"

namespace tarnvel::testing {
namespace {

namespace fs = std::filesystem;

class EgdbTool : public ScratchDirTest {
protected:
    // Verifies a copy of the built 3-piece database with one file changed.
    void verify(const std::string& file, const std::function<void(std::string&)>& change, int status, const std::string& finding) {
        fs::remove_all("db");
        fs::copy(builtDatabase(3) / "db", "db");
        std::string bytes = readText("db/" + file);
        change(bytes);
        writeText("db/" + file, bytes);
        const auto [got, output] = run(EGDB + "verify db");
        EXPECT_EQ(got, status) << output;
        EXPECT_NE(output.find(finding), std::string::npos) << output;
    }
};

TEST_F(EgdbTool, VerifyPassesTheBuiltDatabaseAndFindsPlantedFaults) {
    verify("db2.idx", [](std::string&) {}, 0, " 0 inconsistent, 0 without a result");
    // A slice stored as all draws made all wins.
    verify("db2.idx", [](std::string& index) {
        const size_t at = index.find("BASE1,0,1,0,3,3,b:=");
        ASSERT_NE(at, std::string::npos);
        index[at + 18] = '+';
    }, 1, "stored win, its moves give draw");
    // A long run of wins (codes 119 … 138) made the same run of losses.
    verify("db3.cpr", [](std::string& blocks) {
        const auto run = std::find_if(blocks.begin(), blocks.end(), [](char c) { return uint8_t(c) >= 119 && uint8_t(c) <= 138; });
        ASSERT_NE(run, blocks.end());
        *run = static_cast<char>(uint8_t(*run) + 58);
    }, 1, "stored loss");
}

// Positions numbered with the processor's bit gather and with plain loops
// give the same files, and each way verifies the other's.
TEST_F(EgdbTool, BothWaysOfNumberingAgree) {
    const auto [built, output] = run("TARNVEL_EGDB_PORTABLE_BITS=1 " + EGDB + "build --pieces 4 --out db");
    ASSERT_EQ(built, 0) << output;
    for (const char* file : {"db2.idx", "db2.cpr", "db3.idx", "db3.cpr", "db4.idx", "db4.cpr"})
        EXPECT_EQ(readText(std::string("db/") + file), readText(builtDatabase(4) / "db" / file)) << file;
    for (const char* env : {"", "TARNVEL_EGDB_PORTABLE_BITS=1 "}) {
        const auto [status, checked] = run(std::string(env) + EGDB + "verify db");
        EXPECT_EQ(status, 0) << env << checked;
    }
}

// One line naming the fault, or the usage.
TEST_F(EgdbTool, HelpAndBadArguments) {
    fs::create_directories("notdb");
    fs::create_directories("empty/db");
    const std::tuple<std::string, int, std::string> cases[] = {
        {"--help", 0, "usage: tarnvel-egdb"}, {"", 2, "A subcommand is required"}, {"solve", 2, ""}, {"build --pieces 8", 2, ""}, {"verify a b", 2, ""},
        {"verify notdb", 2, "must be a directory named db"}, {"verify empty/db", 1, "no database in"},
    };
    for (const auto& [arguments, status, words] : cases) {
        const auto [got, output] = run(EGDB + arguments);
        EXPECT_EQ(got, status) << arguments << ": " << output;
        EXPECT_NE(output.find(words), std::string::npos) << arguments << ": " << output;
        EXPECT_TRUE(words.starts_with("usage") || std::count(output.begin(), output.end(), '\n') == 1) << arguments << ": " << output;
    }
}

TEST_F(FourPieces, EvalReportsTheVerdict) {
    for (const auto& [fen, verdict] : {std::pair{"B:WK32:BK1,K2.", "win"}, {"W:WK32:BK1,K2.", "loss"},
                                       {"B:WK32,K31:BK1,K2.", "draw"}, {"B:W20:B16.", "wild"},
                                       {"B:WK32,K31:BK1,K2,K3.", "unknown"}})  // more pieces than it covers
        EXPECT_NE(run(TARNVEL + "eval " + fen).second.find("EGTB     = " + std::string(verdict) + "\n"), std::string::npos) << fen;
}

// Both sides played through getmove: two kings beat one out of the double corner.
TEST_F(FourPieces, WonEndingIsWonOverTheBoard) {
    int side = 0, board[8][8] = {}, playNow = 0, loser = -1;
    char text[TARNVEL_TEXT_CAPACITY] = "";
    ASSERT_TRUE(parsePosition("B:WK32:BK1,K2.", &side));
    exportHostBoard(board);
    for (int ply = 0; ply < 200 && loser < 0; ++ply) {
        const int color = ply % 2 == 0 ? 2 : 1;  // Black first
        if (getmove(board, color, 0.02, text, &playNow, ply == 0, 0, 0) == TARNVEL_LOSS) loser = color;
    }
    EXPECT_EQ(dbPieceLimit, 4u);
    EXPECT_EQ(loser, 1) << "White, the side the database calls lost, must run out of moves";
}

}  // namespace
}  // namespace tarnvel::testing
