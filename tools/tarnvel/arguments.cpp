#include "arguments.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "v2/search/search.h"

namespace tarnvel::cli {

CommandLine::CommandLine(const char* command, std::string help)
    : command_(command), help_(std::move(help)) {
    app.name(std::string("tarnvel ") + command);
    app.set_help_flag("-h,--help");
    // Left-over words are reported in the host's own words below.
    app.allow_extras(true);
}

int CommandLine::fail(const std::string& message) const {
    std::fprintf(stderr, "tarnvel %s: %s\n", command_.c_str(), message.c_str());
    return EXIT_USAGE;
}

int CommandLine::parse(int argc, char** argv) {
    // The words after the command's name; CLI11 takes them last first.
    std::vector<std::string> words(argv, argv + argc);
    std::reverse(words.begin(), words.end());
    try {
        app.parse(words);
    } catch (const CLI::CallForHelp&) {
        std::printf("%s", help_.c_str());
        return 0;
    } catch (const CLI::ArgumentMismatch& e) {
        // Every option takes one value, so the mismatch is a missing one.
        const std::string what = e.what();
        return fail(what.substr(0, what.find(':')) + " needs a value");
    } catch (const CLI::ValidationError& e) {
        // "--time: --time must be ...": the checks below name what they check.
        const std::string what = e.what();
        const size_t colon = what.find(": ");
        return fail(colon == std::string::npos ? what : what.substr(colon + 2));
    } catch (const CLI::ParseError& e) {
        return fail(e.what());
    }
    const std::vector<std::string> extra = app.remaining();
    if (!extra.empty())
        return fail("unknown argument '" + extra.front() + "' (try tarnvel " + command_ +
                    " --help)");
    return PARSED;
}

CLI::Option* addSeconds(CLI::App& app, double& seconds, bool zeroAllowed,
                        const std::string& flag) {
    const std::string range = zeroAllowed ? "from 0" : "above 0";
    const CLI::Validator check(
        [=](std::string& text) {
            char* end = nullptr;
            const double s = std::strtod(text.c_str(), &end);
            const bool inRange = zeroAllowed ? s >= 0 : s > 0;
            if (!text.empty() && *end == '\0' && std::isfinite(s) && inRange &&
                s <= MAX_SECONDS_PER_MOVE)
                return std::string();
            return flag + " must be seconds " + range + " and at most " +
                   std::to_string(static_cast<long>(MAX_SECONDS_PER_MOVE)) + ", not '" + text +
                   "'";
        },
        "S");
    return app.add_option(flag, seconds)->check(check);
}

CLI::Validator countCheck(const std::string& flag, long low, long high) {
    return CLI::Validator(
        [=](std::string& text) {
            char* end = nullptr;
            errno = 0;
            const long n = std::strtol(text.c_str(), &end, 10);
            if (!text.empty() && *end == '\0' && errno == 0 && n >= low && n <= high)
                return std::string();
            return flag + " must be a whole number from " + std::to_string(low) + " to " +
                   std::to_string(high) + ", not '" + text + "'";
        },
        "N");
}

CLI::Option* addCount(CLI::App& app, const std::string& flag, long low, long high, long& value) {
    return app.add_option(flag, value)->check(countCheck(flag, low, high));
}

CLI::Option* addHash(CLI::App& app, long& megabytes) {
    return addCount(app, "--hash", MIN_HASH_MEGABYTES, MAX_HASH_MEGABYTES, megabytes);
}

CLI::Validator threadsCheck() { return countCheck("--threads", 1, v2::MAX_SEARCH_THREADS); }

CLI::Option* addThreads(CLI::App& app, long& threads) {
    return app.add_option("--threads", threads)->check(threadsCheck());
}

}  // namespace tarnvel::cli
