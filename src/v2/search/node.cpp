#include <algorithm>
#include <cmath>
#include <cstring>

#include "egdb/database.h"
#include "interface/engine_state.h"
#include "platform/clock.h"
#include "v2/eval/static_eval.h"
#include "v2/search/database_probe.h"
#include "v2/search/known_win.h"
#include "v2/search/score.h"
#include "v2/search/searcher.h"
#include "v2/search/tt.h"

namespace tarnvel::v2 {

Searcher searcher;

namespace {

constexpr uint64_t CLOCK_CHECK_MASK = 1023;  // the clock is read every 1024 nodes
constexpr uint32_t DRAW_REVERSIBLE_PLIES = 100;  // the hosts' 50 moves a side
constexpr int REPETITION_MIN_PLIES = 4;

// Move ordering: the table's move, crowning, the killers, then captures by
// their size and the rest by history.
constexpr int ORDER_TABLE_MOVE = 1 << 30;
constexpr int ORDER_CROWNING = 1 << 26;
constexpr int ORDER_KILLER_1 = 1 << 25;
constexpr int ORDER_KILLER_2 = 1 << 24;
constexpr int ORDER_PER_CAPTURED = 1 << 20;
constexpr int HISTORY_LIMIT = 1 << 14;

// Late-move reductions: quiet moves after the first few, at enough depth.
// The reduction grows with the logarithms of the depth and the move's rank.
constexpr int LMR_MIN_DEPTH = 3;
constexpr int LMR_FIRST_MOVE = 3;
constexpr double LMR_BASE = 0.5;
constexpr double LMR_DIVISOR = 2.0;

struct LmrTable {
    int8_t r[MAX_PLY + 1][MOVES_PER_PLY];
    LmrTable() {
        for (int d = 0; d <= MAX_PLY; ++d)
            for (int n = 0; n < static_cast<int>(MOVES_PER_PLY); ++n)
                r[d][n] = static_cast<int8_t>(
                    d && n ? LMR_BASE + std::log(d) * std::log(n) / LMR_DIVISOR : 0);
    }
    int at(int depth, int n) const { return r[std::min(depth, MAX_PLY)][n]; }
};
const LmrTable lmrTable;

// Static pruning: at shallow depth, a quiet position whose evaluation
// beats beta by this much a ply is taken to hold.
constexpr int STATIC_PRUNE_MAX_DEPTH = 5;
constexpr int STATIC_PRUNE_MARGIN = 50;
// Futility: in the last plies, a quiet position this far below alpha a ply
// searches only its first move and the moves that are not quiet.
constexpr int FUTILITY_MAX_DEPTH = 2;
constexpr int FUTILITY_MARGIN = 80;

// Probability cut: the depth it applies from, how much shallower its
// search is, and the margin over beta that search must clear.
constexpr int PROBCUT_MIN_DEPTH = 5;
constexpr int PROBCUT_REDUCTION = 4;
constexpr int PROBCUT_MARGIN = 60;

constexpr uint32_t DB_SIDE_WHITE = 1;
constexpr uint32_t DB_SIDE_BLACK = 2;

inline Bitboard ownPieces(const Position& p, int side) { return side ? p.wm | p.wk : p.bm | p.bk; }

// Plain moves exist for the side (captures are checked apart).
inline bool canStep(const Position& p, int side) {
    const Bitboard empty = emptySquares(p);
    const Bitboard men = side ? p.wm : p.bm, kings = side ? p.wk : p.bk;
    const Bitboard forward = side ? up4(empty) | upX(empty) : down4(empty) | downX(empty);
    const Bitboard backward = side ? down4(empty) | downX(empty) : up4(empty) | upX(empty);
    return (((men | kings) & forward) | (kings & backward)) != 0;
}

inline void addHistory(int& h, int bonus) {
    h += bonus - h * std::abs(bonus) / HISTORY_LIMIT;
}

}  // namespace

Searcher::Searcher() {
    // Once per process: helpers made later must not rewrite weights in use.
    static const bool weightsLoaded = network::loadEmbeddedWeights();
    (void)weightsLoaded;
    clearHistory();
}

void Searcher::clearHistory() { std::memset(history_, 0, sizeof history_); }

void Searcher::ageHistory() {
    for (auto& side : history_)
        for (auto& from : side)
            for (int& h : from) h /= 2;
}

void Searcher::start(const Position& root, int whiteToMove, const GameContext& game,
                     const SearchLimits& limits) {
    gameLength_ = game.length;
    keys_.assign(game.keys, game.keys + game.length);
    keys_.resize(static_cast<size_t>(game.length) + MAX_PLY + 2);
    stack_[0].pos = root;
    stack_[0].side = whiteToMove;
    if constexpr (EVAL_USES_ACCUMULATORS) network::refresh(root, stack_[0].acc);
    for (PlyState& st : stack_) st.killer[0] = st.killer[1] = MoveRecord{};
    nodes_.store(0, std::memory_order_relaxed);
    dbHits_ = 0;
    selDepth_ = 0;
    stop_ = false;
    playNow_ = limits.playNow;
}

void Searcher::checkClock() {
    if (playNow_ && *playNow_ != 0) stop_ = true;
    if (hardStopMs_ != 0 && platform::monotonicMs() >= hardStopMs_) stop_ = true;
    if (stopAll_ && stopAll_->load(std::memory_order_relaxed)) stop_ = true;
}

void Searcher::enter(int ply) {
    // Only this thread writes the count: a plain add, not a locked one.
    const uint64_t nodes = nodes_.load(std::memory_order_relaxed) + 1;
    nodes_.store(nodes, std::memory_order_relaxed);
    if ((nodes & CLOCK_CHECK_MASK) == 0) checkClock();
    if (ply > selDepth_) selDepth_ = ply;
    keys_[static_cast<size_t>(gameLength_ + ply)] = stack_[ply].pos.key;
}

bool Searcher::isRepetition(int ply) const {
    const Position& p = stack_[ply].pos;
    const int index = gameLength_ + ply;
    const int reach = std::min(static_cast<int>(p.reversiblePlies), index);
    for (int k = REPETITION_MIN_PLIES; k <= reach; k += 2)
        if (keys_[static_cast<size_t>(index - k)] == p.key) return true;
    return false;
}

// The database's score for a quiet position it covers, from the side to
// move's view. Probes deeper than half the iteration read cached blocks only.
bool Searcher::probeDatabase(const Position& p, int side, int ply, int* score) {
    if (p.wcount + p.bcount > dbPieceLimit || movegen::eitherCanCapture(p)) return false;
    const DbQuery query{p.bm, p.bk, p.wm, p.wk, side ? DB_SIDE_WHITE : DB_SIDE_BLACK};
    switch (probeDatabaseLocked(query, ply >= rootDepth_ / 2 ? 1 : 0)) {
        case DB_WIN: *score = knownWinScore(p, side != 0); break;
        case DB_LOSS: *score = -knownWinScore(p, side == 0); break;
        case DB_DRAW: *score = SCORE_DRAW; break;
        default: return false;
    }
    ++dbHits_;
    return true;
}

void Searcher::orderMoves(PlyState& st, int ttMove) {
    const Position& p = st.pos;
    const int side = st.side;
    for (int i = 0; i < st.moves.count; ++i) {
        const MoveRecord& m = st.moves.move[i];
        int score;
        if (i == ttMove) score = ORDER_TABLE_MOVE;
        else if (crowns(m)) score = ORDER_CROWNING;
        else if (sameMove(m, st.killer[0])) score = ORDER_KILLER_1;
        else if (sameMove(m, st.killer[1])) score = ORDER_KILLER_2;
        else score = history_[side][originOf(p, m)][lowestBit(m.to)];
        if (isCapture(m)) score += ORDER_PER_CAPTURED * static_cast<int>(m.flags & CAPTURE_COUNT_MASK);
        st.moveScore[i] = score;
    }
}

// Picks the best-scored of the moves from `from` on and swaps it there;
// the move's place in the generated list travels with it for the table.
inline int pickNext(PlyState& st, int from, int* order) {
    int best = from;
    for (int i = from + 1; i < st.moves.count; ++i)
        if (st.moveScore[order[i]] > st.moveScore[order[best]]) best = i;
    std::swap(order[from], order[best]);
    return order[from];
}

// A quiet move that cut off becomes a killer and gains history; the quiet
// moves tried before it lose some.
void Searcher::updateQuietStats(PlyState& st, const MoveRecord& best, const int* tried, int triedCount,
                                int depth) {
    if (!sameMove(best, st.killer[0])) {
        st.killer[1] = st.killer[0];
        st.killer[0] = best;
    }
    const int bonus = depth * depth;
    addHistory(history_[st.side][originOf(st.pos, best)][lowestBit(best.to)], bonus);
    for (int k = 0; k < triedCount; ++k) {
        const MoveRecord& m = st.moves.move[tried[k]];
        addHistory(history_[st.side][originOf(st.pos, m)][lowestBit(m.to)], -bonus);
    }
}

void Searcher::updatePv(int ply, const MoveRecord& m) {
    pv_[ply][ply] = m;
    for (int i = ply + 1; i < pvLength_[ply + 1]; ++i) pv_[ply][i] = pv_[ply + 1][i];
    pvLength_[ply] = std::max(pvLength_[ply + 1], ply + 1);
}

int Searcher::quiescence(int alpha, int beta, int ply, bool horizon) {
    enter(ply);
    pvLength_[ply] = ply;
    if (stop_) return 0;
    PlyState& st = stack_[ply];
    const Position& p = st.pos;
    const int side = st.side;
    if (!ownPieces(p, side)) return matedIn(ply);

    MoveList& list = st.moves;
    list.count = 0;
    movegen::captures(p, side, emptySquares(p), list);
    if (list.count == 0) {
        if (!canStep(p, side)) return matedIn(ply);
        if (p.reversiblePlies >= DRAW_REVERSIBLE_PLIES) return SCORE_DRAW;
        int known;
        if (probeDatabase(p, side, ply, &known)) return known;
        // At the horizon a threatened capture is not a quiet position: the
        // side to move gets one move to meet it.
        if (!horizon || ply >= MAX_PLY - 1 || !movegen::canCapture(p, !side))
            return staticEval(p, st.acc, side);
        movegen::nonCaptures(p, side, emptySquares(p), list);
    }
    if (ply >= MAX_PLY - 1) return staticEval(p, st.acc, side);

    // A move must be played: there is no standing pat.
    int best = -SCORE_INFINITE;
    for (int i = 0; i < list.count; ++i) {
        makeChild(ply, list.move[i]);
        const int score = -quiescence(-beta, -alpha, ply + 1, false);
        if (stop_) return 0;
        if (score > best) {
            best = score;
            if (score > alpha) {
                alpha = score;
                updatePv(ply, list.move[i]);
                if (score >= beta) break;
            }
        }
    }
    return best;
}

int Searcher::search(int alpha, int beta, int depth, int ply, bool pvNode) {
    if (depth <= 0) return quiescence(alpha, beta, ply, true);
    enter(ply);
    pvLength_[ply] = ply;
    if (stop_) return 0;
    PlyState& st = stack_[ply];
    const Position& p = st.pos;
    const int side = st.side;

    if (ply > 0) {
        if (isRepetition(ply)) return SCORE_DRAW;
        // No line from here can beat a faster game end already in hand.
        alpha = std::max(alpha, matedIn(ply));
        beta = std::min(beta, mateIn(ply + 1));
        if (alpha >= beta) return alpha;
    }
    if (!ownPieces(p, side)) return matedIn(ply);
    if (ply >= MAX_PLY - 1) return staticEval(p, st.acc, side);

    // The database settles the positions it covers, except that a root it
    // calls decided is searched on while the material stays the same, so
    // that the winner finds the way to convert and the loser resists.
    if (ply > 0) {
        int known;
        if (probeDatabase(p, side, ply, &known)) {
            const bool steering = rootVerdict_ != RootVerdict::NONE &&
                                  rootVerdict_ != RootVerdict::DRAW &&
                                  p.wcount + p.bcount == rootPieces_ && known != SCORE_DRAW;
            if (!steering) return known;
        }
    }

    const ProbeResult entry = tt.probe(p.key, ply);
    if (entry.hit && !pvNode && entry.depth >= depth &&
        (entry.bound == BOUND_EXACT || (entry.bound == BOUND_LOWER && entry.score >= beta) ||
         (entry.bound == BOUND_UPPER && entry.score <= alpha)))
        return entry.score;

    // A shallow search that clears beta by a wide margin predicts the deep
    // one's cutoff.
    if (!pvNode && depth >= PROBCUT_MIN_DEPTH && std::abs(beta) < SCORE_KNOWN_BOUND) {
        const int probBeta = beta + PROBCUT_MARGIN;
        const int score = search(probBeta - 1, probBeta, depth - PROBCUT_REDUCTION, ply, false);
        if (stop_) return 0;
        if (score >= probBeta) return score;
    }

    MoveList& list = st.moves;
    const bool captures = generateLegal(p, side, list);
    if (list.count == 0) return matedIn(ply);
    if (ply > 0 && p.reversiblePlies >= DRAW_REVERSIBLE_PLIES) return SCORE_DRAW;

    // The evaluation of a quiet position near the horizon: far above beta
    // it is trusted, far below alpha it makes quiet late moves futile.
    // The table keeps it for the next visit.
    bool futile = false;
    int eval = TT_NO_EVAL;
    if (!pvNode && !captures && depth <= STATIC_PRUNE_MAX_DEPTH && std::abs(beta) < SCORE_KNOWN_BOUND &&
        !movegen::canCapture(p, !side)) {
        eval = entry.eval != TT_NO_EVAL ? entry.eval : staticEval(p, st.acc, side);
        if (eval - STATIC_PRUNE_MARGIN * depth >= beta) return eval;
        futile = depth <= FUTILITY_MAX_DEPTH && eval + FUTILITY_MARGIN * depth <= alpha;
    }

    // A forced move costs nothing to look at more deeply.
    if (list.count == 1 && ply < MAX_PLY / 2) ++depth;

    const int ttMove = entry.hit && entry.move < list.count ? entry.move : -1;
    orderMoves(st, ttMove);
    // Every child probes the table: start all their loads at once, so that
    // they overlap instead of each stalling in turn. (The horizon's
    // children never probe.)
    if (depth > 1)
        for (int i = 0; i < list.count; ++i) {
            Position c = p;
            applyMove(c, list.move[i]);
            tt.prefetch(c.key);
        }
    int order[MOVES_PER_PLY];
    for (int i = 0; i < list.count; ++i) order[i] = i;

    const int alphaOnEntry = alpha;
    int best = -SCORE_INFINITE;
    int bestIndex = -1;
    int tried[MOVES_PER_PLY];
    int triedCount = 0;
    PlyState& child = stack_[ply + 1];
    child.killer[0] = child.killer[1] = MoveRecord{};

    for (int n = 0; n < list.count; ++n) {
        const int i = pickNext(st, n, order);
        const MoveRecord& m = list.move[i];
        const bool quiet = !captures && !crowns(m) && i != ttMove &&
                           !sameMove(m, st.killer[0]) && !sameMove(m, st.killer[1]);
        if (futile && quiet && n > 0) continue;
        makeChild(ply, m);

        int score;
        if (n == 0) {
            score = -search(-beta, -alpha, depth - 1, ply + 1, pvNode);
        } else {
            int reduction = 0;
            if (quiet && depth >= LMR_MIN_DEPTH && n >= LMR_FIRST_MOVE) {
                reduction = lmrTable.at(depth, n) - (pvNode ? 1 : 0);
                reduction = std::clamp(reduction, pvNode ? 0 : 1, depth - 2);
            }
            score = -search(-alpha - 1, -alpha, depth - 1 - reduction, ply + 1, false);
            if (score > alpha && reduction)
                score = -search(-alpha - 1, -alpha, depth - 1, ply + 1, false);
            if (score > alpha && score < beta && pvNode)
                score = -search(-beta, -alpha, depth - 1, ply + 1, true);
        }
        if (stop_) return 0;

        if (score > best) {
            best = score;
            if (score > alpha) {
                bestIndex = i;
                alpha = score;
                if (pvNode) updatePv(ply, m);
                if (score >= beta) {
                    if (!captures) updateQuietStats(st, m, tried, triedCount, depth);
                    break;
                }
            }
        }
        if (!captures) tried[triedCount++] = i;
    }

    const Bound bound = best >= beta ? BOUND_LOWER : best > alphaOnEntry ? BOUND_EXACT : BOUND_UPPER;
    tt.store(p.key, best, eval, depth, bound, bestIndex >= 0 ? bestIndex : (ttMove >= 0 ? ttMove : -1),
             ply);
    return best;
}

}  // namespace tarnvel::v2
