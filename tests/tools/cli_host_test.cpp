// The built `tarnvel` host driven as a person or a script would: a played
// session, a short match, PDN replay, and the errors people meet.
#include <gtest/gtest.h>

#include "support/scratch_dir.h"
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

const std::string BINARY_DIR = TARNVEL_BINARY_DIR;
const std::string HOST = BINARY_DIR + "/tarnvel";
const std::string LIBRARY = BINARY_DIR + "/libTarnvel.so";

struct Finished {
    int status;
    std::string out, err;
};

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Each test works in a fresh directory, with or without a database in it.
class HostCli : public ::testing::Test {
public:
    void SetUp() override {
        dir = tarnvel::testing::makeScratchDir("host");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { fs::remove_all(dir); }

    // A small database built by the project's builder, or an empty `db`
    // when the builder is not there.
    void addDatabase() {
        fs::create_directory(dir / "db");
        const std::string builder = BINARY_DIR + "/tarnvel-egdb";
        if (fs::exists(builder))
            std::system(("cd " + quoted(dir) + " && " + quoted(builder) +
                         " build --pieces 3 --out db >/dev/null 2>&1")
                            .c_str());
    }

    Finished run(const std::string& args, const std::string& input = "") {
        std::ofstream(dir / "input.txt") << input;
        const std::string command = "cd " + quoted(dir) + " && " + quoted(HOST) + " " + args +
                                    " <input.txt >out.txt 2>err.txt";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(dir / "out.txt"),
                slurp(dir / "err.txt")};
    }

    // Bad input: the given exit status and one line on stderr.
    void expectRefusal(const std::string& args, int status, const std::string& words) {
        const Finished r = run(args);
        EXPECT_EQ(r.status, status) << args;
        EXPECT_NE(r.err.find(words), std::string::npos) << args << "\n" << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << "\n" << r.err;
    }

    fs::path dir;
};

// The word that follows the last occurrence of `prefix`.
std::string lastWordAfter(const std::string& text, const std::string& prefix) {
    const size_t at = text.rfind(prefix);
    if (at == std::string::npos) return "";
    std::istringstream rest(text.substr(at + prefix.size()));
    std::string word;
    rest >> word;
    return word;
}

void scriptedSession(HostCli& t) {
    const Finished r = t.run("play --time 0.05 --hash 16 --engine " + quoted(LIBRARY),
                             "11-16x\n12-15\n11-15\nhint\nundo\n9-14\nflip\nsave game.pdn\nquit\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string& out = r.out;
    EXPECT_NE(out.find("'11-16x' is neither a move nor a command"), std::string::npos) << out;
    EXPECT_NE(out.find("illegal move 12-15; legal moves: "), std::string::npos) << out;
    EXPECT_NE(out.find("you play 11-15"), std::string::npos);
    const std::string hinted = lastWordAfter(out, "hint: ");
    EXPECT_TRUE(hinted.find_first_not_of("0123456789-x") == std::string::npos && hinted.size() >= 3)
        << out;
    EXPECT_EQ(out.find("handed back"), std::string::npos) << out;
    // After the undo the initial arrangement is shown again, Black to move.
    const size_t undone = out.find("hint: ");
    EXPECT_NE(out.find("position: B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,"
                       "11,12.",
                       undone),
              std::string::npos);
    EXPECT_NE(out.find("saved 2 plies to game.pdn"), std::string::npos) << out;
    const std::string last = lastWordAfter(out, "position: ");
    ASSERT_FALSE(last.empty());

    const Finished replay = t.run("pdn replay game.pdn", "");
    EXPECT_EQ(replay.status, 0) << replay.err;
    EXPECT_EQ(lastWordAfter(replay.out, "final position "), last) << replay.out;
}

TEST_F(HostCli, ScriptedPlaySessionSavesReplayablePdn) { scriptedSession(*this); }

TEST_F(HostCli, ScriptedPlaySessionWithDatabaseDirectory) {
    addDatabase();
    scriptedSession(*this);
}

// From a set-up position the engine's one capture ends the game.
TEST_F(HostCli, PlayedGameEndsWithResultAndReason) {
    const Finished r =
        run("play --side white --time 0.05 --hash 16 --position 'B:W18:B14' --engine " +
                quoted(LIBRARY),
            "23-19\nsave end.pdn\nquit\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("plays 14x23"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("game over: Black wins (White has no pieces left), 2-0"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("the game is over"), std::string::npos) << r.out;
    const std::string pdn = slurp(dir / "end.pdn");
    EXPECT_NE(pdn.find("[FEN \"B:W18:B14.\"]\n1. 14x23 {White has no pieces left} 2-0\n"),
              std::string::npos)
        << pdn;
    const Finished replay = run("pdn replay end.pdn");
    EXPECT_EQ(replay.status, 0) << replay.err;
    EXPECT_NE(replay.out.find("game 1: 1 plies, result 2-0, final position W:W:B23."),
              std::string::npos)
        << replay.out;
}

struct TableRow {
    int games, wins, losses, draws;
};

// The table line of engine `label`: "A   name (A)   games wins losses draws score".
TableRow tableRow(const std::string& out, const std::string& label) {
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(label + " ", 0) != 0 || line.find("(" + label + ")") == std::string::npos)
            continue;
        std::vector<std::string> words;
        std::istringstream in(line);
        for (std::string w; in >> w;) words.push_back(w);
        const size_t n = words.size();
        if (n < 7) break;
        return {std::stoi(words[n - 5]), std::stoi(words[n - 4]), std::stoi(words[n - 3]),
                std::stoi(words[n - 2])};
    }
    ADD_FAILURE() << "no table line for " << label << " in\n" << out;
    return {};
}

