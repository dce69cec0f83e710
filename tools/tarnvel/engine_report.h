// What a host reads from an engine's report line: the score of its search
// ("value=N", or "win=N" / "loss=N" plies from a decided end) and, where
// the engine writes one, its principal variation ("  pv 11-15 23-19").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnvel::cli {

struct EngineScore {
    std::string text;  // "value=12", "win=7" as the engine wrote it
    int forBlack;      // the value from Black's side (0 when decided)
    int decided;       // +1 Black wins, -1 Black loses, 0 a value
};

// The score of a report written for the side to move, or none.
std::optional<EngineScore> readEngineScore(std::string_view report, int whiteToMove);

// The principal variation's moves as square paths, up to the first word
// that is no move; empty without "  pv ".
std::vector<std::vector<int>> readPrincipalVariation(std::string_view report);

}  // namespace tarnvel::cli
