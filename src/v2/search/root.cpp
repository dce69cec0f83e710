#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "board/notation.h"
#include "egdb/database.h"
#include "interface/engine_state.h"
#include "platform/clock.h"
#include "tarnvel/tarnvel.h"
#include "v2/interface/engine_name.h"
#include "v2/search/score.h"
#include "v2/search/searcher.h"
#include "v2/search/tt.h"

namespace tarnvel::v2 {

namespace {

constexpr int ASPIRATION_MIN_DEPTH = 4;
constexpr int ASPIRATION_WINDOW = 30;
// Share of the allowance after which no new iteration starts, stretched
// when the best move has just changed or the score is falling.
constexpr double OPTIMUM_SHARE = 0.8;
constexpr double MOVE_CHANGED_STRETCH = 1.6;
constexpr double SCORE_FALL_STRETCH = 1.4;
constexpr int SCORE_FALL = 25;
constexpr int TIME_MANAGED_MIN_DEPTH = 4;
// The search ends this early, so that unwinding and answering stay inside
// the host's allowance.
constexpr int64_t HARD_MARGIN_MS = 2;
constexpr int64_t HARD_MARGIN_DIVISOR = 50;
constexpr uint32_t DB_SIDE_WHITE = 1;
constexpr uint32_t DB_SIDE_BLACK = 2;

RootVerdict rootVerdict(const Position& p, int side) {
    if (p.wcount + p.bcount > dbPieceLimit || movegen::eitherCanCapture(p)) return RootVerdict::NONE;
    const DbQuery query{p.bm, p.bk, p.wm, p.wk, side ? DB_SIDE_WHITE : DB_SIDE_BLACK};
    switch (tarnvel::probeDatabase(&query, 0)) {
        case DB_WIN: return RootVerdict::WIN;
        case DB_LOSS: return RootVerdict::LOSS;
        case DB_DRAW: return RootVerdict::DRAW;
        default: return RootVerdict::NONE;
    }
}

// "value=N", or "win=P" / "loss=P" with the plies to a forced game end.
std::string scoreText(int score) {
    if (score >= SCORE_MATE_BOUND) return "win=" + std::to_string(SCORE_MATE - score);
    if (score <= -SCORE_MATE_BOUND) return "loss=" + std::to_string(SCORE_MATE + score);
    return "value=" + std::to_string(score);
}

void writeReport(char* text, size_t capacity, const Searcher& s, const Position& root, int score,
                 int depth, int64_t elapsedMs) {
    if (!text || capacity == 0) return;
    const uint64_t elapsed = elapsedMs > 0 ? static_cast<uint64_t>(elapsedMs) : 0;
    const double speed =
        elapsed > 0 ? static_cast<double>(s.nodes_) / static_cast<double>(elapsed) : 0.0;
    int length = std::snprintf(text, capacity,
                               "%s => %s  depth=%d/%d  nodes=%" PRIu64 "  tbhits=%" PRIu64
                               "  time=%" PRIu64 "  %7.1lfKN/s  pv",
                               ENGINE_NAME, scoreText(score).c_str(), depth, s.selDepth_, s.nodes_,
                               s.dbHits_, elapsed, speed);
    // The variation goes on while whole moves fit, then the line ends.
    Position p = root;
    for (int i = 0; i < s.pvLength_[0] && length > 0; ++i) {
        const MoveRecord& m = s.pv_[0][i];
        const std::string move = moveNotation(p, m);
        if (static_cast<size_t>(length) + move.size() + 3 > capacity) break;
        length += std::snprintf(text + length, capacity - static_cast<size_t>(length), " %s",
                                move.c_str());
        applyMove(p, m);
    }
    if (length > 0 && static_cast<size_t>(length) + 2 <= capacity)
        std::snprintf(text + length, capacity - static_cast<size_t>(length), "\n");
}

}  // namespace

int Searcher::searchRoot(int alpha, int beta, int depth, const int* order, int* scores,
                         int* bestMove) {
    PlyState& st = stack_[0];
    PlyState& child = stack_[1];
    child.killer[0] = child.killer[1] = MoveRecord{};
    enter(0);
    pvLength_[0] = 0;
    int best = -SCORE_INFINITE;
    for (int n = 0; n < st.moves.count; ++n) {
        const int i = order[n];
        const MoveRecord& m = st.moves.move[i];
        makeChild(0, m);
        int score;
        if (n == 0) {
            score = -search(-beta, -alpha, depth - 1, 1, true);
        } else {
            score = -search(-alpha - 1, -alpha, depth - 1, 1, false);
            if (score > alpha && score < beta) score = -search(-beta, -alpha, depth - 1, 1, true);
        }
        if (stop_) break;
        scores[i] = score;
        if (score > best) {
            best = score;
            if (score > alpha) {
                alpha = score;
                *bestMove = i;
                updatePv(0, m);
                if (score >= beta) break;
            }
        }
    }
    return best;
}

SearchResult searchPosition(Position root, int whiteToMove, const GameContext& game,
                            const SearchLimits& limits, char* report, size_t reportCapacity) {
    Searcher& s = searcher;
    s.start(root, whiteToMove, game, limits);
    tt.newSearch();
    s.ageHistory();

    SearchResult result;
    PlyState& st = s.stack_[0];
    generateLegal(root, whiteToMove, st.moves);
    const int n = st.moves.count;
    if (n == 0) {
        result.resultCode = TARNVEL_LOSS;
        return result;
    }
    s.rootVerdict_ = rootVerdict(root, whiteToMove);
    s.rootPieces_ = root.wcount + root.bcount;

    const bool clocked = limits.allowanceMs > 0 || limits.maxDepth == 0;
    const int64_t allowance = std::max<int64_t>(limits.allowanceMs, 0);
    s.hardStopMs_ =
        clocked ? limits.startMs + allowance - HARD_MARGIN_MS - allowance / HARD_MARGIN_DIVISOR : 0;
    if (clocked && s.hardStopMs_ <= 0) s.hardStopMs_ = 1;
    const double optimum = OPTIMUM_SHARE * static_cast<double>(allowance);
    const int lastDepth = limits.maxDepth > 0 ? std::min(limits.maxDepth, MAX_PLY - 2) : MAX_PLY - 2;

    int order[MOVES_PER_PLY];
    int scores[MOVES_PER_PLY];
    for (int i = 0; i < n; ++i) order[i] = i, scores[i] = -SCORE_INFINITE;
    int bestMove = 0, bestScore = 0, previousBest = -1;
    MoveRecord pv[MAX_PLY + 1];
    int pvLength = 0;

    for (int depth = 1; depth <= lastDepth; ++depth) {
        s.rootDepth_ = depth;
        int delta = ASPIRATION_WINDOW;
        int alpha = -SCORE_INFINITE, beta = SCORE_INFINITE;
        if (depth >= ASPIRATION_MIN_DEPTH && std::abs(bestScore) < SCORE_KNOWN_BOUND) {
            alpha = std::max(bestScore - delta, -SCORE_INFINITE);
            beta = std::min(bestScore + delta, SCORE_INFINITE);
        }
        int iterationBest = bestMove;
        int score;
        for (;;) {
            for (int i = 0; i < n; ++i) scores[i] = -SCORE_INFINITE;
            score = s.searchRoot(alpha, beta, depth, order, scores, &iterationBest);
            if (s.stop_) break;
            if (score <= alpha) {
                beta = (alpha + beta) / 2;
                alpha = std::max(score - delta, -SCORE_INFINITE);
            } else if (score >= beta) {
                beta = std::min(score + delta, SCORE_INFINITE);
            } else {
                break;
            }
            delta *= 2;
        }
        if (s.stop_) {
            // A move that beat the previous best with a full search counts
            // even when the iteration could not finish.
            if (iterationBest != bestMove && scores[iterationBest] > bestScore) {
                bestMove = iterationBest;
                bestScore = scores[iterationBest];
                pvLength = s.pvLength_[0];
                std::copy(s.pv_[0], s.pv_[0] + pvLength, pv);
            }
            break;
        }
        const bool changed = iterationBest != previousBest;
        const int fall = bestScore - score;
        previousBest = bestMove = iterationBest;
        bestScore = score;
        result.depth = depth;
        pvLength = s.pvLength_[0];
        std::copy(s.pv_[0], s.pv_[0] + pvLength, pv);
        std::stable_sort(order, order + n, [&](int a, int b) { return scores[a] > scores[b]; });
        std::rotate(order, std::find(order, order + n, bestMove), std::find(order, order + n, bestMove) + 1);
        writeReport(report, reportCapacity, s, root, bestScore, depth,
                    platform::monotonicMs() - limits.startMs);

        if (n == 1) break;
        if (std::abs(bestScore) >= SCORE_MATE_BOUND && depth > SCORE_MATE - std::abs(bestScore))
            break;
        if (clocked && depth >= TIME_MANAGED_MIN_DEPTH) {
            double stretch = 1.0;
            if (changed && depth > TIME_MANAGED_MIN_DEPTH) stretch *= MOVE_CHANGED_STRETCH;
            if (fall >= SCORE_FALL) stretch *= SCORE_FALL_STRETCH;
            const auto elapsed = static_cast<double>(platform::monotonicMs() - limits.startMs);
            if (elapsed >= optimum * stretch) break;
        }
    }

    // The final line shows the variation of the move played.
    s.pvLength_[0] = pvLength;
    std::copy(pv, pv + pvLength, s.pv_[0]);
    writeReport(report, reportCapacity, s, root, bestScore, std::max(result.depth, 1),
                platform::monotonicMs() - limits.startMs);

    result.hasMove = true;
    result.move = st.moves.move[bestMove];
    result.score = bestScore;
    result.nodes = s.nodes_;
    if (bestScore >= SCORE_MATE_BOUND || s.rootVerdict_ == RootVerdict::WIN)
        result.resultCode = TARNVEL_WIN;
    else if (s.rootVerdict_ == RootVerdict::DRAW)
        result.resultCode = TARNVEL_DRAW;
    else
        result.resultCode = TARNVEL_UNKNOWN;
    return result;
}

void resetSearchMemory() {
    tt.clear();
    searcher.clearHistory();
}

void startNewGame() {
    tt.newSearch();
    searcher.clearHistory();
}

}  // namespace tarnvel::v2
