// The built command-line tools and database, used in a scratch directory.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <utility>

#include "support/built_database.h"
#include "support/scratch_dir.h"

namespace tarnvel::testing {

// Status and output (stdout, then stderr) of a shell command, stdin empty.
inline std::pair<int, std::string> run(const std::string& command) {
    FILE* pipe = popen(("(" + command + ") </dev/null 2>&1").c_str(), "r");
    std::string output;
    char buffer[4096];
    for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// The built 4-piece database as ./db.
class FourPieces : public ScratchDirTest {
protected:
    void SetUp() override {
        ScratchDirTest::SetUp();
        ASSERT_FALSE(builtDatabase(4).empty());
        std::filesystem::create_directory_symlink(builtDatabase(4) / "db", "db");
    }
};

const std::string TARNVEL = TARNVEL_BINARY_DIR "/tarnvel ", EGDB = TARNVEL_BINARY_DIR "/tarnvel-egdb ";

}  // namespace tarnvel::testing
