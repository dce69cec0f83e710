// The two engines linked into this program, for the commands that drive an
// engine in-process (move, eval, command, bench): chosen by short name.
#pragma once

#include <cstdint>
#include <string>

#include <CLI/CLI.hpp>

namespace tarnvel::cli {

struct FixedDepthRun {
    uint64_t nodes;
    double seconds, cpuSeconds;
};

struct LinkedEngine {
    const char* shortName;
    int (*getmove)(int board[8][8], int color, double seconds, char* text, int* playNow, int info);
    int (*command)(const char* command, char* reply);
    void (*attach)();
    // Iterations after which a search ends whatever the clock says; 0: none.
    void (*limitDepth)(uint32_t depth);
    // A search from a new game to a fixed depth; false when the text does not parse.
    bool (*searchFixedDepth)(const char* text, uint32_t depth, FixedDepthRun* run);
};

// "v1.3" (or "1.3") and "2" (or "v2", "2.0"); null for anything else.
const LinkedEngine* linkedEngine(const std::string& name);

// "--engine v1.3|2" for a command; the default is v1.3.
CLI::Option* addLinkedEngine(CLI::App& app, std::string& name);

}  // namespace tarnvel::cli
