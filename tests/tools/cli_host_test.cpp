// The built `tarnvel` host: a game played out, a short match, and the exact
// texts of help and refusals.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <sstream>

#include "support/built_database.h"
#include "support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

const std::string HOST = TARNVEL_BINARY_DIR "/tarnvel";
const std::string LIBRARY = TARNVEL_BINARY_DIR "/libTarnvel.so";

struct Finished {
    int status;
    std::string out, err;
};

class HostCli : public ::testing::Test {
public:
    void SetUp() override { ASSERT_FALSE((dir = tarnvel::testing::makeScratchDir("host")).empty()); }
    void TearDown() override { fs::remove_all(dir); }

    // The built 3-piece database as ./db.
    void addDatabase() {
        const fs::path built = tarnvel::testing::builtDatabase(3);
        ASSERT_FALSE(built.empty());
        fs::create_directory_symlink(built / "db", dir / "db");
    }

    Finished run(const std::string& args, const std::string& input = "") {
        tarnvel::testing::writeText(dir / "input.txt", input);
        const std::string command = "cd '" + dir.string() + "' && " + HOST + " " + args + " <input.txt >out.txt 2>err.txt";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, tarnvel::testing::readText(dir / "out.txt"), tarnvel::testing::readText(dir / "err.txt")};
    }

    fs::path dir;
};

// From a set-up position the engine's one capture ends the game.
TEST_F(HostCli, PlayedGameEndsWithResultAndReason) {
    const Finished r = run("play --side white --time 0.05 --hash 16 --position 'B:W18:B14' --engine " + LIBRARY,
                           "23-19\nsave end.pdn\nquit\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("  | .     b     .     .    |   |13    14    15    16    |\n"
                         "  |    .     w     .     . |   |   17    18    19    20 |\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("plays 14x23"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("game over: Black wins (White has no pieces left), 2-0"), std::string::npos) << r.out;
    EXPECT_NE(tarnvel::testing::readText(dir / "end.pdn").find("[FEN \"B:W18:B14.\"]\n1. 14x23 {White has no pieces left} 2-0\n"),
              std::string::npos);
    const Finished replay = run("pdn replay end.pdn");
    EXPECT_EQ(replay.status, 0) << replay.err;
    EXPECT_NE(replay.out.find("game 1: 1 plies, result 2-0, final position W:W:B23."), std::string::npos) << replay.out;
}

// Two games of the first opening, colours swapped, with a database in
// ./db: the table adds up and the PDN replays.
TEST_F(HostCli, ShortMatchBetweenTwoCopiesOfOneLibrary) {
    addDatabase();
    const Finished r =
        run("match --engine " + LIBRARY + " --engine " + LIBRARY + " --time 0.01 --games 2 --hash 4 --pdn-out games.pdn");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* game : {"game 1/2: opening 1 ", "game 2/2: opening 1 "}) EXPECT_NE(r.out.find(game), std::string::npos) << r.out;
    // Table lines "name (A) games wins losses draws": B's wins are A's losses.
    std::istringstream a(r.out.substr(r.out.find("(A) "))), b(r.out.substr(r.out.find("(B) ")));
    std::string label;
    int ga, wa, la, da, gb, wb, lb, db;
    a >> label >> ga >> wa >> la >> da;
    b >> label >> gb >> wb >> lb >> db;
    EXPECT_EQ(std::make_tuple(ga, gb, wa + la + da), std::make_tuple(2, 2, 2)) << r.out;
    EXPECT_EQ(std::make_tuple(wa, la, da), std::make_tuple(lb, wb, db));
    EXPECT_NE(r.out.find("Elo difference A - B: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("illegal boards: 0"), std::string::npos);
    // A is Black first, then White.
    const std::string pdn = tarnvel::testing::readText(dir / "games.pdn");
    EXPECT_LT(pdn.find("(A)\"]\n[White"), pdn.find("(B)\"]\n[White")) << pdn;
    const Finished replay = run("pdn replay games.pdn");
    EXPECT_EQ(replay.status, 0) << replay.err;
    EXPECT_NE(replay.out.find("game 2: "), std::string::npos) << replay.out;
    EXPECT_EQ(replay.out.find("game 3: "), std::string::npos) << replay.out;
}

TEST_F(HostCli, HelpAndRefusals) {
    tarnvel::testing::writeText(dir / "notalib.so", "plain text");
    tarnvel::testing::writeText(dir / "bad.pdn", "[Event \"one\"]\n1. 11-15 23-19 1-1\n[Event \"two\"]\n{ a comment }\n"
                                      "1. 9-14 22-17 2. 11-15 25-22 3. 8-11 17-13\n4. 4-8 24-20 5. 15-19 24-19 2-0\n");
    const struct {
        std::string args;
        int status;
        std::string err;  // the whole of stderr, or for help the first line of stdout
    } cases[] = {
        {"play --help", 0, "usage: tarnvel play [--time S] [--side black|white] [--hash MB] [--engine LIB]"},
        {"match --help", 0, "usage: tarnvel match --engine LIB_A --engine LIB_B [--time S] [--games N]"},
        {"pdn replay --help", 0, "usage: tarnvel pdn replay FILE"},
        {"play --engine libm.so.6", 1,
         "tarnvel play: 'libm.so.6' is not a checkers engine library (no getmove entry point)\n"},
        {"play --engine notalib.so", 1, "tarnvel play: cannot load engine library 'notalib.so': ./notalib.so: file too short\n"},
        {"match --engine x", 2, "tarnvel match: needs two --engine libraries (try tarnvel match --help)\n"},
        {"match --engine a --engine b --games 0", 2,
         "tarnvel match: --games must be a whole number from 1 to 1000000, not '0'\n"},
        {"play --time nan", 2, "tarnvel play: --time must be seconds above 0 and at most 86400, not 'nan'\n"},
        {"play --hash 0", 2, "tarnvel play: --hash must be a whole number from 1 to 1024, not '0'\n"},
        {"play --side red", 2, "tarnvel play: --side must be black or white, not 'red'\n"},
        {"play --position B:W33:B1", 2, "tarnvel play: cannot parse position 'B:W33:B1': square numbers run from 1 to 32\n"},
        {"play --time", 2, "tarnvel play: --time needs a value\n"},
        {"play --bogus", 2, "tarnvel play: unknown argument '--bogus' (try tarnvel play --help)\n"},
        {"pdn replay missing.pdn", 1, "tarnvel pdn: cannot open missing.pdn: No such file or directory\n"},
        {"pdn frobnicate x", 2, "tarnvel pdn: unknown action 'frobnicate' (try tarnvel pdn --help)\n"},
        {"frobnicate", 2, "tarnvel: unknown command 'frobnicate' (try tarnvel --help)\n"},
        {"pdn replay bad.pdn", 1, "tarnvel pdn: bad.pdn: game 2, move 5 (White): illegal move 24-19 (line 6)\n"},
    };
    for (const auto& c : cases) {
        const Finished r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(c.status ? r.err : r.out.substr(0, r.out.find('\n')), c.err) << c.args;
    }
    const Finished missing = run("play --engine /nonexistent/libNone.so");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.rfind("tarnvel play: cannot load engine library '/nonexistent/libNone.so': ", 0), 0u) << missing.err;
    EXPECT_NE(run("pdn replay bad.pdn").out.find("game 1: 2 plies"), std::string::npos);
}

}  // namespace
