// The database tarnvel-egdb builds, made once per builder build and shared
// by the tests and parallel test processes: the directory returned holds "db".
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tarnvel::testing {

inline std::filesystem::path builtDatabase(int pieces) {
    namespace fs = std::filesystem;
    const std::string builder = TARNVEL_BINARY_DIR "/tarnvel-egdb";
    std::error_code missing;
    const auto built = fs::last_write_time(builder, missing).time_since_epoch().count();
    if (missing) return {};
    // A rebuilt builder gets a database of its own; one process builds while the others wait.
    const fs::path home = fs::path(TARNVEL_BINARY_DIR) / "test-databases";
    const fs::path done = home / (std::to_string(pieces) + "-" + std::to_string(built));
    fs::create_directories(home);
    const int lock = ::open((home / "lock").c_str(), O_CREAT | O_RDWR, 0644);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) return {};
    if (!fs::exists(done / "db")) {
        const fs::path building = home / "building";
        fs::remove_all(building);
        const std::string build = builder + " build --pieces " + std::to_string(pieces) + " --out " +
                                  (building / "db").string() + " >/dev/null 2>&1";
        if (std::system(build.c_str()) == 0) fs::rename(building, done);
    }
    close(lock);
    return fs::exists(done / "db") ? done : fs::path();
}

}  // namespace tarnvel::testing
