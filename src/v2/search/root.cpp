#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "board/notation.h"
#include "egdb/database.h"
#include "interface/engine_state.h"
#include "platform/clock.h"
#include "platform/thread.h"
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

// `nodes` counts every thread's.
void writeReport(char* text, size_t capacity, const Searcher& s, uint64_t nodes, const Position& root,
                 int score, int depth, int64_t elapsedMs) {
    if (!text || capacity == 0) return;
    const uint64_t elapsed = elapsedMs > 0 ? static_cast<uint64_t>(elapsedMs) : 0;
    const double speed =
        elapsed > 0 ? static_cast<double>(nodes) / static_cast<double>(elapsed) : 0.0;
    int length = std::snprintf(text, capacity,
                               "%s => %s  depth=%d/%d  nodes=%" PRIu64 "  tbhits=%" PRIu64
                               "  time=%" PRIu64 "  %7.1lfKN/s  pv",
                               ENGINE_NAME, scoreText(score).c_str(), depth, s.selDepth_, nodes,
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

namespace {

// What the helpers share with the main thread for one search.
struct SharedSearch {
    Position root;
    int whiteToMove = 0;
    GameContext game;
    int lastDepth = 0;
    RootVerdict verdict = RootVerdict::NONE;
    std::atomic<bool> stop{false};
};

// One helper thread: its own searcher, started anew for each search.
struct Helper {
    Searcher searcher;
    platform::Thread thread;
    int index = 0;  // 1, 2, ...
    SharedSearch* shared = nullptr;
};

std::vector<std::unique_ptr<Helper>> helpers;

// Sets s up for the root: its position, root moves and the database's verdict.
void prepare(Searcher& s, const SharedSearch& shared, const SearchLimits& limits) {
    s.start(shared.root, shared.whiteToMove, shared.game, limits);
    generateLegal(shared.root, shared.whiteToMove, s.stack_[0].moves);
    s.rootVerdict_ = shared.verdict;
    s.rootPieces_ = shared.root.wcount + shared.root.bcount;
}

// One iteration over the root moves, with a window around the last
// iteration's score that widens until the score falls inside it.
int searchIteration(Searcher& s, int depth, int lastScore, const int* order, int* scores,
                    int* iterationBest) {
    const int n = s.stack_[0].moves.count;
    s.rootDepth_ = depth;
    int delta = ASPIRATION_WINDOW;
    int alpha = -SCORE_INFINITE, beta = SCORE_INFINITE;
    if (depth >= ASPIRATION_MIN_DEPTH && std::abs(lastScore) < SCORE_KNOWN_BOUND) {
        alpha = std::max(lastScore - delta, -SCORE_INFINITE);
        beta = std::min(lastScore + delta, SCORE_INFINITE);
    }
    for (;;) {
        for (int i = 0; i < n; ++i) scores[i] = -SCORE_INFINITE;
        const int score = s.searchRoot(alpha, beta, depth, order, scores, iterationBest);
        if (s.stop_) return score;
        if (score <= alpha) {
            beta = (alpha + beta) / 2;
            alpha = std::max(score - delta, -SCORE_INFINITE);
        } else if (score >= beta) {
            beta = std::min(score + delta, SCORE_INFINITE);
        } else {
            return score;
        }
        delta *= 2;
    }
}

// The best move first, the rest by this iteration's scores.
void reorder(int* order, int n, const int* scores, int bestMove) {
    std::stable_sort(order, order + n, [&](int a, int b) { return scores[a] > scores[b]; });
    std::rotate(order, std::find(order, order + n, bestMove), std::find(order, order + n, bestMove) + 1);
}

// Helpers deepen as the main thread does but skip some depths, so that
// their searches run ahead of it and fill the table with what it will need.
bool helperSkips(int index, int depth) {
    const int size = index <= 2 ? 1 : index <= 6 ? 2 : 3;
    return ((depth + index) / size) % 2 != 0;
}

void helperMain(void* argument) {
    Helper& h = *static_cast<Helper*>(argument);
    Searcher& s = h.searcher;
    SharedSearch& shared = *h.shared;
    SearchLimits limits;
    limits.maxDepth = shared.lastDepth;
    prepare(s, shared, limits);
    s.hardStopMs_ = 0;
    s.stopAll_ = &shared.stop;
    const int n = s.stack_[0].moves.count;
    int order[MOVES_PER_PLY], scores[MOVES_PER_PLY];
    for (int i = 0; i < n; ++i) order[i] = i;
    int bestMove = 0, bestScore = 0;
    for (int depth = 1; depth <= shared.lastDepth; ++depth) {
        if (shared.stop.load(std::memory_order_relaxed)) break;
        if (depth > 1 && helperSkips(h.index, depth)) continue;
        const int score = searchIteration(s, depth, bestScore, order, scores, &bestMove);
        if (s.stop_) break;
        bestScore = score;
        reorder(order, n, scores, bestMove);
    }
}

uint64_t totalNodes(const Searcher& s) {
    uint64_t nodes = s.nodes_.load(std::memory_order_relaxed);
    for (const auto& h : helpers) nodes += h->searcher.nodes_.load(std::memory_order_relaxed);
    return nodes;
}

}  // namespace

SearchResult searchPosition(Position root, int whiteToMove, const GameContext& game,
                            const SearchLimits& limits, char* report, size_t reportCapacity) {
    Searcher& s = searcher;
    SharedSearch shared;
    shared.root = root;
    shared.whiteToMove = whiteToMove;
    shared.game = game;
    shared.lastDepth = limits.maxDepth > 0 ? std::min(limits.maxDepth, MAX_PLY - 2) : MAX_PLY - 2;
    prepare(s, shared, limits);
    tt.newSearch();
    s.ageHistory();

    SearchResult result;
    PlyState& st = s.stack_[0];
    const int n = st.moves.count;
    if (n == 0) {
        result.resultCode = TARNVEL_LOSS;
        return result;
    }
    shared.verdict = s.rootVerdict_ = rootVerdict(root, whiteToMove);

    const bool clocked = limits.allowanceMs > 0 || limits.maxDepth == 0;
    const int64_t allowance = std::max<int64_t>(limits.allowanceMs, 0);
    s.hardStopMs_ =
        clocked ? limits.startMs + allowance - HARD_MARGIN_MS - allowance / HARD_MARGIN_DIVISOR : 0;
    if (clocked && s.hardStopMs_ <= 0) s.hardStopMs_ = 1;
    const double optimum = OPTIMUM_SHARE * static_cast<double>(allowance);

    // A single move needs no search beyond its first iteration.
    if (n > 1)
        for (auto& h : helpers) {
            h->shared = &shared;
            h->searcher.ageHistory();
            h->thread.start(helperMain, h.get());
        }

    int order[MOVES_PER_PLY];
    int scores[MOVES_PER_PLY];
    for (int i = 0; i < n; ++i) order[i] = i, scores[i] = -SCORE_INFINITE;
    int bestMove = 0, bestScore = 0, previousBest = -1;
    MoveRecord pv[MAX_PLY + 1];
    int pvLength = 0;

    for (int depth = 1; depth <= shared.lastDepth; ++depth) {
        int iterationBest = bestMove;
        const int score = searchIteration(s, depth, bestScore, order, scores, &iterationBest);
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
        reorder(order, n, scores, bestMove);
        writeReport(report, reportCapacity, s, totalNodes(s), root, bestScore, depth,
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
    shared.stop.store(true, std::memory_order_relaxed);
    for (auto& h : helpers) h->thread.join();

    // The final line shows the variation of the move played.
    s.pvLength_[0] = pvLength;
    std::copy(pv, pv + pvLength, s.pv_[0]);
    const uint64_t nodes = totalNodes(s);
    writeReport(report, reportCapacity, s, nodes, root, bestScore, std::max(result.depth, 1),
                platform::monotonicMs() - limits.startMs);

    result.hasMove = true;
    result.move = st.moves.move[bestMove];
    result.score = bestScore;
    result.nodes = nodes;
    if (bestScore >= SCORE_MATE_BOUND || s.rootVerdict_ == RootVerdict::WIN)
        result.resultCode = TARNVEL_WIN;
    else if (s.rootVerdict_ == RootVerdict::DRAW)
        result.resultCode = TARNVEL_DRAW;
    else
        result.resultCode = TARNVEL_UNKNOWN;
    return result;
}

int searchThreads() { return 1 + static_cast<int>(helpers.size()); }

int setSearchThreads(int threads) {
    threads = std::clamp(threads, 1, MAX_SEARCH_THREADS);
    while (searchThreads() > threads) helpers.pop_back();
    while (searchThreads() < threads) {
        auto helper = std::make_unique<Helper>();
        helper->index = searchThreads();
        helpers.push_back(std::move(helper));
    }
    return searchThreads();
}

void resetSearchMemory() {
    tt.clear();
    searcher.clearHistory();
    for (auto& h : helpers) h->searcher.clearHistory();
}

void startNewGame() {
    tt.newSearch();
    searcher.clearHistory();
    for (auto& h : helpers) h->searcher.clearHistory();
}

}  // namespace tarnvel::v2
