// tarnvel: command-line host for the engine.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "commands.h"

namespace tarnvel::cli {

namespace {
std::vector<Command>& registry() {
    static std::vector<Command> commands;
    return commands;
}

void usage(FILE* out) {
    std::vector<Command> sorted = registry();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command& a, const Command& b) { return a.order < b.order; });
    std::fprintf(out, "usage: tarnvel COMMAND [ARGS]   (tarnvel COMMAND --help for details)\n\n");
    for (const Command& c : sorted) std::fprintf(out, "  %s\n", c.summary);
}
}  // namespace

bool registerCommand(const Command& command) {
    registry().push_back(command);
    return true;
}

}  // namespace tarnvel::cli

int main(int argc, char** argv) {
    using namespace tarnvel::cli;
    if (argc < 2) {
        usage(stderr);
        return 2;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "help")) {
        usage(stdout);
        return 0;
    }
    for (const Command& c : registry())
        if (!std::strcmp(argv[1], c.name)) return c.run(argc - 2, argv + 2);
    std::fprintf(stderr, "tarnvel: unknown command '%s' (try tarnvel --help)\n", argv[1]);
    return 2;
}
