// The database tarnvel-egdb builds, made once per builder build and shared
// by the tests and parallel test processes: the directory returned holds "db".
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tarnvel::testing {

inline std::filesystem::path builtDatabase(int pieces) {
    namespace fs = std::filesystem;
    const std::string builder = TARNVEL_BINARY_DIR "/tarnvel-egdb";
    struct stat info {};
    if (stat(builder.c_str(), &info) != 0) return {};
    // A rebuilt builder gets a database of its own.
    const fs::path home = fs::path(TARNVEL_BINARY_DIR) / "test-databases";
    const fs::path done = home / (std::to_string(pieces) + "-" + std::to_string(info.st_mtime));
    fs::create_directories(home);
    // One process builds while the others wait for it.
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
