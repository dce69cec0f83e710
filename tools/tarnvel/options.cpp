#include "options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tarnvel::cli {

int badArguments(const ArgumentReader& args, const std::string& message) {
    std::fprintf(stderr, "tarnvel %s: %s\n", args.command, message.c_str());
    return EXIT_USAGE;
}

const char* flagValue(ArgumentReader& args) {
    const char* flag = args.argv[args.at];
    if (args.at + 1 >= args.argc) {
        badArguments(args, std::string(flag) + " needs a value");
        return nullptr;
    }
    return args.argv[++args.at];
}

bool secondsArgument(const ArgumentReader& args, const char* text, double& seconds) {
    char* end = nullptr;
    const double s = std::strtod(text, &end);
    if (*text == '\0' || *end != '\0' || !std::isfinite(s) || s <= 0 || s > MAX_SECONDS_PER_MOVE) {
        badArguments(args, "--time must be seconds above 0 and at most " +
                               std::to_string(static_cast<long>(MAX_SECONDS_PER_MOVE)) + ", not '" +
                               text + "'");
        return false;
    }
    seconds = s;
    return true;
}

bool countArgument(const ArgumentReader& args, const char* flag, const char* text, long low,
                   long high, long& value) {
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || n < low || n > high) {
        badArguments(args, std::string(flag) + " must be a whole number from " +
                               std::to_string(low) + " to " + std::to_string(high) + ", not '" +
                               text + "'");
        return false;
    }
    value = n;
    return true;
}

}  // namespace tarnvel::cli
