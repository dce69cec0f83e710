// The built `tarnvel` host driven as a person or a script would: a played
// session, a game played out, a short match, PDN replay, and the exact
// texts of help and refusals.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <fstream>
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

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The word that follows the last occurrence of `prefix`.
std::string lastWordAfter(const std::string& text, const std::string& prefix) {
    const size_t at = text.rfind(prefix);
    std::istringstream rest(at == std::string::npos ? "" : text.substr(at + prefix.size()));
    std::string word;
    rest >> word;
    return word;
}

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
        std::ofstream(dir / "input.txt") << input;
        const std::string command = "cd '" + dir.string() + "' && " + HOST + " " + args + " <input.txt >out.txt 2>err.txt";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(dir / "out.txt"), slurp(dir / "err.txt")};
    }

    fs::path dir;
};

TEST_F(HostCli, ScriptedPlaySessionSavesReplayablePdn) {
    const Finished r = run("play --time 0.05 --hash 16 --engine " + LIBRARY,
                           "11-16x\n12-15\n11-15\nhint\nundo\n9-14\nflip\nsave game.pdn\nquit\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("'11-16x' is neither a move nor a command"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("illegal move 12-15; legal moves: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("you play 11-15"), std::string::npos);
    const std::string hinted = lastWordAfter(r.out, "hint: ");
    EXPECT_TRUE(hinted.find_first_not_of("0123456789-x") == std::string::npos && hinted.size() >= 3) << r.out;
    EXPECT_EQ(r.out.find("handed back"), std::string::npos) << r.out;
    // After the undo the initial arrangement is shown again, Black to move.
    EXPECT_NE(r.out.find("position: B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.",
                         r.out.find("hint: ")),
              std::string::npos);
    // The board as drawn, then turned: White's single corner, 29, top right.
    EXPECT_NE(r.out.find("  | w     w     w     w    |   |29    30    31    32    |\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("|   32    31    30    29 |\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("saved 2 plies to game.pdn"), std::string::npos) << r.out;
    const std::string last = lastWordAfter(r.out, "position: ");
    ASSERT_FALSE(last.empty());
    const Finished replay = run("pdn replay game.pdn");
    EXPECT_EQ(replay.status, 0) << replay.err;
    EXPECT_EQ(lastWordAfter(replay.out, "final position "), last) << replay.out;
}

// From a set-up position the engine's one capture ends the game.
TEST_F(HostCli, PlayedGameEndsWithResultAndReason) {
    const Finished r = run("play --side white --time 0.05 --hash 16 --position 'B:W18:B14' --engine " + LIBRARY,
                           "23-19\nsave end.pdn\nquit\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("plays 14x23"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("game over: Black wins (White has no pieces left), 2-0"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("the game is over"), std::string::npos) << r.out;
    EXPECT_NE(slurp(dir / "end.pdn").find("[FEN \"B:W18:B14.\"]\n1. 14x23 {White has no pieces left} 2-0\n"),
              std::string::npos);
    const Finished replay = run("pdn replay end.pdn");
    EXPECT_EQ(replay.status, 0) << replay.err;
    EXPECT_NE(replay.out.find("game 1: 1 plies, result 2-0, final position W:W:B23."), std::string::npos) << replay.out;
}

// Two games of the first opening, colours swapped, with a database in
// ./db: the table adds up, and the PDN replays.
TEST_F(HostCli, ShortMatchBetweenTwoCopiesOfOneLibrary) {
    addDatabase();
    const Finished r =
        run("match --engine " + LIBRARY + " --engine " + LIBRARY + " --time 0.01 --games 2 --hash 4 --pdn-out games.pdn");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("game 1/2: opening 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("game 2/2: opening 1"), std::string::npos) << r.out;
    int rows[2][4] = {};  // A and B: games, wins, losses, draws
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        for (int e = 0; e < 2; ++e) {
            const std::string label = e ? "B" : "A";
            if (line.rfind(label + " ", 0) != 0 || line.find("(" + label + ")") == std::string::npos) continue;
            std::vector<std::string> words;
            std::istringstream in(line);
            for (std::string w; in >> w;) words.push_back(w);
            ASSERT_GE(words.size(), 7u) << line;
            for (int k = 0; k < 4; ++k) rows[e][k] = std::stoi(words[words.size() - 5 + k]);
        }
    EXPECT_EQ(rows[0][0], 2);
    EXPECT_EQ(rows[0][1] + rows[0][2] + rows[0][3], 2);
    EXPECT_EQ(rows[1][0], 2);
    EXPECT_EQ(rows[0][1], rows[1][2]);
    EXPECT_EQ(rows[0][2], rows[1][1]);
    EXPECT_EQ(rows[0][3], rows[1][3]);
    EXPECT_NE(r.out.find("Elo difference A - B: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(", 95% interval ["), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("illegal boards: 0"), std::string::npos);
    const std::string pdn = slurp(dir / "games.pdn");
    const size_t second = pdn.find("[Event", 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_NE(pdn.substr(0, second).find("(A)\"]\n[White"), std::string::npos) << pdn;  // A is Black first
    EXPECT_NE(pdn.substr(second).find("(B)\"]\n[White"), std::string::npos) << pdn;
    const Finished replay = run("pdn replay games.pdn");
    EXPECT_EQ(replay.status, 0) << replay.err;
    EXPECT_NE(replay.out.find("game 2: "), std::string::npos) << replay.out;
    EXPECT_EQ(replay.out.find("game 3: "), std::string::npos) << replay.out;
}

TEST_F(HostCli, HelpAndRefusals) {
    std::ofstream(dir / "notalib.so") << "plain text";
    std::ofstream(dir / "bad.pdn") << "[Event \"one\"]\n1. 11-15 23-19 1-1\n[Event \"two\"]\n{ a comment }\n"
                                      "1. 9-14 22-17 2. 11-15 25-22 3. 8-11 17-13\n4. 4-8 24-20 5. 15-19 24-19 2-0\n";
    const struct {
        std::string args;
        int status;
        std::string err;  // the whole of stderr, or for help the first line of stdout
    } cases[] = {
        {"play --help", 0, "usage: tarnvel play [--time S] [--side black|white] [--hash MB] [--engine LIB]"},
        {"match --help", 0, "usage: tarnvel match --engine LIB_A --engine LIB_B [--time S] [--games N]"},
        {"pdn --help", 0, "usage: tarnvel pdn replay FILE"},
        {"pdn replay --help", 0, "usage: tarnvel pdn replay FILE"},
        {"play --engine libm.so.6", 1,
         "tarnvel play: 'libm.so.6' is not a checkers engine library (no getmove entry point)\n"},
        {"play --engine notalib.so", 1, "tarnvel play: cannot load engine library 'notalib.so': ./notalib.so: file too short\n"},
        {"match --engine x", 2, "tarnvel match: needs two --engine libraries (try tarnvel match --help)\n"},
        {"match --engine a --engine b --games 0", 2,
         "tarnvel match: --games must be a whole number from 1 to 1000000, not '0'\n"},
        {"play --time 0", 2, "tarnvel play: --time must be seconds above 0 and at most 86400, not '0'\n"},
        {"play --time nan", 2, "tarnvel play: --time must be seconds above 0 and at most 86400, not 'nan'\n"},
        {"play --hash 0", 2, "tarnvel play: --hash must be a whole number from 1 to 1024, not '0'\n"},
        {"play --side red", 2, "tarnvel play: --side must be black or white, not 'red'\n"},
        {"play --position B:W33:B1", 2, "tarnvel play: cannot parse position 'B:W33:B1': square numbers run from 1 to 32\n"},
        {"play --time", 2, "tarnvel play: --time needs a value\n"},
        {"play --bogus", 2, "tarnvel play: unknown argument '--bogus' (try tarnvel play --help)\n"},
        {"pdn replay missing.pdn", 1, "tarnvel pdn: cannot open missing.pdn: No such file or directory\n"},
        {"pdn replay", 2, "tarnvel pdn: expects: replay FILE\n"},
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
