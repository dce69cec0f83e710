// Command-line values shared by the host's commands.
#pragma once

#include <string>

namespace tarnvel::cli {

// Longest time per move a command accepts: a day.
constexpr double MAX_SECONDS_PER_MOVE = 86400;
// Transposition-table sizes a command passes on ("set hashsize").
constexpr long MIN_HASH_MEGABYTES = 1;
constexpr long MAX_HASH_MEGABYTES = 1024;

// Walks a command's arguments: flags with a value and bare words, with
// one-line messages on stderr prefixed by the command's name.
struct ArgumentReader {
    const char* command;  // "play", for messages
    int argc;
    char** argv;
    int at;
};

// The value after the flag at `at` (advancing past it), or null after
// complaining that it is missing.
const char* flagValue(ArgumentReader& args);

// Seconds per move: a number above 0 and at most MAX_SECONDS_PER_MOVE.
bool secondsArgument(const ArgumentReader& args, const char* text, double& seconds);

// A whole number in low…high.
bool countArgument(const ArgumentReader& args, const char* flag, const char* text, long low,
                   long high, long& value);

// Prints "tarnvel COMMAND: message" on stderr; returns the exit code for
// bad arguments.
int badArguments(const ArgumentReader& args, const std::string& message);

// Exit codes: 1 when the work failed (an engine, a file, a game), 2 for a
// command line that makes no sense.
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

}  // namespace tarnvel::cli
