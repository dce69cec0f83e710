// tarnvel command: any engine command, as the host sends it.
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "host_helpers.h"
#include "platform/library_load.h"

namespace tarnvel::cli {

namespace {

constexpr const char* USAGE = "usage: tarnvel command \"TEXT\"\n";

int commandCommand(int argc, char** argv) {
    if (argc == 1 && !std::strcmp(argv[0], "--help")) {
        std::printf("%s"
                    "Sends TEXT (e.g. \"about\", \"get hashsize\", \"set hashsize 64\") to the\n"
                    "engine's command entry point; prints the reply and the result (1 known\n"
                    "command, 0 unknown).\n",
                    USAGE);
        return 0;
    }
    if (argc != 1) {
        std::fprintf(stderr, "%s", USAGE);
        return 2;
    }
    platform::attachLibrary();
    int result = 0;
    const std::string reply = sendCommand(argv[0], &result);
    std::printf("%s\nresult: %d\n", reply.c_str(), result);
    return 0;
}

const bool registered = registerCommand(
    {"command", commandCommand, "command \"TEXT\"  send an engine command, show the reply", 40});

}  // namespace

}  // namespace tarnvel::cli
