// Asking the endgame database about the global position.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "egdb/database.h"

namespace tarnvel {

constexpr uint32_t DB_SIDE_WHITE = 1;
constexpr uint32_t DB_SIDE_BLACK = 2;

// The database's answer for the side to move; with `conditional` set only
// blocks already in the cache are read.
inline int32_t probeGlobalPosition(int whiteToMove, int32_t conditional) {
    const Position& p = position;
    const DbQuery query{p.bm, p.bk, p.wm, p.wk, whiteToMove ? DB_SIDE_WHITE : DB_SIDE_BLACK};
    return probeDatabase(&query, conditional);
}

}  // namespace tarnvel
