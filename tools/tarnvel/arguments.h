// Command lines of the host's commands, parsed with CLI11. Each command
// keeps its own usage and help text; a bad command line gives one line on
// stderr, "tarnvel COMMAND: what", and exit status 2.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace tarnvel::cli {

// Longest time per move a command accepts: a day.
constexpr double MAX_SECONDS_PER_MOVE = 86400;
// Transposition-table sizes a command passes on ("set hashsize").
constexpr long MIN_HASH_MEGABYTES = 1;
constexpr long MAX_HASH_MEGABYTES = 1024;

// Exit codes: 1 when the work failed (an engine, a file, a game), 2 for a
// command line that makes no sense.
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
// CommandLine::parse's answer when the command should go on.
constexpr int PARSED = -1;

class CommandLine {
public:
    // `help` is printed for --help or -h; its first line is the usage.
    CommandLine(const char* command, std::string help);

    CLI::App app;

    // PARSED, or the exit status: 0 after the help, EXIT_USAGE after a
    // one-line complaint (also for a word no option or argument takes).
    int parse(int argc, char** argv);

    // Prints "tarnvel COMMAND: message" on stderr; returns EXIT_USAGE.
    int fail(const std::string& message) const;

private:
    std::string command_, help_;
};

// "--time S" (or another flag): seconds above 0 (or from 0 when
// `zeroAllowed`) up to a day.
CLI::Option* addSeconds(CLI::App& app, double& seconds, bool zeroAllowed = false,
                        const std::string& flag = "--time");

// The check of a whole number in low…high given to `flag`.
CLI::Validator countCheck(const std::string& flag, long low, long high);

// A flag (or a positional argument) taking a whole number in low…high.
CLI::Option* addCount(CLI::App& app, const std::string& flag, long low, long high, long& value);

// "--hash MB", the transposition-table size.
CLI::Option* addHash(CLI::App& app, long& megabytes);

// "--threads N", the search threads of the engines that take them
// (Tarnvel 2's range; v1.3 has one), and the check of one such N.
CLI::Option* addThreads(CLI::App& app, long& threads);
CLI::Validator threadsCheck();

}  // namespace tarnvel::cli
