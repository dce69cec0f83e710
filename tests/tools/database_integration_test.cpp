// The database seen from the command line: with the 4-piece database in
// ./db, `tarnvel eval` reports the database's verdict and `tarnvel move`
// counts database hits.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/scratch_dir.h"
#include "interface/hostboard.h"
#include "interface/postext.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {
namespace {

namespace fs = std::filesystem;

std::string run(const std::string& command) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return "";
    std::string output;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    pclose(pipe);
    return output;
}

class DatabaseFromTheCli : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = tarnvel::testing::makeScratchDir("dbcli");
        ASSERT_FALSE(dir.empty());
        run(std::string(TARNVEL_BINARY_DIR "/tarnvel-egdb build --pieces 4 --out ") +
            (dir / "db").string());
        ASSERT_TRUE(fs::exists(dir / "db" / "db4.idx"));
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    static std::string tarnvel(const std::string& arguments) {
        return run("cd '" + dir.string() + "' && " TARNVEL_BINARY_DIR "/tarnvel " + arguments);
    }
    static inline fs::path dir;
};

TEST_F(DatabaseFromTheCli, EvalReportsTheVerdictForTheSideToMove) {
    EXPECT_NE(tarnvel("eval B:WK32:BK1,K2.").find("EGTB     = win\n"), std::string::npos);
    EXPECT_NE(tarnvel("eval W:WK32:BK1,K2.").find("EGTB     = loss\n"), std::string::npos);
    EXPECT_NE(tarnvel("eval B:WK32,K31:BK1,K2.").find("EGTB     = draw\n"), std::string::npos);
    EXPECT_NE(tarnvel("eval B:W20:B16.").find("EGTB     = wild\n"), std::string::npos);
    // More pieces than the database covers.
    EXPECT_NE(tarnvel("eval B:WK32,K31:BK1,K2,K3.").find("EGTB     = unknown\n"), std::string::npos);
}

TEST_F(DatabaseFromTheCli, MoveCountsDatabaseHits) {
    const std::string out = tarnvel("move --time 0.2 B:WK32,K28:BK1,K2,5.");
    const size_t at = out.find("tbhits=");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_GT(std::atoll(out.c_str() + at + 7), 0) << out;
}

// In-process, as a host sees it: the first move opens the database, then
// "about" lists the index files and "get dbmbytes" the cache in use.
TEST_F(DatabaseFromTheCli, AboutAndCacheSizeAfterTheFirstMove) {
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    char reply[TARNVEL_REPLY_CAPACITY] = "";
    ASSERT_EQ(enginecommand("get dbmbytes", reply), 1);
    EXPECT_STREQ(reply, "0");
    int side = 0;
    ASSERT_TRUE(parsePosition("B:WK32:BK1,K2.", &side));
    int board[8][8] = {};
    exportHostBoard(board);
    char text[TARNVEL_TEXT_CAPACITY] = "";
    int playNow = 0;
    getmove(board, 2, 0.05, text, &playNow, 1, 0, 0);
    fs::current_path(previous);
    ASSERT_EQ(enginecommand("get dbmbytes", reply), 1);
    EXPECT_STREQ(reply, "1");  // 2000 blocks up to 5 pieces
    ASSERT_EQ(enginecommand("about", reply), 1);
    const std::string about = reply;
    EXPECT_NE(about.find("\n1MB endgames cache (4-piece)\n"), std::string::npos) << about;
    EXPECT_NE(about.find("\nDatabase Details:\ndb/db2.idx\ndb/db3.idx\ndb/db4.idx\n"),
              std::string::npos)
        << about;
}

}  // namespace
}  // namespace tarnvel
