// tarnvel-egdb build --only with four pieces a side: verify passes what it
// writes; a build killed in the middle of a material carries on from its
// work directory to the same files; a work directory of another build is
// refused.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "egdb/egdb_support.h"

namespace tarnvel {
namespace {

namespace fs = std::filesystem;

const std::string TOOL = TARNVEL_BINARY_DIR "/tarnvel-egdb";

struct ToolRun {
    int status;
    std::string output;
};

ToolRun run(const std::string& arguments) {
    FILE* pipe = popen((TOOL + " " + arguments + " 2>&1").c_str(), "r");
    std::string output;
    char buffer[4096];
    for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// Starts a build and kills it with SIGKILL as soon as its progress shows
// `line`; true when it was killed there.
bool killAt(const std::string& arguments, const std::string& line) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        execl("/bin/sh", "sh", "-c", ("exec " + TOOL + " " + arguments).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    FILE* in = fdopen(fds[0], "r");
    bool seen = false;
    char text[512];
    while (!seen && std::fgets(text, sizeof text, in)) seen = std::strstr(text, line.c_str()) != nullptr;
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    std::fclose(in);
    return seen && WIFSIGNALED(status);
}

class EgdbOnly : public ::testing::Test {
protected:
    void SetUp() override { dir = testing::makeScratchDir("egdb-only"); }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST_F(EgdbOnly, FourKingsAgainstOneBuiltVerifiedAndResumedAfterAKill) {
    const fs::path whole = dir / "whole" / "db", resumed = dir / "resumed" / "db";
    const ToolRun built = run("build --only 4k1k --out " + whole.string());
    ASSERT_EQ(built.status, 0) << built.output;
    for (const std::string verify : {"verify ", "verify --sample 40 "}) {
        const ToolRun checked = run(verify + whole.string());
        EXPECT_EQ(checked.status, 0) << checked.output;
        EXPECT_NE(checked.output.find(" 0 inconsistent, 0 without a result"), std::string::npos) << checked.output;
    }

    ASSERT_TRUE(killAt("build --only 4k1k --threads 1 --out " + resumed.string(), "solving 4k1k"));
    EXPECT_TRUE(fs::exists(resumed / ".work" / "0301.res"));
    EXPECT_FALSE(fs::exists(resumed / ".work" / "0401.res"));
    const ToolRun again = run("build --only 4k1k --out " + resumed.string());
    ASSERT_EQ(again.status, 0) << again.output;
    EXPECT_NE(again.output.find("materials were finished already"), std::string::npos) << again.output;
    EXPECT_FALSE(fs::exists(resumed / ".work"));
    int files = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(whole)) {
        EXPECT_EQ(testing::readText(e.path()), testing::readText(resumed / e.path().filename())) << e.path();
        ++files;
    }
    EXPECT_EQ(files, 12);  // db2 … db7, index and compressed
}

TEST_F(EgdbOnly, WorkDirectoryOfAnotherBuildAndBadMaterials) {
    const std::string work = (dir / "work").string();
    ASSERT_EQ(run("build --only 2k1k --work " + work + " --out " + (dir / "a").string()).status, 0);
    EXPECT_TRUE(fs::exists(dir / "work" / "0201.res"));  // an explicit work directory stays
    const ToolRun other = run("build --pieces 3 --work " + work + " --out " + (dir / "b").string());
    EXPECT_EQ(other.status, 1);
    EXPECT_NE(other.output.find("belongs to another build"), std::string::npos) << other.output;
    for (const char* bad : {"--only 5k1k", "--only 4k", "--only 1k1k --pieces 3", "--only k1k"}) {
        const ToolRun r = run(std::string("build ") + bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << bad << ": " << r.output;
    }
}

}  // namespace
}  // namespace tarnvel
