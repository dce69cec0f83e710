#include <algorithm>

#include "board/movegen.h"
#include "board/movestack.h"
#include "board/position.h"
#include "v13/eval/evaluate.h"
#include "interface/engine_state.h"
#include "interface/history.h"
#include "platform/clock.h"
#include "v13/search/db_probe.h"
#include "v13/search/score.h"
#include "v13/search/search.h"
#include "v13/search/smallending.h"
#include "v13/search/tt.h"

namespace tarnvel {

namespace {

// A node whose material lead is this far above beta first checks the lead
// with a shallower search of its own.
constexpr int VERIFICATION_MARGIN = 50;
constexpr uint32_t VERIFICATION_REDUCTION = 3;
constexpr uint32_t VERIFICATION_MIN_DEPTH = 4;
// Without a table move, nodes this deep first order their moves with a
// two-ply search.
constexpr uint32_t SHALLOW_PASS_MIN_DEPTH = 5;
constexpr uint32_t SHALLOW_PASS_PLIES = 2;
// Repetitions need at least two moves by each side.
constexpr uint32_t REPETITION_MIN_PLIES = 4;

// Extension credit a child earns when its parent has only n = 1, 2, 3 moves.
constexpr uint32_t FORCING_CREDIT[4] = {0, 30, 10, 5};

inline uint32_t plyBaseOf(uint32_t ply) { return MOVES_PER_PLY * ply; }

inline Bitboard emptySquares(const Position& p) { return ~(p.wm | p.wk | p.bm | p.bk); }

inline int materialBalance(const Position& p, int whiteToMove) {
    const int white = MATERIAL_MAN * popCount(p.wm) + MATERIAL_KING * popCount(p.wk);
    const int black = MATERIAL_MAN * popCount(p.bm) + MATERIAL_KING * popCount(p.bk);
    return whiteToMove ? white - black : black - white;
}

// Starts loading the table slot a child will probe while its parent is
// still busy with the move.
inline void prefetchSlot(uint64_t key) {
#if defined(__GNUC__)
    if (ttEntries) __builtin_prefetch(&ttEntries[static_cast<uint32_t>(key) & ttIndexMask]);
#else
    (void)key;
#endif
}

inline bool timeIsUp() {
    if (++clockCheckCounter < CLOCK_CHECK_INTERVAL) return false;
    clockCheckCounter = 0;
    return platform::monotonicMs() >= deadline || (playNowFlag && *playNowFlag != 0);
}

// Equal to a position with the same side to move inside the current run of
// reversible plies. The walk stays inside the recorded history whatever
// reversiblePlies claims.
inline bool isRepetition(const Position& p) {
    if (p.reversiblePlies < REPETITION_MIN_PLIES) return false;
    const uint32_t length = gameHistory.length;
    const uint32_t pairs = std::min(p.reversiblePlies / 2, length / 2);
    for (uint32_t k = 1; k <= pairs; ++k)
        if (gameHistory.keys[length - 2 * k] == p.key) return true;
    return false;
}

inline void restore(const Position& saved, uint32_t savedLength) {
    position = saved;
    gameHistory.length = savedLength;
}

int captureOnlySearch(int alpha, int beta, uint32_t ply, uint32_t horizon, int whiteToMove) {
    const Position saved = position;
    plyBase = plyBaseOf(ply);
    moveCount = 0;
    // No stand-pat: a capture that exists must be played.
    if (!generateCaptures(whiteToMove, emptySquares(saved)))
        return evaluate(whiteToMove, alpha, beta);
    const uint32_t base = plyBase;
    const uint32_t n = moveCount;
    const uint32_t savedLength = gameHistory.length;
    crowningFirst(base, n);
    for (uint32_t s = 0; s < n; ++s) {
        makeMove(base + s);
        const int score = -nodeSearch(-beta, -alpha, ply + 1, horizon + 1, 0, !whiteToMove);
        restore(saved, savedLength);
        if (score > alpha) {
            if (score >= beta) return score;
            alpha = score;
        }
    }
    return alpha;
}

void storeCutoff(uint64_t key, int score, uint32_t depth, uint32_t slot) {
    if (score >= SCORE_DECIDED)
        ttStore(key, SCORE_DECIDED, DRAFT_DECIDED, BOUND_LOWER, static_cast<int>(slot));
    else
        ttStore(key, score, static_cast<int>(depth), BOUND_LOWER, static_cast<int>(slot));
}

void storeResult(uint64_t key, int alpha, uint32_t depth, int best) {
    const uint8_t bound = best >= 0 ? BOUND_EXACT : BOUND_UPPER;
    if (alpha <= -SCORE_DECIDED)
        ttStore(key, -SCORE_DECIDED, DRAFT_DECIDED, BOUND_UPPER, best);
    else if (alpha >= SCORE_DECIDED) {
        // A win proven only as an upper bound says nothing useful.
        if (bound == BOUND_EXACT) ttStore(key, SCORE_DECIDED, DRAFT_DECIDED, BOUND_LOWER, best);
    } else {
        ttStore(key, alpha, static_cast<int>(depth), bound, best);
    }
}

int fullWidthSearch(int alpha, int beta, uint32_t ply, uint32_t horizon, uint32_t credit,
                    int whiteToMove) {
    const uint32_t depth = horizon - ply;
    const uint64_t key = position.key;

    int tableMove = -1;
    if (const TTEntry* entry = ttProbe(key)) {
        tableMove = entry->move;
        if (static_cast<uint32_t>(ttDraft(*entry)) >= depth) {
            const int stored = entry->score;
            switch (ttBound(*entry)) {
                case BOUND_UPPER:
                    if (stored <= alpha) return stored;
                    beta = stored;
                    break;
                case BOUND_LOWER:
                    if (stored >= beta) return stored;
                    alpha = stored;
                    break;
                case BOUND_EXACT:
                    return stored;
                default:
                    break;
            }
        }
    }

    if (depth >= VERIFICATION_MIN_DEPTH && credit == 0) {
        const int lead = materialBalance(position, whiteToMove);
        if (lead > beta + VERIFICATION_MARGIN) {
            const int verified = nodeSearch(lead, lead + 1, ply, horizon - VERIFICATION_REDUCTION,
                                            0, whiteToMove);
            if (verified > lead) return verified;
        }
    }

    const Position saved = position;
    plyBase = plyBaseOf(ply);
    moveCount = 0;
    const Bitboard empty = emptySquares(saved);
    if (!generateCaptures(whiteToMove, empty) && !generateNonCaptures(whiteToMove, empty))
        return static_cast<int>(ply) - SCORE_GAMEOVER;
    const uint32_t base = plyBase;
    const uint32_t n = moveCount;
    const uint32_t savedLength = gameHistory.length;
    crowningFirst(base, n);

    const uint32_t childCredit = n < 4 ? credit + FORCING_CREDIT[n] : 0;
    uint32_t first = tableMove > 0 && static_cast<uint32_t>(tableMove) < n
                         ? static_cast<uint32_t>(tableMove)
                         : 0;
    const bool shallowPass = tableMove < 0 && n > 1 && depth >= SHALLOW_PASS_MIN_DEPTH;
    const int alphaOnEntry = alpha;

    for (int pass = shallowPass ? 0 : 1; pass < 2; ++pass) {
        const bool full = pass == 1;
        const uint32_t passHorizon = full ? horizon : ply + SHALLOW_PASS_PLIES;
        alpha = alphaOnEntry;
        int best = -1;
        for (uint32_t k = 0; k < n; ++k) {
            const uint32_t s = k == 0 ? first : k == first ? 0 : k;
            makeMove(base + s);
            // Children on the horizon search captures only and never probe.
            if (ply + 1 < passHorizon) prefetchSlot(position.key);
            int score;
            if (best < 0) {
                score = -nodeSearch(-beta, -alpha, ply + 1, passHorizon, childCredit, !whiteToMove);
            } else {
                score = -nodeSearch(-alpha - 1, -alpha, ply + 1, passHorizon, childCredit,
                                    !whiteToMove);
                if (score > alpha)
                    score = -nodeSearch(-beta, -alpha, ply + 1, passHorizon, childCredit,
                                        !whiteToMove);
            }
            restore(saved, savedLength);
            if (stopSearch) return 0;
            if (score > alpha) {
                if (full && score >= beta) {
                    // A cut-off by a losing score is not stored.
                    if (score > -SCORE_DECIDED) storeCutoff(key, score, depth, s);
                    return score;
                }
                best = static_cast<int>(s);
                alpha = score;
            }
        }
        if (!full) {
            if (best > 0) first = static_cast<uint32_t>(best);
            continue;
        }
        storeResult(key, alpha, depth, best);
    }
    return alpha;
}

}  // namespace

int nodeSearch(int alpha, int beta, uint32_t ply, uint32_t horizon, uint32_t credit,
               int whiteToMove) {
    if (stopSearch) return 0;
    if (timeIsUp()) {
        stopSearch = true;
        return 0;
    }
    ++nodeCount;
    selDepth = std::max(selDepth, ply);

    const Position& p = position;
    if (p.wcount == 0 || p.bcount == 0) return static_cast<int>(ply) - SCORE_GAMEOVER;
    int tableScore;
    if (smallEndingScore(whiteToMove, ply, &tableScore)) return tableScore;
    if (isRepetition(p)) return 0;

    const uint32_t pieces = p.wcount + p.bcount;
    if (pieces <= dbPieceLimit && !captureExists()) {
        const int32_t verdict = probeGlobalPosition(whiteToMove, ply >= dbConditionalPly ? 1 : 0);
        const int n = static_cast<int>(pieces);
        switch (verdict) {
            case DB_WIN:
                ++dbHitCount;
                if (pieces != rootDbWinPieces) return SCORE_DATABASE_BASE - n;
                break;
            case DB_LOSS:
                ++dbHitCount;
                if (pieces != rootDbWinPieces) return n - SCORE_DATABASE_BASE;
                break;
            case DB_DRAW:
                ++dbHitCount;
                return 0;
            default:
                break;
        }
    }

    if (horizon < MAX_PLY && credit >= CREDIT_PER_PLY) {
        ++horizon;
        credit -= CREDIT_PER_PLY;
    }
    if (ply < horizon) return fullWidthSearch(alpha, beta, ply, horizon, credit, whiteToMove);
    if (ply < MAX_PLY) return captureOnlySearch(alpha, beta, ply, horizon, whiteToMove);
    return evaluate(whiteToMove, alpha, beta);
}

}  // namespace tarnvel
