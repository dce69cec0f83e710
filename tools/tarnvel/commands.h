// The subcommands of the tarnvel command-line host. Each command's file
// registers itself; main lists them in `order`.
#pragma once

#include <vector>

namespace tarnvel::cli {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);  // arguments after the command's name
    const char* summary;                // one line for `tarnvel --help`
    int order;                          // position in the help listing
};

bool registerCommand(const Command& command);

// Every registered command, in `order`.
std::vector<Command>& commandRegistry();

}  // namespace tarnvel::cli
