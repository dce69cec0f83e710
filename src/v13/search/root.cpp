#include "board/movegen.h"
#include "board/movestack.h"
#include "board/position.h"
#include "v13/eval/evaluate.h"
#include "interface/engine_state.h"
#include "interface/history.h"
#include "platform/clock.h"
#include "v13/search/db_probe.h"
#include "v13/search/report.h"
#include "v13/search/score.h"
#include "v13/search/search.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {

namespace {

// Stable sort of the n root moves by rootScores, highest first; every
// record moves with its score. Returns the new slot of the move that was
// in slot `tracked`.
uint32_t sortRootMoves(uint32_t n, uint32_t tracked) {
    for (uint32_t i = 1; i < n; ++i)
        for (uint32_t j = i; j > 0 && rootScores[j - 1] < rootScores[j]; --j) {
            const int32_t score = rootScores[j];
            rootScores[j] = rootScores[j - 1];
            rootScores[j - 1] = score;
            swapMoves(j - 1, j);
            if (tracked == j) tracked = j - 1;
            else if (tracked == j - 1) tracked = j;
        }
    return tracked;
}

// What the database says about the root, as a result code; sets
// rootDbWinPieces for a won root.
int rootDatabaseCode(int whiteToMove) {
    rootDbWinPieces = 0;
    const uint32_t pieces = position.wcount + position.bcount;
    if (pieces > dbPieceLimit || captureExists()) return TARNVEL_UNKNOWN;
    switch (probeGlobalPosition(whiteToMove, 0)) {
        case DB_WIN:
            rootDbWinPieces = pieces;
            return TARNVEL_WIN;
        case DB_LOSS: return TARNVEL_LOSS;
        case DB_DRAW: return TARNVEL_DRAW;
        default: return TARNVEL_UNKNOWN;
    }
}

void report(int best, uint32_t depth, int64_t startMs) {
    writeSearchReport(hostText, TARNVEL_TEXT_CAPACITY, best, depth, selDepth, nodeCount,
                      dbHitCount, platform::monotonicMs() - startMs);
}

}  // namespace

int rootSearch(int whiteToMove, int64_t startMs) {
    plyBase = 0;
    moveCount = 0;
    const Bitboard empty = ~(position.wm | position.wk | position.bm | position.bk);
    if (!generateCaptures(whiteToMove, empty) && !generateNonCaptures(whiteToMove, empty))
        return TARNVEL_LOSS;
    const uint32_t n = moveCount;
    crowningFirst(0, n);

    const int dbCode = rootDatabaseCode(whiteToMove);
    int centre = evaluate(whiteToMove, -SCORE_INFINITE, SCORE_INFINITE);

    const Position saved = position;
    const uint32_t savedLength = gameHistory.length;
    deadline = startMs + timeBudgetMs;
    nodeCount = 0;
    dbHitCount = 0;
    stopSearch = false;
    uint32_t bestIdx = 0;
    const uint32_t lastDepth =
        searchDepthLimit != 0 && searchDepthLimit < MAX_PLY ? searchDepthLimit : MAX_PLY;
    const int child = !whiteToMove;

    int result = dbCode;
    for (uint32_t d = 1; d <= lastDepth; ++d) {
        selDepth = d;
        dbConditionalPly = d / 2;
        int best = -SCORE_INFINITE;
        const int lo = centre - ASPIRATION_MARGIN;
        const int hi = centre + ASPIRATION_MARGIN;
        bool stopped = false;
        for (uint32_t i = 0; i < n; ++i) {
            makeMove(i);
            int score;
            if (i == 0) {
                score = -nodeSearch(-hi, -lo, 1, d, 0, child);
                if (score <= lo || score >= hi)
                    score = -nodeSearch(-SCORE_INFINITE, SCORE_INFINITE, 1, d, 0, child);
            } else {
                score = -nodeSearch(-best - 1, -best, 1, d, 0, child);
                if (score > best) score = -nodeSearch(-SCORE_INFINITE, -best, 1, d, 0, child);
            }
            position = saved;
            gameHistory.length = savedLength;
            rootScores[i] = score;
            if (stopSearch) {
                stopped = true;
                break;
            }
            if (score > best) {
                best = score;
                bestIdx = i;
            }
            report(best, d, startMs);
        }
        // An unfinished iteration keeps its best completed move (or the
        // previous iteration's, in slot 0) but only a proven win is trusted.
        if (stopped) {
            if (best <= -SCORE_DECIDED) result = TARNVEL_UNKNOWN;
            else if (best >= SCORE_DECIDED && rootDbWinPieces == 0) result = TARNVEL_WIN;
            else result = d == lastDepth ? dbCode : TARNVEL_UNKNOWN;
            break;
        }
        if (best <= -SCORE_DECIDED) {
            result = TARNVEL_UNKNOWN;
            break;
        }
        // A database win goes on deepening until the search shows the way.
        if (best >= SCORE_DECIDED && rootDbWinPieces == 0) {
            result = TARNVEL_WIN;
            break;
        }
        if (n == 1) {
            result = dbCode;
            break;
        }
        bestIdx = sortRootMoves(n, bestIdx);
        centre = best;
    }

    makeMove(bestIdx);
    // A lost root is reported as unknown: loss means there was no move.
    return result == TARNVEL_LOSS ? TARNVEL_UNKNOWN : result;
}

}  // namespace tarnvel
