// What Tarnvel 2 remembers of the game between host calls: the positions
// played so far, for repetitions and the 100-ply rule. The host passes only
// a board, so the game is followed by recognising the opponent's reply to
// the position the engine left.
#pragma once

#include <cstdint>
#include <vector>

#include "board/position.h"

namespace tarnvel::v2 {

struct GameTrack {
    std::vector<uint64_t> keys;  // positions before the current one, oldest first
    Position left{};             // the position after the engine's last move
    int leftSide = 0;            // the side to move there
    bool following = false;      // `left` belongs to this game

    void newGame();
    // Brings the record up to the board `now` (pieces only; its key and
    // reversiblePlies are filled in here) with `side` to move.
    void arrive(Position& now, int side);
    // The engine played from `before` to `after`.
    void played(const Position& before, const Position& after, int sideAfter);
};

extern GameTrack gameTrack;

}  // namespace tarnvel::v2
