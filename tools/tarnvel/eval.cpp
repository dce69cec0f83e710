// tarnvel eval: the engine's static evaluation report of a position.
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "host_helpers.h"
#include "platform/library_load.h"

namespace tarnvel::cli {

namespace {

constexpr const char* USAGE = "usage: tarnvel eval POSITION-TEXT\n";

int evalCommand(int argc, char** argv) {
    if (argc == 1 && !std::strcmp(argv[0], "--help")) {
        std::printf("%s"
                    "Prints the breakdown the \"staticevaluation\" command gives for\n"
                    "POSITION-TEXT (e.g. B:W18,24,K10:B12,K22.).\n",
                    USAGE);
        return 0;
    }
    if (argc != 1) {
        std::fprintf(stderr, "%s", USAGE);
        return 2;
    }
    platform::attachLibrary();
    const std::string reply = sendCommand(std::string("staticevaluation ") + argv[0]);
    if (reply.rfind("cannot parse: ", 0) == 0) {
        std::fprintf(stderr, "tarnvel eval: cannot parse position '%s'\n", argv[0]);
        return 2;
    }
    std::printf("%s", reply.c_str());
    return 0;
}

const bool registered =
    registerCommand({"eval", evalCommand, "eval POSITION-TEXT  static evaluation report", 30});

}  // namespace

}  // namespace tarnvel::cli
