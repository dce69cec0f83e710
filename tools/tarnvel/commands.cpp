#include "commands.h"

#include <algorithm>

namespace tarnvel::cli {

std::vector<Command>& commandRegistry() {
    static std::vector<Command> commands;
    return commands;
}

bool registerCommand(const Command& command) {
    commandRegistry().push_back(command);
    std::stable_sort(commandRegistry().begin(), commandRegistry().end(),
                     [](const Command& a, const Command& b) { return a.order < b.order; });
    return true;
}

}  // namespace tarnvel::cli
