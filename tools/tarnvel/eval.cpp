// tarnvel eval: the engine's static evaluation report of a position.
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "host_helpers.h"
#include "platform/library_load.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel::cli {

namespace {

constexpr const char* USAGE = "usage: tarnvel eval POSITION-TEXT\n";

int evalCommand(int argc, char** argv) {
    if (argc == 1 && !std::strcmp(argv[0], "--help")) {
        std::printf("%s"
                    "Prints the breakdown the \"staticevaluation\" command gives for\n"
                    "POSITION-TEXT (e.g. B:W18,24,K10:B12,K22.), with the verdict of the\n"
                    "endgame database in ./db when there is one.\n",
                    USAGE);
        return 0;
    }
    if (argc != 1) {
        std::fprintf(stderr, "%s", USAGE);
        return 2;
    }
    platform::attachLibrary();
    // A host's first move opens the endgame database; one move on a copy of
    // the board with no time to think does that here, so the report's
    // database verdict is the database's.
    HostPosition host;
    if (loadHostPosition(argv[0], &host)) {
        char text[TARNVEL_TEXT_CAPACITY] = "";
        int playNow = 0;
        getmove(host.board, host.color, 0.0, text, &playNow, 1, 0, 0);
    }
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
