// tarnvel: command-line host for the engine.
#include <cstdio>
#include <cstring>

#include "commands.h"

namespace {
void usage(FILE* out) {
    std::fprintf(out, "usage: tarnvel COMMAND [ARGS]   (tarnvel COMMAND --help for details)\n\n");
    for (const tarnvel::cli::Command& c : tarnvel::cli::commandRegistry())
        std::fprintf(out, "  %s\n", c.summary);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage(stderr);
        return 2;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "help")) {
        usage(stdout);
        return 0;
    }
    for (const tarnvel::cli::Command& c : tarnvel::cli::commandRegistry())
        if (!std::strcmp(argv[1], c.name)) return c.run(argc - 2, argv + 2);
    std::fprintf(stderr, "tarnvel: unknown command '%s' (try tarnvel --help)\n", argv[1]);
    return 2;
}
