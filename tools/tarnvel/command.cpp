// tarnvel command: any engine command, as the host sends it.
#include <cstdio>
#include <string>

#include "arguments.h"
#include "commands.h"
#include "host_position.h"
#include "linked_engine.h"

namespace tarnvel::cli {

namespace {

constexpr const char* HELP =
    "usage: tarnvel command [--engine v1.3|2] \"TEXT\"\n"
    "Sends TEXT (e.g. \"about\", \"get hashsize\", \"set hashsize 64\") to the\n"
    "engine's command entry point; prints the reply and the result (1 known\n"
    "command, 0 unknown).\n";

int commandCommand(int argc, char** argv) {
    CommandLine line("command", HELP);
    std::string text, engineName = "v1.3";
    addLinkedEngine(line.app, engineName);
    line.app.add_option("TEXT", text)->required();
    if (const int status = line.parse(argc, argv); status != PARSED) return status;
    const LinkedEngine& engine = *linkedEngine(engineName);
    engine.attach();
    int result = 0;
    const std::string reply = sendCommand(engine, text, &result);
    std::printf("%s\nresult: %d\n", reply.c_str(), result);
    return 0;
}

const bool registered = registerCommand(
    {"command", commandCommand, "command \"TEXT\"  send an engine command, show the reply", 40});

}  // namespace

}  // namespace tarnvel::cli
