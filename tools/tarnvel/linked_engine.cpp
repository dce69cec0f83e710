#include "linked_engine.h"

#include "tarnvel/tarnvel.h"
#include "v13/interface/library_load.h"
#include "v13/search/fixed_depth.h"
#include "v13/search/search.h"
#include "v2/interface/engine.h"
#include "v2/search/fixed_depth.h"

namespace tarnvel::cli {

namespace {

int v13GetMove(int board[8][8], int color, double seconds, char* text, int* playNow, int info) {
    return getmove(board, color, seconds, text, playNow, info, 0, 0);
}

bool v13FixedDepth(const char* text, uint32_t depth, FixedDepthRun* run) {
    FixedDepthSearch search{};
    if (!tarnvel::searchFixedDepth(text, depth, &search)) return false;
    *run = {search.nodes, search.seconds, search.cpuSeconds};
    return true;
}

bool v2FixedDepth(const char* text, uint32_t depth, FixedDepthRun* run) {
    v2::FixedDepthSearch search{};
    if (!v2::searchFixedDepth(text, depth, &search)) return false;
    *run = {search.nodes, search.seconds, search.cpuSeconds};
    return true;
}

const LinkedEngine ENGINES[] = {
    {"v1.3", v13GetMove, enginecommand, attachLibrary,
     [](uint32_t depth) { searchDepthLimit = depth; }, v13FixedDepth},
    {"2", v2::getMove, v2::engineCommand, v2::attach,
     [](uint32_t depth) { v2::searchDepthLimit = depth; }, v2FixedDepth},
};

}  // namespace

const LinkedEngine* linkedEngine(const std::string& name) {
    if (name == "v1.3" || name == "1.3") return &ENGINES[0];
    if (name == "2" || name == "v2" || name == "2.0") return &ENGINES[1];
    return nullptr;
}

CLI::Option* addLinkedEngine(CLI::App& app, std::string& name) {
    return app.add_option("--engine", name, "engine: v1.3 (default) or 2")
        ->check(CLI::IsMember({"v1.3", "1.3", "2", "v2", "2.0"}));
}

}  // namespace tarnvel::cli
