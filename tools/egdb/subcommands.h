// The subcommands of tarnvel-egdb: each declares its options on the
// command line parser and runs with what was parsed, returning the
// process exit status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pieces.h"

namespace CLI {
class App;
}

namespace tarnvel::egdbtool {

struct BuildOptions {
    int pieces = 0;               // 0 with --only
    std::vector<Material> only;  // the materials asked for, or all
    std::string out = "db";
    std::string work;  // empty: a directory inside out, removed after the build
    int threads = 1;
    std::string commandLine;  // as typed, to name the command that carries on after a stop
};

struct VerifyOptions {
    std::string dir = "db";
    uint32_t sample = 0;  // positions a slice, 0 for all
};

struct SampleOptions {
    std::string dir = "db";
    int minPieces = 0, maxPieces = 0;  // maxPieces 0: minPieces
    unsigned long long count = 0;
    uint64_t seed = 1;
    std::string out;
};

CLI::App* addBuildCommand(CLI::App& parent, BuildOptions& options);
int buildCommand(const BuildOptions& options);

CLI::App* addVerifyCommand(CLI::App& parent, VerifyOptions& options);
int verifyCommand(const VerifyOptions& options);

CLI::App* addSampleCommand(CLI::App& parent, SampleOptions& options);
int sampleCommand(const SampleOptions& options);

// Exit status for bad arguments.
constexpr int USAGE_ERROR = 2;

}  // namespace tarnvel::egdbtool
