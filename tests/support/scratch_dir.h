// A fresh private directory under /tmp for tests that need files or a
// current directory of their own (the engine looks for ./db).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tarnvel::testing {

// /tmp/tarnvel-NAME-XXXXXX; an empty path when that fails.
inline std::filesystem::path makeScratchDir(const std::string& name) {
    std::string pattern = "/tmp/tarnvel-" + name + "-XXXXXX";
    return mkdtemp(pattern.data()) ? std::filesystem::path(pattern) : std::filesystem::path();
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class ScratchDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE((dir = makeScratchDir("test")).empty());
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir);
    }
    void TearDown() override {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
    }
    std::filesystem::path dir, previous;
};

}  // namespace tarnvel::testing
