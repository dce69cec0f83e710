// The built `tarnvel` host: a game played out, a short match, and the exact
// texts of help and refusals.
#include "tools/cli_run.h"

namespace tarnvel::testing {
namespace {

const std::string LIBRARY = " --engine " TARNVEL_BINARY_DIR "/libTarnvel.so";

class HostCli : public ScratchDirTest {};

// From a set-up position the engine's one capture ends the game.
TEST_F(HostCli, PlayedGameEndsWithResultAndReason) {
    writeText("input.txt", "23-19\nsave end.pdn\nquit\n");
    const auto [status, out] = run(TARNVEL + "play --side white --time 0.05 --hash 16 --position 'B:W18:B14'" + LIBRARY + " <input.txt");
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("  | .     b     .     .    |   |13    14    15    16    |\n"
                       "  |    .     w     .     . |   |   17    18    19    20 |\n"), std::string::npos) << out;
    EXPECT_NE(out.find("plays 14x23"), std::string::npos) << out;
    EXPECT_NE(out.find("game over: Black wins (White has no pieces left), 2-0"), std::string::npos) << out;
    EXPECT_NE(readText("end.pdn").find("[FEN \"B:W18:B14.\"]\n1. 14x23 {White has no pieces left} 2-0\n"), std::string::npos);
    EXPECT_EQ(run(TARNVEL + "pdn replay end.pdn"), std::pair(0, std::string("game 1: 1 plies, result 2-0, final position W:W:B23.\n")));
}

// Two games of the first opening, colours swapped, with a database in
// ./db: the table adds up and the PDN replays.
TEST_F(HostCli, ShortMatchBetweenTwoCopiesOfOneLibrary) {
    const std::filesystem::path built = builtDatabase(3);
    ASSERT_FALSE(built.empty());
    std::filesystem::create_directory_symlink(built / "db", "db");
    const auto [status, out] = run(TARNVEL + "match" + LIBRARY + LIBRARY + " --time 0.01 --games 2 --hash 4 --pdn-out games.pdn");
    ASSERT_EQ(status, 0) << out;
    // Table lines "name (A) games wins losses draws": B's wins are A's losses.
    int a[4], b[4];
    ASSERT_EQ(std::sscanf(out.substr(out.find("(A) ")).c_str(), "(A) %d %d %d %d", &a[0], &a[1], &a[2], &a[3]), 4) << out;
    ASSERT_EQ(std::sscanf(out.substr(out.find("(B) ")).c_str(), "(B) %d %d %d %d", &b[0], &b[1], &b[2], &b[3]), 4) << out;
    EXPECT_EQ(std::vector(a, a + 4), (std::vector{2, b[2], b[1], b[3]})) << out;
    EXPECT_EQ(a[1] + a[2] + a[3], 2) << out;
    EXPECT_NE(out.find("illegal boards: 0"), std::string::npos) << out;
    // A is Black first, then White.
    const std::string pdn = readText("games.pdn");
    EXPECT_LT(pdn.find("(A)\"]\n[White"), pdn.find("(B)\"]\n[White")) << pdn;
    const auto [replayed, games] = run(TARNVEL + "pdn replay games.pdn");
    EXPECT_TRUE(replayed == 0 && games.find("game 2: ") != std::string::npos && games.find("game 3: ") == std::string::npos) << games;
}

TEST_F(HostCli, HelpAndRefusals) {
    writeText("notalib.so", "plain text");
    writeText("bad.pdn", "[Event \"x\"]\n{ a comment }\n1. 9-14 22-17 2. 11-15 25-22 3. 8-11 17-13\n"
                         "4. 4-8 24-20 5. 15-19 24-19 2-0\n");
    // For help the first line of the output, else all of it.
    const std::tuple<std::string, int, std::string> cases[] = {
        {"play --help", 0, "usage: tarnvel play [--time S] [--side black|white] [--hash MB] [--engine LIB]"},
        {"play --engine libm.so.6", 1, "tarnvel play: 'libm.so.6' is not a checkers engine library (no getmove entry point)\n"},
        {"play --engine notalib.so", 1, "tarnvel play: cannot load engine library 'notalib.so': ./notalib.so: file too short\n"},
        {"match --engine x", 2, "tarnvel match: needs two --engine libraries (try tarnvel match --help)\n"},
        {"match --engine a --engine b --games 0", 2, "tarnvel match: --games must be a whole number from 1 to 1000000, not '0'\n"},
        {"match --engine a --engine b --threads 1 --threads 2 --threads 3", 2, "tarnvel match: --threads is given once for both engines or once for each\n"},
        {"move --threads 65 B:W21:B1.", 2, "tarnvel move: --threads must be a whole number from 1 to 64, not '65'\n"},
        {"play --time nan", 2, "tarnvel play: --time must be seconds above 0 and at most 86400, not 'nan'\n"},
        {"play --position B:W33:B1", 2, "tarnvel play: cannot parse position 'B:W33:B1': square numbers run from 1 to 32\n"},
        {"play --bogus", 2, "tarnvel play: unknown argument '--bogus' (try tarnvel play --help)\n"},
        {"frobnicate", 2, "tarnvel: unknown command 'frobnicate' (try tarnvel --help)\n"},
        {"pdn replay bad.pdn", 1, "tarnvel pdn: bad.pdn: game 1, move 5 (White): illegal move 24-19 (line 4)\n"},
        {"pdn positions bad.pdn --out r.bin", 1, "tarnvel pdn: bad.pdn: game 1, move 5 (White): illegal move 24-19 (line 4)\n"},
        {"pdn positions bad.pdn", 2, "tarnvel pdn: positions expects --out RECORDS (try tarnvel pdn --help)\n"},
    };
    for (const auto& [arguments, status, text] : cases) {
        const auto [got, out] = run(TARNVEL + arguments);
        EXPECT_EQ(got, status) << arguments;
        EXPECT_EQ(status ? out : out.substr(0, out.find('\n')), text) << arguments;
    }
}

}  // namespace
}  // namespace tarnvel::testing
