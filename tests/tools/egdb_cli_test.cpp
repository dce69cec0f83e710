// tarnvel-egdb as a user runs it: the files it writes fit the engine's
// limits and open, verify passes them and catches planted faults, and bad
// arguments end with one line and status 2. Then the database seen through
// the host: `tarnvel eval` and `move`, and a host's "about".
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <functional>

#include "egdb/database.h"
#include "interface/hostboard.h"
#include "interface/postext.h"
#include "support/built_database.h"
#include "support/scratch_dir.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int status;
    std::string output;  // stdout and stderr together
};

ToolRun run(const std::string& command) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return {-1, ""};
    std::string output;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

ToolRun egdb(const std::string& arguments) { return run(TARNVEL_BINARY_DIR "/tarnvel-egdb " + arguments); }

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class EgdbTool : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE((dir = testing::makeScratchDir("egdb-cli")).empty()); }
    void TearDown() override { fs::remove_all(dir); }
    // A copy of the built 3-piece database, with one file changed.
    fs::path changedCopy(const std::string& file, const std::function<void(std::string&)>& change) {
        const fs::path built = testing::builtDatabase(3);
        EXPECT_FALSE(built.empty());
        fs::copy(built / "db", dir / "db");
        std::string bytes = readFile(dir / "db" / file);
        change(bytes);
        std::ofstream(dir / "db" / file, std::ios::binary | std::ios::trunc) << bytes;
        return dir / "db";
    }
    fs::path dir;
};

TEST_F(EgdbTool, BuildWritesFilesWithinTheBlockCapThatTheEngineOpens) {
    const ToolRun build = egdb("build --pieces 3 --out " + (dir / "db").string());
    ASSERT_EQ(build.status, 0) << build.output;
    uint64_t blocks = 0;
    for (const char* name : {"db2", "db3"}) {
        ASSERT_TRUE(fs::exists(dir / "db" / (std::string(name) + ".idx")));
        EXPECT_EQ(fs::file_size(dir / "db" / (std::string(name) + ".cpr")) % 1024, 0u);
        blocks += fs::file_size(dir / "db" / (std::string(name) + ".cpr")) / 1024;
    }
    EXPECT_NE(build.output.find(" " + std::to_string(blocks) + " blocks of the 250 "), std::string::npos) << build.output;
    EXPECT_NE(build.output.find("solved 399040 positions"), std::string::npos) << build.output;
    EXPECT_FALSE(fs::exists(dir / "db" / ".tarnvel-egdb-staging"));
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    char text[TARNVEL_TEXT_CAPACITY] = "";
    EXPECT_EQ(openDatabase(64, text), 4);
    closeDatabase();
    fs::current_path(previous);
}

TEST_F(EgdbTool, VerifyPassesTheBuiltDatabaseAndFindsPlantedFaults) {
    const ToolRun good = egdb("verify " + (testing::builtDatabase(3) / "db").string());
    EXPECT_EQ(good.status, 0) << good.output;
    EXPECT_NE(good.output.find(" 0 inconsistent, 0 without a result"), std::string::npos) << good.output;
    EXPECT_EQ(good.output.find("inconsistent:"), std::string::npos);
    // A slice stored as all draws made all wins.
    const ToolRun flipped = egdb("verify " + changedCopy("db2.idx", [](std::string& index) {
                                                 const std::string head = "BASE1,0,1,0,3,3,b:";
                                                 ASSERT_NE(index.find(head + "="), std::string::npos);
                                                 index[index.find(head + "=") + head.size()] = '+';
                                             }).string());
    EXPECT_EQ(flipped.status, 1) << flipped.output;
    EXPECT_NE(flipped.output.find("stored win, its moves give draw"), std::string::npos) << flipped.output;
    fs::remove_all(dir / "db");
    // A long run of wins (codes 119 … 138 cover at least 100 positions)
    // turned into the same run of losses, 58 codes on.
    const ToolRun changed = egdb("verify " + changedCopy("db3.cpr", [](std::string& blocks) {
                                                 const auto run = std::find_if(blocks.begin(), blocks.end(), [](char c) {
                                                     return static_cast<uint8_t>(c) >= 119 && static_cast<uint8_t>(c) <= 138;
                                                 });
                                                 ASSERT_NE(run, blocks.end());
                                                 *run = static_cast<char>(static_cast<uint8_t>(*run) + 58);
                                             }).string());
    EXPECT_EQ(changed.status, 1) << changed.output;
    EXPECT_NE(changed.output.find("stored loss"), std::string::npos) << changed.output;
}

