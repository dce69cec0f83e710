// The subcommands of tarnvel-egdb; each takes the arguments after its name
// and returns the process exit status.
#pragma once

namespace tarnvel::egdbtool {

int buildCommand(int argc, char** argv);
int verifyCommand(int argc, char** argv);

// Exit status for bad arguments.
constexpr int USAGE_ERROR = 2;

}  // namespace tarnvel::egdbtool
