// tarnvel-egdb verify on a built database and planted faults, its bad
// arguments, and the database's verdicts through `tarnvel`.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <functional>

#include "support/built_database.h"
#include "support/scratch_dir.h"

namespace tarnvel {
namespace {

namespace fs = std::filesystem;

// Status and output (stdout and stderr together) of a shell command.
std::pair<int, std::string> run(const std::string& command) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    std::string output;
    char buffer[4096];
    for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::pair<int, std::string> egdb(const std::string& arguments) { return run(TARNVEL_BINARY_DIR "/tarnvel-egdb " + arguments); }

class EgdbTool : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE((dir = testing::makeScratchDir("egdb-cli")).empty()); }
    void TearDown() override { fs::remove_all(dir); }
    // Verifies a copy of the built 3-piece database with one file changed.
    std::pair<int, std::string> verifyChanged(const std::string& file, const std::function<void(std::string&)>& change) {
        fs::remove_all(dir / "db");
        fs::copy(testing::builtDatabase(3) / "db", dir / "db");
        std::string bytes = testing::readText(dir / "db" / file);
        change(bytes);
        testing::writeText(dir / "db" / file, bytes);
        return egdb("verify " + (dir / "db").string());
    }
    fs::path dir;
};

TEST_F(EgdbTool, VerifyPassesTheBuiltDatabaseAndFindsPlantedFaults) {
    const auto [status, output] = verifyChanged("db2.idx", [](std::string&) {});
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find(" 0 inconsistent, 0 without a result"), std::string::npos) << output;
    // A slice stored as all draws made all wins.
    const auto flipped = verifyChanged("db2.idx", [](std::string& index) {
        const size_t at = index.find("BASE1,0,1,0,3,3,b:=");
        ASSERT_NE(at, std::string::npos);
        index[at + 18] = '+';
    });
    EXPECT_EQ(flipped.first, 1) << flipped.second;
    EXPECT_NE(flipped.second.find("stored win, its moves give draw"), std::string::npos) << flipped.second;
    // A long run of wins (codes 119 … 138) made the same run of losses.
    const auto changed = verifyChanged("db3.cpr", [](std::string& blocks) {
        const auto run = std::find_if(blocks.begin(), blocks.end(), [](char c) { return uint8_t(c) >= 119 && uint8_t(c) <= 138; });
        ASSERT_NE(run, blocks.end());
        *run = static_cast<char>(uint8_t(*run) + 58);
    });
    EXPECT_EQ(changed.first, 1) << changed.second;
    EXPECT_NE(changed.second.find("stored loss"), std::string::npos) << changed.second;
}

TEST_F(EgdbTool, HelpAndBadArguments) {
    fs::create_directories(dir / "notdb");
    fs::create_directories(dir / "empty" / "db");
    const std::tuple<std::string, int, std::string> cases[] = {
        {"--help", 0, "usage: tarnvel-egdb"}, {"verify --help", 0, "usage: tarnvel-egdb"}, {"solve", 2, ""},
        {"build --pieces 8", 2, ""}, {"build --pieces x", 2, ""}, {"build --pieces 4 --threads 0", 2, ""},
        {"build --pieces", 2, ""}, {"verify a b", 2, ""},
        {"verify " + (dir / "notdb").string(), 2, "must be a directory named db"},
        {"verify " + (dir / "empty" / "db").string(), 1, "no database in"},
    };
    for (const auto& [arguments, status, words] : cases) {
        const auto [got, output] = egdb(arguments);
        EXPECT_EQ(got, status) << arguments << ": " << output;
        EXPECT_NE(output.find(words), std::string::npos) << arguments << ": " << output;
        EXPECT_TRUE(status == 0 || std::count(output.begin(), output.end(), '\n') == 1) << arguments << ": " << output;
    }
    EXPECT_EQ(egdb("").first, 2);
}

TEST(DatabaseFromTheCli, EvalReportsTheVerdictAndMoveCountsHits) {
    const fs::path dir = testing::builtDatabase(4);
    ASSERT_FALSE(dir.empty());
    const auto tarnvel = [&](const std::string& arguments) {
        return run("cd '" + dir.string() + "' && " TARNVEL_BINARY_DIR "/tarnvel " + arguments).second;
    };
    for (const auto& [fen, verdict] : {std::pair{"B:WK32:BK1,K2.", "win"}, {"W:WK32:BK1,K2.", "loss"},
                                       {"B:WK32,K31:BK1,K2.", "draw"}, {"B:W20:B16.", "wild"},
                                       {"B:WK32,K31:BK1,K2,K3.", "unknown"}})  // more pieces than it covers
        EXPECT_NE(tarnvel(std::string("eval ") + fen).find("EGTB     = " + std::string(verdict) + "\n"), std::string::npos) << fen;
    const std::string move = tarnvel("move --time 0.2 B:WK32,K28:BK1,K2,5.");
    ASSERT_NE(move.find("tbhits="), std::string::npos) << move;
    EXPECT_GT(std::atoll(move.c_str() + move.find("tbhits=") + 7), 0) << move;
}

}  // namespace
}  // namespace tarnvel
