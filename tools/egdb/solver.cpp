#include "solver.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "egdb/limits.h"
#include "material_index.h"
#include "moves.h"
#include "parallel.h"
#include "progress.h"
#include "store.h"

namespace tarnvel::egdbtool {

namespace {

int solverThreads = 1;

// One byte a slot while solving, so that the largest material of seven
// pieces (1.5 billion slots a side) takes 3 GB and no queue:
//   0 … 0x3F          unresolved: its plain moves not yet known to lose
//   RESOLVED | value  resolved; with FRESH while its value still has to
//                     be passed back to the positions that move into it
//   UNUSED_SLOT       no position (a black and a white man on one square)
constexpr uint8_t RESOLVED = 0x80;
constexpr uint8_t FRESH = 0x40;
constexpr uint8_t VALUE_MASK = 0x03;
constexpr uint8_t UNUSED_SLOT = RESOLVED | UNRESOLVED;
constexpr uint64_t FRESH_IN_WORD = 0x4040404040404040ull;

struct Work {
    MaterialIndex ix;
    std::vector<uint8_t> slot[2];
};

// The value a position has from the positions its moves reach outside its
// material as a resolved byte; else the number of its open plain moves.
uint8_t initialState(const Pieces& p, int side) {
    Successor next[MAX_SUCCESSORS];
    const int n = successors(p, side, next);
    const auto resolved = [](Value v) { return static_cast<uint8_t>(RESOLVED | FRESH | v); };
    if (n == 0) return resolved(LOSS);
    const bool capturing = hasCapture(p, side);
    Value best = LOSS;
    uint8_t open = 0;
    for (int i = 0; i < n; ++i) {
        if (!capturing && !next[i].crowned) {
            ++open;
            continue;
        }
        const Value v = negated(storedValue(next[i].after, 1 - side));
        if (v == WIN) return resolved(WIN);
        if (v == DRAW) {
            best = DRAW;
            ++open;  // a drawing move that leaves the material is never refuted
        }
    }
    if (capturing) return resolved(best);
    return open == 0 ? resolved(LOSS) : open;
}

uint64_t initialPass(Work& w) {
    std::vector<uint64_t> found(solverThreads, 0);
    const uint64_t total = 2 * uint64_t{w.ix.size};
    onThreads(solverThreads, [&](int t) {
        const uint64_t end = shareBegin(total, t + 1, solverThreads);
        for (uint64_t k = shareBegin(total, t, solverThreads); k < end; ++k) {
            const int side = static_cast<int>(k / w.ix.size);
            const uint32_t n = static_cast<uint32_t>(k % w.ix.size);
            Pieces p;
            if (!positionOf(w.ix, n, &p)) {
                w.slot[side][n] = UNUSED_SLOT;
                continue;
            }
            const uint8_t state = initialState(p, side);
            w.slot[side][n] = state;
            if (state & RESOLVED) ++found[t];
            if (t == 0 && (k & 0xFFFFF) == 0) progressShare(0.5 * k / end);
        }
    });
    uint64_t sum = 0;
    for (uint64_t f : found) sum += f;
    return sum;
}

// Passes a resolved value back to the positions whose plain moves reach
// p; returns how many of them it resolved.
uint64_t passBack(Work& w, const Pieces& p, int side, Value v) {
    Pieces before[MAX_SUCCESSORS];
    const int mover = 1 - side;
    const int count = quietPredecessors(p, mover, before);
    uint64_t resolved = 0;
    for (int k = 0; k < count; ++k) {
        std::atomic_ref<uint8_t> state(w.slot[mover][positionNumber(w.ix, before[k])]);
        uint8_t current = state.load(std::memory_order_relaxed);
        // A move to a lost position wins; a position whose last open move
        // turned out to lose is lost.
        while (!(current & RESOLVED)) {
            const uint8_t next = v == LOSS       ? uint8_t{RESOLVED | FRESH | WIN}
                                 : current == 1 ? uint8_t{RESOLVED | FRESH | LOSS}
                                                : static_cast<uint8_t>(current - 1);
            if (state.compare_exchange_weak(current, next, std::memory_order_relaxed)) {
                resolved += (next & RESOLVED) != 0;
                break;
            }
        }
    }
    return resolved;
}

// One sweep over every slot: each fresh position's value is passed back.
// Positions resolved meanwhile are fresh and go back in this sweep or the
// next. Returns the positions resolved.
uint64_t sweep(Work& w) {
    std::vector<uint64_t> found(solverThreads, 0);
    const uint64_t words = (uint64_t{w.ix.size} + 7) / 8;
    onThreads(solverThreads, [&](int t) {
        for (int side = 0; side < 2; ++side) {
            uint8_t* slots = w.slot[side].data();
            const uint64_t end = shareBegin(words, t + 1, solverThreads);
            for (uint64_t word = shareBegin(words, t, solverThreads); word < end; ++word) {
                uint64_t bytes;
                std::memcpy(&bytes, slots + 8 * word, sizeof bytes);
                if (!(bytes & FRESH_IN_WORD)) continue;
                for (uint32_t n = static_cast<uint32_t>(8 * word); n < 8 * word + 8 && n < w.ix.size; ++n) {
                    const uint8_t was = std::atomic_ref<uint8_t>(slots[n]).fetch_and(
                        static_cast<uint8_t>(~FRESH), std::memory_order_relaxed);
                    if (!(was & FRESH)) continue;
                    const auto v = static_cast<Value>(was & VALUE_MASK);
                    if (v == DRAW) continue;
                    Pieces p;
                    positionOf(w.ix, n, &p);
                    found[t] += passBack(w, p, side, v);
                }
            }
        }
    });
    uint64_t sum = 0;
    for (uint64_t f : found) sum += f;
    return sum;
}

// The results packed two bits a position (unresolved positions are
// draws), and their tally.
Tally packed(const Work& w, std::vector<uint8_t> results[2]) {
    Tally tally{};
    for (int side = 0; side < 2; ++side) {
        results[side].assign(packedBytes(w.ix), 0);
        for (uint32_t n = 0; n < w.ix.size; ++n) {
            const uint8_t state = w.slot[side][n];
            if (state == UNUSED_SLOT) continue;
            const Value v = state & RESOLVED ? static_cast<Value>(state & VALUE_MASK) : DRAW;
            results[side][n >> 2] |= static_cast<uint8_t>(v << (2 * (n & 3)));
            ++tally.positions;
            tally.wins += v == WIN;
            tally.losses += v == LOSS;
            tally.draws += v == DRAW;
        }
    }
    return tally;
}

}  // namespace

namespace {

// Captures and crownings first: every material after those it leads to.
void sortForSolving(std::vector<Material>& order) {
    std::stable_sort(order.begin(), order.end(), [](const Material& a, const Material& b) {
        if (pieceCount(a) != pieceCount(b)) return pieceCount(a) < pieceCount(b);
        return menCount(a) < menCount(b);
    });
}

// The materials in stored form, each once, of at most `perSide` a side
// (each side at least one piece) within the bounds: at most maxMen men and
// maxPieces pieces of each colour (black, white).
std::vector<Material> storedMaterials(int perSide, const int maxMen[2], const int maxPieces[2]) {
    std::vector<Material> order;
    for (int bm = 0; bm <= maxMen[0]; ++bm)
        for (int bk = 0; bm + bk <= maxPieces[0]; ++bk)
            for (int wm = 0; wm <= maxMen[1]; ++wm)
                for (int wk = 0; wm + wk <= maxPieces[1]; ++wk) {
                    Material m{bm, bk, wm, wk};
                    if (!isStored(m)) m = colourReversed(m);
                    if (blackCount(m) > 0 && whiteCount(m) > 0 && blackCount(m) <= perSide &&
                        whiteCount(m) <= perSide && std::find(order.begin(), order.end(), m) == order.end())
                        order.push_back(m);
                }
    return order;
}

}  // namespace

std::vector<Material> solvingOrder(int maxPieces) {
    const int perSide = limitsForPieces(maxPieces).maxPerSide;
    const int men[2] = {perSide, perSide}, pieces[2] = {perSide, perSide};
    std::vector<Material> order;
    for (const Material& m : storedMaterials(perSide, men, pieces))
        if (pieceCount(m) <= maxPieces) order.push_back(m);
    sortForSolving(order);
    return order;
}

std::vector<Material> solvingOrderFor(const std::vector<Material>& wanted) {
    std::vector<Material> order;
    for (const Material& w : wanted) {
        // A man may be captured or crown, a king may be captured.
        const int men[2] = {w.bm, w.wm}, pieces[2] = {blackCount(w), whiteCount(w)};
        for (const Material& m : storedMaterials(MAX_PER_SIDE, men, pieces))
            if (std::find(order.begin(), order.end(), m) == order.end()) order.push_back(m);
    }
    sortForSolving(order);
    return order;
}

uint64_t materialSlots(const Material& m) { return 2 * uint64_t{materialIndex(m).size}; }

void setSolverThreads(int threads) { solverThreads = std::max(1, threads); }

bool solveMaterial(const Material& m, Tally* tally, std::string* problem) {
    Work w{materialIndex(m), {}};
    for (int side = 0; side < 2; ++side) w.slot[side].assign(w.ix.size + 8, UNUSED_SLOT);
    uint64_t resolved = initialPass(w);
    const double slots = 2.0 * w.ix.size;
    progressShare(0.5);
    for (uint64_t more = 1; more > 0; resolved += more) {
        more = sweep(w);
        progressShare(0.5 + 0.5 * resolved / slots);
    }
    std::vector<uint8_t> results[2];
    *tally = packed(w, results);
    for (auto& s : w.slot) std::vector<uint8_t>().swap(s);
    if (colourReversed(m) != m) {
        tally->positions *= 2;
        tally->wins *= 2;
        tally->losses *= 2;
        tally->draws *= 2;
    }
    return keepMaterial(m, results, problem);
}

}  // namespace tarnvel::egdbtool