void shortMatch(HostCli& t, int games) {
    const std::string n = std::to_string(games);
    const Finished r = t.run("match --engine " + quoted(LIBRARY) + " --engine " + quoted(LIBRARY) +
                             " --time 0.05 --games " + n + " --hash 16 --pdn-out games.pdn");
    ASSERT_EQ(r.status, 0) << r.err;
    for (int g = 1; g <= games; ++g)
        EXPECT_NE(r.out.find("game " + std::to_string(g) + "/" + n + ": opening " +
                             std::to_string((g + 1) / 2)),
                  std::string::npos)
            << r.out;
    const TableRow a = tableRow(r.out, "A"), b = tableRow(r.out, "B");
    EXPECT_EQ(a.games, games);
    EXPECT_EQ(a.wins + a.losses + a.draws, a.games);
    EXPECT_EQ(b.games, games);
    EXPECT_EQ(a.wins, b.losses);
    EXPECT_EQ(a.losses, b.wins);
    EXPECT_EQ(a.draws, b.draws);
    EXPECT_NE(r.out.find("Elo difference A - B: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(", 95% interval ["), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("illegal boards: 0"), std::string::npos);

    // Each opening twice, colours swapped, every move legal.
    const std::string pdn = slurp(t.dir / "games.pdn");
    std::vector<std::string> blacks;
    for (size_t at = 0; (at = pdn.find("[Black \"", at)) != std::string::npos; ++at) {
        const size_t white = pdn.find("[White \"", at);
        ASSERT_NE(white, std::string::npos);
        const std::string blackName = pdn.substr(at, pdn.find('\n', at) - at);
        const std::string whiteName = pdn.substr(white, pdn.find('\n', white) - white);
        const bool aBlack = blackName.find("(A)") != std::string::npos;
        EXPECT_NE(aBlack, blackName.find("(B)") != std::string::npos) << blackName;
        EXPECT_NE(aBlack, whiteName.find("(A)") != std::string::npos) << whiteName;
        blacks.push_back(aBlack ? "A" : "B");
    }
    ASSERT_EQ(blacks.size(), static_cast<size_t>(games));
    for (int g = 0; g < games; ++g) EXPECT_EQ(blacks[g], g % 2 ? "B" : "A");
    const Finished replay = t.run("pdn replay games.pdn");
    EXPECT_EQ(replay.status, 0) << replay.err;
    EXPECT_NE(replay.out.find("game " + n + ": "), std::string::npos) << replay.out;
    EXPECT_EQ(replay.out.find("game " + std::to_string(games + 1) + ": "), std::string::npos)
        << replay.out;
}

TEST_F(HostCli, ShortMatchBetweenTwoCopiesOfOneLibrary) { shortMatch(*this, 4); }

TEST_F(HostCli, ShortMatchWithDatabaseDirectory) {
    addDatabase();
    shortMatch(*this, 2);
}

TEST_F(HostCli, PdnReplayReportsTheFirstIllegalMove) {
    std::ofstream(dir / "bad.pdn") << "[Event \"one\"]\n1. 11-15 23-19 1-1\n"
                                      "[Event \"two\"]\n{ a comment }\n"
                                      "1. 9-14 22-17 2. 11-15 25-22 3. 8-11 17-13\n"
                                      "4. 4-8 24-20 5. 15-19 24-19 2-0\n";
    const Finished r = run("pdn replay bad.pdn");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("game 1: 2 plies"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "tarnvel pdn: bad.pdn: game 2, move 5 (White): illegal move 24-19 (line 6)\n");
}

TEST_F(HostCli, HelpAndRefusals) {
    for (const char* command : {"play --help", "match --help", "pdn --help", "pdn replay --help"}) {
        const Finished r = run(command);
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_EQ(r.out.rfind("usage: tarnvel ", 0), 0u) << command << "\n" << r.out;
    }
    expectRefusal("play --engine /nonexistent/libNone.so", 1, "cannot load engine library");
    expectRefusal("play --engine libm.so.6", 1,
                  "'libm.so.6' is not a checkers engine library (no getmove entry point)");
    std::ofstream(dir / "notalib.so") << "plain text";
    expectRefusal("play --engine notalib.so", 1, "cannot load engine library 'notalib.so'");
    expectRefusal("match --engine " + quoted(LIBRARY), 2, "needs two --engine libraries");
    expectRefusal("match --engine a --engine b --games 0", 2, "--games must be");
    expectRefusal("play --time 0", 2, "--time must be");
    expectRefusal("play --time nan", 2, "--time must be");
    expectRefusal("play --hash 0", 2, "--hash must be");
    expectRefusal("play --side red", 2, "--side must be black or white");
    expectRefusal("play --position B:W33:B1", 2, "cannot parse position 'B:W33:B1'");
    expectRefusal("play --time", 2, "--time needs a value");
    expectRefusal("play --bogus", 2, "unknown argument '--bogus'");
    expectRefusal("pdn replay missing.pdn", 1, "cannot open missing.pdn");
    expectRefusal("pdn replay", 2, "expects: replay FILE");
    expectRefusal("pdn frobnicate x", 2, "unknown action 'frobnicate'");
}

}  // namespace
