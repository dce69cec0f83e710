// One game of a match, played in a worker process that holds its own
// copies of both engines: the moves, the wall time of every getmove call
// and the positions the engines searched.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine_library.h"
#include "game.h"
#include "training_record.h"

namespace tarnvel::cli {

constexpr int MATCH_PLAYERS = 2;

struct MatchPlayer {
    EngineLibrary engine;
    std::string label;  // "A" or "B"
    std::string name;   // engine name and label, as the PDN names the players
};

struct MoveTime {
    uint32_t ply;
    uint8_t player;  // 0: A, 1: B
    uint8_t first;   // the player's first move of the game
    double wallMs;   // of the getmove call, on the steady clock
};

struct PlayedGame {
    long round = 0;  // 0-based
    Outcome outcome = Outcome::ONGOING;
    std::string reason;
    int forfeit = -1;  // the player who handed back an illegal board, if one did
    uint64_t plies = 0;
    std::string pdn;  // the game as the PDN file gets it
    std::vector<MoveTime> times;
    // The positions searched with more than one legal move (a forced move
    // tells nothing), in the order played.
    std::vector<TrainingRecord> positions;
};

// Called before every getmove with who moves ("B's move as White at ply 12").
using BeforeMove = std::function<void(const std::string& mover)>;

// Plays from `start` to the end; `blackPlayer` (0 or 1) takes Black.
PlayedGame playMatchGame(long round, const GameRecord& start, MatchPlayer players[MATCH_PLAYERS],
                         int blackPlayer, double seconds, const BeforeMove& beforeMove);

}  // namespace tarnvel::cli
