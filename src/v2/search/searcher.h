// The state of one search and the recursive node search; the root's
// iterative deepening drives it (root.cpp). Each thread of a search has
// its own; they share the transposition table.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "v2/eval/network.h"
#include "v2/eval/static_eval.h"
#include "v2/search/movelist.h"
#include "v2/search/search.h"

namespace tarnvel::v2 {

// What the endgame database says about the root.
enum class RootVerdict { NONE, WIN, LOSS, DRAW };

struct PlyState {
    Position pos;
    network::Accumulator acc;  // the evaluation's first layer for pos
    int side;                 // 1: White to move
    MoveRecord killer[2];
    MoveList moves;
    int moveScore[MOVES_PER_PLY];
};

class Searcher {
public:
    Searcher();

    // Node search: the score of the position at `ply` in stack_, searched
    // `depth` plies deep.
    int search(int alpha, int beta, int depth, int ply, bool pvNode);
    // Captures until none is left; at the horizon (`horizon`) a position
    // whose side to move is threatened with a capture gets one more ply.
    int quiescence(int alpha, int beta, int ply, bool horizon);

    // Set up by the root before each search.
    void start(const Position& root, int whiteToMove, const GameContext& game,
               const SearchLimits& limits);
    void clearHistory();
    void ageHistory();

    // One iteration at the root over the moves in `order` (best first);
    // each move's score goes to scores[move]. Returns the best score, and
    // the best move's place in the list in *bestMove (unchanged when no
    // move was searched to the end).
    int searchRoot(int alpha, int beta, int depth, const int* order, int* scores, int* bestMove);

    PlyState stack_[MAX_PLY + 2];
    MoveRecord pv_[MAX_PLY + 1][MAX_PLY + 1];
    int pvLength_[MAX_PLY + 1];

    // Read by the main thread while a helper searches, so atomic; only its
    // own thread writes it.
    std::atomic<uint64_t> nodes_{0};
    uint64_t dbHits_ = 0;
    int selDepth_ = 0;
    int rootDepth_ = 0;
    bool stop_ = false;

    RootVerdict rootVerdict_ = RootVerdict::NONE;
    uint32_t rootPieces_ = 0;

    int64_t hardStopMs_ = 0;  // 0: no clock
    volatile int32_t* playNow_ = nullptr;
    const std::atomic<bool>* stopAll_ = nullptr;  // a helper's signal to stop

    // Sets up stack_[ply + 1] as the position after m.
    void makeChild(int ply, const MoveRecord& m) {
        PlyState& parent = stack_[ply];
        PlyState& child = stack_[ply + 1];
        child.pos = parent.pos;
        applyMove(child.pos, m);
        child.side = !parent.side;
        if constexpr (EVAL_USES_ACCUMULATORS) network::update(parent.acc, parent.pos, child.pos, child.acc);
    }

private:
    void checkClock();
    bool isRepetition(int ply) const;
    void orderMoves(PlyState& st, int ttMove);
    void updateQuietStats(PlyState& st, const MoveRecord& best, const int* tried, int triedCount,
                          int depth);
    void updatePv(int ply, const MoveRecord& m);
    bool probeDatabase(const Position& p, int side, int ply, int* score);
    void enter(int ply);

    int history_[2][32][32];
    std::vector<uint64_t> keys_;  // the game's keys, then the search path's
    int gameLength_ = 0;
};

extern Searcher searcher;

}  // namespace tarnvel::v2
