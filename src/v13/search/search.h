// Iterative-deepening alpha-beta search of the global position.
#pragma once

#include <cstdint>

#include "board/movestack.h"

namespace tarnvel {

// Deepest ply and horizon: the move stack holds plies 0 … MAX_PLY − 1, and
// a node at MAX_PLY is only evaluated.
constexpr uint32_t MAX_PLY = MOVE_STACK_PLIES;
// Node entries between two looks at the clock and the play-now word: about
// a third of a millisecond at full speed, so that a 0.01 s move ends on
// time (a look costs tens of nanoseconds).
constexpr uint32_t CLOCK_CHECK_INTERVAL = 4096;
// Half-width of the root's first window around the previous best score.
constexpr int ASPIRATION_MARGIN = 60;
// Extension credit is counted in hundredths of a ply.
constexpr uint32_t CREDIT_PER_PLY = 100;

// Search-wide state, set up by rootSearch and updated by nodeSearch.
extern bool stopSearch;              // time is up or the host asked to play now
extern uint32_t clockCheckCounter;   // node entries since the clock was last read
extern int64_t deadline;             // monotonic ms at which the search stops
extern uint64_t nodeCount;           // nodes entered in this search
extern uint64_t dbHitCount;          // database probes answered win, loss or draw
extern uint32_t selDepth;            // deepest ply entered in this iteration
extern uint32_t dbConditionalPly;    // probes from this ply on use cached blocks only
extern uint32_t rootDbWinPieces;     // pieces of a root the database calls won, else 0
extern int32_t rootScores[MOVES_PER_PLY];  // last score of each root move slot

// Tools and tests only (the host cannot reach it): when non-zero, the search
// ends after this iteration depth as if it were the last, so that a search
// does not depend on the clock.
extern uint32_t searchDepthLimit;

// Score of the global position with `whiteToMove` to move, searched to
// `horizon` plies from the root; the position is left as on entry. The
// result is meaningless once stopSearch is set.
int nodeSearch(int alpha, int beta, uint32_t ply, uint32_t horizon, uint32_t credit,
               int whiteToMove);

// Chooses a move for the global position and makes it there. Returns a
// getmove result code: TARNVEL_LOSS only when there is no legal move (the
// position is then untouched), else win, draw or unknown for the side that
// was to move. The report line goes into hostText when it is set. The
// budget (timeBudgetMs) and the report's time count from startMs, the
// monotonic ms at which the move's clock started.
int rootSearch(int whiteToMove, int64_t startMs);

}  // namespace tarnvel