TEST_F(EgdbTool, HelpAndBadArguments) {
    for (const char* help : {"--help", "build --help", "verify --help"}) {
        const ToolRun r = egdb(help);
        EXPECT_EQ(r.status, 0) << help;
        EXPECT_EQ(r.output.rfind("usage: tarnvel-egdb", 0), 0u) << r.output;
    }
    fs::create_directories(dir / "notdb");
    fs::create_directories(dir / "empty" / "db");
    const struct {
        std::string arguments;
        int status;
        const char* words;
    } cases[] = {
        {"solve", 2, ""}, {"build", 2, ""}, {"build --pieces 7", 2, ""}, {"build --pieces 1", 2, ""},
        {"build --pieces x", 2, ""}, {"build --pieces 4 --threads 0", 2, ""}, {"build --pieces", 2, ""},
        {"build --pieces 4 extra", 2, ""}, {"verify a b", 2, ""}, {"verify --fast", 2, ""},
        {"verify " + (dir / "notdb").string(), 2, "must be a directory named db"},
        {"verify " + (dir / "empty" / "db").string(), 1, "no database in"},
    };
    for (const auto& c : cases) {
        const ToolRun r = egdb(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments << ": " << r.output;
        EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << c.arguments << ": " << r.output;
        EXPECT_NE(r.output.find(c.words), std::string::npos) << c.arguments << ": " << r.output;
    }
    EXPECT_EQ(egdb("").status, 2);
}

TEST(DatabaseFromTheCli, EvalMoveAndAbout) {
    const fs::path dir = testing::builtDatabase(4);
    ASSERT_FALSE(dir.empty());
    const auto tarnvel = [&](const std::string& arguments) {
        return run("cd '" + dir.string() + "' && " TARNVEL_BINARY_DIR "/tarnvel " + arguments).output;
    };
    for (const auto& [fen, verdict] : {std::pair{"B:WK32:BK1,K2.", "win"}, {"W:WK32:BK1,K2.", "loss"},
                                       {"B:WK32,K31:BK1,K2.", "draw"}, {"B:W20:B16.", "wild"},
                                       {"B:WK32,K31:BK1,K2,K3.", "unknown"}})  // more pieces than it covers
        EXPECT_NE(tarnvel(std::string("eval ") + fen).find("EGTB     = " + std::string(verdict) + "\n"), std::string::npos)
            << fen;
    const std::string move = tarnvel("move --time 0.2 B:WK32,K28:BK1,K2,5.");
    ASSERT_NE(move.find("tbhits="), std::string::npos) << move;
    EXPECT_GT(std::atoll(move.c_str() + move.find("tbhits=") + 7), 0) << move;

    // In-process, as a host sees it: the first move opens the database,
    // then "about" lists the index files and "get dbmbytes" the cache.
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    char reply[TARNVEL_REPLY_CAPACITY] = "";
    ASSERT_EQ(enginecommand("get dbmbytes", reply), 1);
    EXPECT_STREQ(reply, "0");
    int side = 0, board[8][8] = {}, playNow = 0;
    ASSERT_TRUE(parsePosition("B:WK32:BK1,K2.", &side));
    exportHostBoard(board);
    char text[TARNVEL_TEXT_CAPACITY] = "";
    getmove(board, 2, 0.05, text, &playNow, 1, 0, 0);
    fs::current_path(previous);
    ASSERT_EQ(enginecommand("get dbmbytes", reply), 1);
    EXPECT_STREQ(reply, "1");  // 2000 blocks up to 5 pieces
    ASSERT_EQ(enginecommand("about", reply), 1);
    EXPECT_NE(std::string(reply).find("\n1MB endgames cache (4-piece)\n"), std::string::npos) << reply;
    EXPECT_NE(std::string(reply).find("\nDatabase Details:\ndb/db2.idx\ndb/db3.idx\ndb/db4.idx\n"), std::string::npos) << reply;
}

}  // namespace
}  // namespace tarnvel
