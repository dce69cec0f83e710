#include "solver.h"

#include <algorithm>
#include <atomic>

#include "material_index.h"
#include "moves.h"
#include "parallel.h"
#include "progress.h"
#include "store.h"

namespace tarnvel::egdbtool {

namespace {

int solverThreads = 1;

// While solving: a slot whose men overlap holds no position.
constexpr uint8_t UNUSED_SLOT = 4;

// Frontier entries: the side to move in the top bit, the position number below.
constexpr uint32_t SIDE_BIT = 31;
constexpr uint32_t NUMBER_MASK = (uint32_t{1} << SIDE_BIT) - 1;

struct Work {
    MaterialIndex ix;
    std::vector<uint8_t> state[2];  // Value, or UNUSED_SLOT
    // Unresolved positions: plain moves not yet known to lose. A position
    // whose count reaches 0 is lost.
    std::vector<uint8_t> openMoves[2];
};

// The value a position has from the positions its moves reach outside its
// material; UNRESOLVED with *openMoves set when that is not enough.
Value initialValue(const Pieces& p, int side, uint8_t* openMoves) {
    Successor next[MAX_SUCCESSORS];
    const int n = successors(p, side, next);
    if (n == 0) return LOSS;
    const bool capturing = hasCapture(p, side);
    Value best = LOSS;
    int open = 0;
    for (int i = 0; i < n; ++i) {
        if (!capturing && !next[i].crowned) {
            ++open;
            continue;
        }
        const Value v = negated(storedValue(next[i].after, 1 - side));
        if (v == WIN) return WIN;
        if (v == DRAW) {
            best = DRAW;
            ++open;  // a drawing move that leaves the material is never refuted
        }
    }
    if (capturing) return best;
    if (open == 0) return LOSS;
    *openMoves = static_cast<uint8_t>(open);
    return UNRESOLVED;
}

std::vector<uint32_t> initialPass(Work& w) {
    std::vector<std::vector<uint32_t>> found(solverThreads);
    const uint64_t total = 2 * uint64_t{w.ix.size};
    onThreads(solverThreads, [&](int t) {
        const uint64_t end = shareBegin(total, t + 1, solverThreads);
        for (uint64_t k = shareBegin(total, t, solverThreads); k < end; ++k) {
            const int side = static_cast<int>(k / w.ix.size);
            const uint32_t n = static_cast<uint32_t>(k % w.ix.size);
            Pieces p;
            if (!positionOf(w.ix, n, &p)) {
                w.state[side][n] = UNUSED_SLOT;
                continue;
            }
            const Value v = initialValue(p, side, &w.openMoves[side][n]);
            w.state[side][n] = v;
            if (v != UNRESOLVED) found[t].push_back(uint32_t(side) << SIDE_BIT | n);
        }
    });
    std::vector<uint32_t> frontier;
    for (const auto& f : found) frontier.insert(frontier.end(), f.begin(), f.end());
    return frontier;
}

// Passes each newly resolved position's value back to the positions whose
// plain moves reach it; returns those that became resolved.
std::vector<uint32_t> propagate(Work& w, const std::vector<uint32_t>& frontier) {
    std::vector<std::vector<uint32_t>> found(solverThreads);
    onThreads(solverThreads, [&](int t) {
        const uint64_t begin = shareBegin(frontier.size(), t, solverThreads);
        const uint64_t end = shareBegin(frontier.size(), t + 1, solverThreads);
        Pieces before[MAX_SUCCESSORS];
        for (uint64_t i = begin; i < end; ++i) {
            const int side = static_cast<int>(frontier[i] >> SIDE_BIT);
            const uint32_t n = frontier[i] & NUMBER_MASK;
            const Value v = static_cast<Value>(w.state[side][n]);
            if (v == DRAW) continue;
            Pieces p;
            positionOf(w.ix, n, &p);
            const int mover = 1 - side;
            const int count = quietPredecessors(p, mover, before);
            for (int k = 0; k < count; ++k) {
                const uint32_t m = positionNumber(w.ix, before[k]);
                std::atomic_ref<uint8_t> state(w.state[mover][m]);
                if (state.load(std::memory_order_relaxed) != UNRESOLVED) continue;
                // A move to a lost position wins; a position whose last open
                // move turned out to lose is lost.
                Value result = WIN;
                if (v == WIN) {
                    std::atomic_ref<uint8_t> open(w.openMoves[mover][m]);
                    if (open.fetch_sub(1, std::memory_order_relaxed) != 1) continue;
                    result = LOSS;
                }
                uint8_t expected = UNRESOLVED;
                if (state.compare_exchange_strong(expected, result, std::memory_order_relaxed))
                    found[t].push_back(uint32_t(mover) << SIDE_BIT | m);
            }
        }
    });
    std::vector<uint32_t> next;
    for (const auto& f : found) next.insert(next.end(), f.begin(), f.end());
    return next;
}

// Stores the results (unresolved positions are draws) and counts them.
Tally keep(const Work& w) {
    Tally tally{};
    storeMaterial(w.ix.material);
    for (int side = 0; side < 2; ++side)
        for (uint32_t n = 0; n < w.ix.size; ++n) {
            const uint8_t state = w.state[side][n];
            if (state == UNUSED_SLOT) continue;
            const Value v = state == UNRESOLVED ? DRAW : static_cast<Value>(state);
            storeResult(w.ix.material, side, n, v);
            ++tally.positions;
            tally.wins += v == WIN;
            tally.losses += v == LOSS;
            tally.draws += v == DRAW;
        }
    return tally;
}

}  // namespace

std::vector<Material> solvingOrder(int maxPieces) {
    std::vector<Material> order;
    for (int bm = 0; bm <= MAX_PER_SIDE; ++bm)
        for (int bk = 0; bm + bk <= MAX_PER_SIDE; ++bk)
            for (int wm = 0; wm <= MAX_PER_SIDE; ++wm)
                for (int wk = 0; wm + wk <= MAX_PER_SIDE; ++wk) {
                    const Material m{bm, bk, wm, wk};
                    if (blackCount(m) > 0 && whiteCount(m) > 0 && pieceCount(m) <= maxPieces &&
                        isStored(m))
                        order.push_back(m);
                }
    std::stable_sort(order.begin(), order.end(), [](const Material& a, const Material& b) {
        if (pieceCount(a) != pieceCount(b)) return pieceCount(a) < pieceCount(b);
        return menCount(a) < menCount(b);
    });
    return order;
}

uint64_t materialSlots(const Material& m) { return 2 * uint64_t{materialIndex(m).size}; }

void setSolverThreads(int threads) { solverThreads = std::max(1, threads); }

Tally solveMaterial(const Material& m) {
    Work w{materialIndex(m), {}, {}};
    for (int side = 0; side < 2; ++side) {
        w.state[side].assign(w.ix.size, UNRESOLVED);
        w.openMoves[side].assign(w.ix.size, 0);
    }
    std::vector<uint32_t> frontier = initialPass(w);
    uint64_t resolved = frontier.size();
    const double slots = 2.0 * w.ix.size;
    progressShare(0.5);
    while (!frontier.empty()) {
        frontier = propagate(w, frontier);
        resolved += frontier.size();
        progressShare(0.5 + 0.5 * resolved / slots);
    }
    Tally tally = keep(w);
    if (colourReversed(m) != m) {
        tally.positions *= 2;
        tally.wins *= 2;
        tally.losses *= 2;
        tally.draws *= 2;
    }
    return tally;
}

}  // namespace tarnvel::egdbtool
