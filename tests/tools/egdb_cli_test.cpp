// tarnvel-egdb as a user runs it: the files it writes fit the engine's
// limits and open, verify passes them and catches planted faults, and bad
// arguments end with one line and a non-zero status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/scratch_dir.h"
#include "egdb/database.h"

namespace tarnvel {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int status;
    std::string output;  // stdout and stderr together
};

ToolRun runTool(const std::string& arguments) {
    const std::string command = std::string(TARNVEL_BINARY_DIR "/tarnvel-egdb ") + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {-1, ""};
    std::string output;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// A private directory per test process, removed at exit.
class ScratchDir {
public:
    ScratchDir() {
        path_ = tarnvel::testing::makeScratchDir("egdb-cli");
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

ScratchDir& scratch() {
    static ScratchDir dir;
    return dir;
}

// The 4-piece database, built once per process into scratch/built/db.
const fs::path& builtDatabase(ToolRun* buildRun = nullptr) {
    static const fs::path dir = scratch().path() / "built" / "db";
    static const ToolRun run = runTool("build --pieces 4 --out " + dir.string());
    if (buildRun) *buildRun = run;
    return dir;
}

// A copy of the built database in a fresh directory named db.
fs::path copyOfDatabase(const std::string& name) {
    const fs::path copy = scratch().path() / name / "db";
    fs::create_directories(copy);
    fs::copy(builtDatabase(), copy, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    return copy;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

int countOf(const std::string& text, const std::string& word) {
    int n = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
    return n;
}

TEST(EgdbTool, BuildWritesFilesWithinTheBlockCapThatTheEngineOpens) {
    ToolRun build;
    const fs::path db = builtDatabase(&build);
    ASSERT_EQ(build.status, 0) << build.output;

    uint64_t blocks = 0;
    for (int n = 2; n <= 4; ++n) {
        const fs::path cpr = db / ("db" + std::to_string(n) + ".cpr");
        ASSERT_TRUE(fs::exists(db / ("db" + std::to_string(n) + ".idx")));
        ASSERT_TRUE(fs::exists(cpr));
        EXPECT_EQ(fs::file_size(cpr) % 1024, 0u) << cpr;
        blocks += fs::file_size(cpr) / 1024;
    }
    EXPECT_LE(blocks, 250u);
    const std::string cap = " blocks of the 250 ";
    const size_t capAt = build.output.find(cap);
    ASSERT_NE(capAt, std::string::npos) << build.output;
    const size_t numberAt = build.output.rfind(' ', capAt - 1) + 1;
    EXPECT_EQ(std::stoull(build.output.substr(numberAt, capAt - numberAt)), blocks) << build.output;
    EXPECT_NE(build.output.find("solved 12817672 positions"), std::string::npos) << build.output;
    EXPECT_FALSE(fs::exists(db / ".tarnvel-egdb-staging"));

    const fs::path previous = fs::current_path();
    fs::current_path(db.parent_path());
    char text[1024] = "";
    EXPECT_EQ(openDatabase(64, text), 4);
    closeDatabase();
    fs::current_path(previous);
}

TEST(EgdbTool, VerifyPassesTheBuiltDatabase) {
    const fs::path db = builtDatabase();
    const ToolRun verify = runTool("verify " + db.string());
    EXPECT_EQ(verify.status, 0) << verify.output;
    EXPECT_NE(verify.output.find(" 0 inconsistent, 0 without a result"), std::string::npos) << verify.output;
    EXPECT_EQ(countOf(verify.output, "inconsistent:"), 0);
}

// A slice stored as all draws made all wins: its quiet drawn positions no
// longer follow from their moves.
TEST(EgdbTool, VerifyFindsAFlippedSingleValueRecord) {
    const fs::path db = copyOfDatabase("flipped-record");
    std::string index = readFile(db / "db2.idx");
    const size_t at = index.find("BASE1,0,1,0,3,3,b:=");
    ASSERT_NE(at, std::string::npos) << index;
    index[at + std::string("BASE1,0,1,0,3,3,b:").size()] = '+';
    writeFile(db / "db2.idx", index);

    const ToolRun verify = runTool("verify " + db.string());
    EXPECT_EQ(verify.status, 1) << verify.output;
    EXPECT_GT(countOf(verify.output, "inconsistent:"), 0) << verify.output;
    EXPECT_NE(verify.output.find("stored win, its moves give draw"), std::string::npos) << verify.output;
}

// A long run of wins in the compressed file turned into losses.
TEST(EgdbTool, VerifyFindsARunWithItsResultChanged) {
    const fs::path db = copyOfDatabase("changed-run");
    std::string blocks = readFile(db / "db4.cpr");
    // ToolRun codes 81 + j are wins of SkipTable[j] positions; from j = 38 on
    // a run covers at least 100. 58 codes further on are the same runs of losses.
    size_t at = 0;
    while (at < blocks.size() && !(uint8_t(blocks[at]) >= 81 + 38 && uint8_t(blocks[at]) <= 138)) ++at;
    ASSERT_LT(at, blocks.size());
    blocks[at] = static_cast<char>(uint8_t(blocks[at]) + 58);
    writeFile(db / "db4.cpr", blocks);

    const ToolRun verify = runTool("verify " + db.string());
    EXPECT_EQ(verify.status, 1) << verify.output;
    EXPECT_NE(verify.output.find("stored loss"), std::string::npos) << verify.output;
}

TEST(EgdbTool, HelpAndBadArguments) {
    for (const char* help : {"--help", "build --help", "verify --help"}) {
        const ToolRun r = runTool(help);
        EXPECT_EQ(r.status, 0) << help;
        EXPECT_EQ(r.output.rfind("usage: tarnvel-egdb", 0), 0u) << r.output;
    }
    for (const char* bad : {"", "solve", "build", "build --pieces 8", "build --pieces 1", "build --pieces x",
                            "build --pieces 4 --threads 0", "build --pieces", "build --pieces 4 extra",
                            "verify a b", "verify --fast"}) {
        const ToolRun r = runTool(bad);
        EXPECT_EQ(r.status, 2) << bad << ": " << r.output;
        if (*bad) {
            EXPECT_EQ(countOf(r.output, "\n"), 1) << bad << ": " << r.output;
        }
    }
    const fs::path notDb = scratch().path() / "notdb";
    fs::create_directories(notDb);
    const ToolRun wrongName = runTool("verify " + notDb.string());
    EXPECT_EQ(wrongName.status, 2);
    EXPECT_NE(wrongName.output.find("must be a directory named db"), std::string::npos) << wrongName.output;

    const fs::path emptyDb = scratch().path() / "empty" / "db";
    fs::create_directories(emptyDb);
    const ToolRun empty = runTool("verify " + emptyDb.string());
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.output.find("no database in"), std::string::npos) << empty.output;
}

}  // namespace
}  // namespace tarnvel
