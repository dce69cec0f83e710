// The subcommands of tarnvel-egdb: each declares its options on the
// command line parser and runs with what was parsed, returning the
// process exit status.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace tarnvel::egdbtool {

struct BuildOptions {
    int pieces = 0;
    std::string out = "db";
    int threads = 1;
};

struct VerifyOptions {
    std::string dir = "db";
};

CLI::App* addBuildCommand(CLI::App& parent, BuildOptions& options);
int buildCommand(const BuildOptions& options);

CLI::App* addVerifyCommand(CLI::App& parent, VerifyOptions& options);
int verifyCommand(const VerifyOptions& options);

// Exit status for bad arguments.
constexpr int USAGE_ERROR = 2;

}  // namespace tarnvel::egdbtool
