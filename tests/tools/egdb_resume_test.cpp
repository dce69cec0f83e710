// tarnvel-egdb build --only with four pieces a side: verify passes what it
// writes; a build stopped in the middle of a material says how to carry
// on, and carries on from its work directory to the same files and the
// whole build's counts; a work directory of another build is refused.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "tools/cli_run.h"

namespace tarnvel::testing {
namespace {

namespace fs = std::filesystem;

// Starts a build and stops it with SIGINT as soon as its progress shows
// `line`; true when it was stopped there. Its standard error goes to
// stopped.txt.
bool stopAt(const std::string& arguments, const std::string& line) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        execl("/bin/sh", "sh", "-c", ("exec " + EGDB + arguments + " 2>stopped.txt").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    FILE* in = fdopen(fds[0], "r");
    bool seen = false;
    char text[512];
    while (!seen && std::fgets(text, sizeof text, in)) seen = std::strstr(text, line.c_str()) != nullptr;
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    std::fclose(in);
    return seen && WIFSIGNALED(status) && WTERMSIG(status) == SIGINT;
}

using EgdbOnly = ScratchDirTest;

TEST_F(EgdbOnly, FourKingsAgainstOneBuiltVerifiedAndResumedAfterAKill) {
    const auto built = run(EGDB + "build --only 4k1k --out whole/db");
    ASSERT_EQ(built.first, 0) << built.second;
    for (const std::string verify : {"verify ", "verify --sample 40 "}) {
        const auto checked = run(EGDB + verify + "whole/db");
        EXPECT_EQ(checked.first, 0) << checked.second;
        EXPECT_NE(checked.second.find(" 0 inconsistent, 0 without a result"), std::string::npos) << checked.second;
    }

    ASSERT_TRUE(stopAt("build --only 4k1k --threads 1 --out resumed/db", "solving 4k1k"));
    EXPECT_EQ(readText("stopped.txt"), "\ntarnvel-egdb build: stopped; the finished materials are kept in resumed/db/.work. Run "
                                       "the same command again to carry on:\n  " + EGDB + "build --only 4k1k --threads 1 --out resumed/db\n");
    EXPECT_TRUE(fs::exists("resumed/db/.work/0301.res"));
    EXPECT_FALSE(fs::exists("resumed/db/.work/0401.res"));
    const auto again = run(EGDB + "build --only 4k1k --out resumed/db");
    ASSERT_EQ(again.first, 0) << again.second;
    EXPECT_NE(again.second.find("3 of 4 materials were finished already"), std::string::npos) << again.second;
    const auto solved = [](const std::string& out) { return out.substr(out.find("solved "), out.find(" in ", out.find("solved ")) - out.find("solved ")); };
    EXPECT_EQ(solved(again.second), solved(built.second));  // the whole build's positions
    EXPECT_FALSE(fs::exists("resumed/db/.work"));
    int files = 0;
    for (const fs::directory_entry& e : fs::directory_iterator("whole/db")) {
        EXPECT_EQ(readText(e.path()), readText("resumed/db" / e.path().filename())) << e.path();
        ++files;
    }
    EXPECT_EQ(files, 12);  // db2 … db7, index and compressed
}

TEST_F(EgdbOnly, WorkDirectoryOfAnotherBuildAndBadMaterials) {
    ASSERT_EQ(run(EGDB + "build --only 2k1k --work work --out a").first, 0);
    EXPECT_TRUE(fs::exists("work/0201.res"));  // an explicit work directory stays
    const auto other = run(EGDB + "build --pieces 3 --work work --out b");
    EXPECT_EQ(other.first, 1);
    EXPECT_NE(other.second.find("belongs to another build"), std::string::npos) << other.second;
    for (const char* bad : {"--only 5k1k", "--only 4k", "--only 1k1k --pieces 3", "--only k1k"}) {
        const auto r = run(EGDB + "build " + bad);
        EXPECT_EQ(r.first, 2) << bad;
        EXPECT_EQ(std::count(r.second.begin(), r.second.end(), '\n'), 1) << bad << ": " << r.second;
    }
}

}  // namespace
}  // namespace tarnvel::testing
