// Tarnvel 2's search: iterative deepening with aspiration windows over a
// principal-variation alpha-beta search, a bucketed transposition table,
// killer and history move ordering, late-move reductions, a capture-only
// search beyond the horizon, and endgame-database probes that steer won
// endings towards their conversion.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/movestack.h"
#include "board/position.h"

namespace tarnvel::v2 {

constexpr int MAX_PLY = 128;
constexpr int MAX_SEARCH_THREADS = 64;

struct SearchLimits {
    int64_t startMs = 0;         // monotonic time the host's call began
    int64_t allowanceMs = 0;     // the host's time for this move; 0 with maxDepth set: no clock
    int maxDepth = 0;            // iterations to run at most; 0: until the clock says stop
    volatile int32_t* playNow = nullptr;  // the host's play-now word, may be null
};

struct SearchResult {
    bool hasMove = false;  // false: the side to move has no legal move
    MoveRecord move{};
    int score = 0;
    int depth = 0;         // last completed iteration
    uint64_t nodes = 0;
    int resultCode = 0;    // getmove's code for the side to move
};

// The positions played before the root, oldest first, for repetitions.
struct GameContext {
    const uint64_t* keys = nullptr;
    int length = 0;
};

// Searches `root` with `whiteToMove` to move (a copy: the evaluation
// borrows the global position). The report line goes into
// `report` (capacity bytes) after every iteration when report is not null.
SearchResult searchPosition(Position root, int whiteToMove, const GameContext& game,
                            const SearchLimits& limits, char* report, size_t reportCapacity);

// Threads that search each move, the main one included (1 at start-up).
// More threads share the table and reach deeper in the same time, but the
// search is then no longer reproducible. Returns the number now set,
// `threads` within 1 to MAX_SEARCH_THREADS.
int setSearchThreads(int threads);
int searchThreads();

// Forgets what earlier searches learnt (table, move-ordering statistics),
// for a reproducible search.
void resetSearchMemory();

// A new game: the move-ordering statistics start afresh and the table's
// entries become the first to be replaced. They stay usable: a position's
// value does not depend on the game it came from, and clearing a large
// table would cost the first move its time.
void startNewGame();

}  // namespace tarnvel::v2
