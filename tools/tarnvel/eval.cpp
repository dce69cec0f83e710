// tarnvel eval: the engine's static evaluation report of a position.
#include <cstdio>
#include <string>

#include "arguments.h"
#include "commands.h"
#include "host_position.h"
#include "linked_engine.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel::cli {

namespace {

constexpr const char* HELP =
    "usage: tarnvel eval [--engine v1.3|2] POSITION-TEXT\n"
    "Prints the breakdown the \"staticevaluation\" command gives for\n"
    "POSITION-TEXT (e.g. B:W18,24,K10:B12,K22.), with the verdict of the\n"
    "endgame database in ./db when there is one.\n";

int evalCommand(int argc, char** argv) {
    CommandLine line("eval", HELP);
    std::string text, engineName = "v1.3";
    addLinkedEngine(line.app, engineName);
    line.app.add_option("POSITION-TEXT", text)->required();
    if (const int status = line.parse(argc, argv); status != PARSED) return status;
    const LinkedEngine& engine = *linkedEngine(engineName);
    engine.attach();
    // A host's first move opens the endgame database; one move on a copy of
    // the board with no time to think does that here, so the report's
    // database verdict is the database's.
    HostPosition host;
    if (loadHostPosition(text.c_str(), &host)) {
        char report[TARNVEL_TEXT_CAPACITY] = "";
        int playNow = 0;
        engine.getmove(host.board, host.color, 0.0, report, &playNow, 1);
    }
    const std::string reply = sendCommand(engine, "staticevaluation " + text);
    if (reply.rfind("cannot parse: ", 0) == 0)
        return line.fail("cannot parse position '" + text + "'");
    std::printf("%s", reply.c_str());
    return 0;
}

const bool registered =
    registerCommand({"eval", evalCommand, "eval [--engine v1.3|2] POSITION-TEXT  static evaluation report", 30});

}  // namespace

}  // namespace tarnvel::cli
