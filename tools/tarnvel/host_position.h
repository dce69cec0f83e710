// The host's part around the statically linked engine's getmove: building
// its board, naming the engine's move, sending commands.
#pragma once

#include <string>
#include <vector>

#include "linked_engine.h"

namespace tarnvel::cli {

// A position as the host holds it, with every legal move's outcome, so the
// engine's move can be named from the board it hands back.
struct HostPosition {
    int board[8][8];
    int color;  // 1 White to move, 2 Black
    struct Outcome {
        std::string notation;
        std::string positionText;  // after the move, other side to move
        int board[8][8];
    };
    std::vector<Outcome> outcomes;
};

// False when the text does not parse.
bool loadHostPosition(const char* text, HostPosition* host);

// The outcome whose board equals `board`, or null.
const HostPosition::Outcome* findOutcome(const HostPosition& host, const int board[8][8]);

// "draw", "win", "loss" or "unknown".
const char* resultWord(int code);

// Engine command text and reply, through the engine's command entry point.
std::string sendCommand(const LinkedEngine& engine, const std::string& command,
                        int* result = nullptr);

}  // namespace tarnvel::cli
