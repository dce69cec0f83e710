// tarnvel-egdb: builds and checks endgame databases.
#include <cstdio>
#include <cstring>

#include "subcommands.h"

namespace {
void usage(FILE* out) {
    std::fprintf(out,
                 "usage: tarnvel-egdb COMMAND [ARGS]   (tarnvel-egdb COMMAND --help for details)\n\n"
                 "  build --pieces N [--out DIR] [--threads T]  solve and write databases of 2…N pieces\n"
                 "  verify [DIR]                                check a database against its own moves\n");
}
}  // namespace

int main(int argc, char** argv) {
    using namespace tarnvel::egdbtool;
    if (argc < 2) {
        usage(stderr);
        return USAGE_ERROR;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "help")) {
        usage(stdout);
        return 0;
    }
    if (!std::strcmp(argv[1], "build")) return buildCommand(argc - 2, argv + 2);
    if (!std::strcmp(argv[1], "verify")) return verifyCommand(argc - 2, argv + 2);
    std::fprintf(stderr, "tarnvel-egdb: unknown command '%s' (try tarnvel-egdb --help)\n", argv[1]);
    return USAGE_ERROR;
}
