// A fresh private directory under /tmp for tests that need files or a
// current directory of their own (the engine looks for ./db).
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace tarnvel::testing {

// Creates /tmp/tarnvel-NAME-XXXXXX; an empty path when that fails.
inline std::filesystem::path makeScratchDir(const std::string& name) {
    std::string pattern = "/tmp/tarnvel-" + name + "-XXXXXX";
    return mkdtemp(pattern.data()) ? std::filesystem::path(pattern) : std::filesystem::path();
}

}  // namespace tarnvel::testing
