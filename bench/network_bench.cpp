// Tarnvel 2's learned evaluation with the built-in weights: accumulators
// from scratch, updated for one move, and the score from them, along the
// positions of seeded random games.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "board/movestack.h"
#include "board/perft.h"
#include "board/position.h"
#include "interface/history.h"
#include "interface/postext.h"
#include "v2/eval/network.h"

namespace tarnvel {
namespace {

struct Step {
    Position before, after;
    int whiteToMove;  // in `after`
};

// Plies 0…79 of 200 random games, the same on every run.
const std::vector<Step>& steps() {
    static const std::vector<Step> set = [] {
        std::vector<Step> s;
        uint64_t state = 0x2545F4914F6CDD1Dull;
        for (int game = 0; game < 200; ++game) {
            int side = 0;
            parsePosition("B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.", &side);
            for (int ply = 0; ply < 80; ++ply) {
                const uint32_t n = generateLegalMoves(side, 0);
                if (n == 0) break;
                const Position before = position;
                state = state * 6364136223846793005ull + 1442695040888963407ull;
                makeMove(static_cast<uint32_t>((state >> 33) % n));
                side = !side;
                s.push_back({before, position, side});
            }
        }
        gameHistory.length = 0;
        position = Position{};
        v2::network::loadEmbeddedWeights();
        return s;
    }();
    return set;
}

void BM_NetworkRefresh(benchmark::State& state) {
    const std::vector<Step>& set = steps();
    v2::network::Accumulator acc;
    size_t i = 0;
    for (auto _ : state) {
        v2::network::refresh(set[i++ % set.size()].after, acc);
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_NetworkRefresh);

void BM_NetworkUpdate(benchmark::State& state) {
    const std::vector<Step>& set = steps();
    v2::network::Accumulator parent, child;
    v2::network::refresh(set[0].before, parent);
    size_t i = 0;
    for (auto _ : state) {
        const Step& s = set[i++ % set.size()];
        v2::network::update(parent, s.before, s.after, child);
        benchmark::DoNotOptimize(child);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_NetworkUpdate);

void BM_NetworkEvaluate(benchmark::State& state) {
    const std::vector<Step>& set = steps();
    std::vector<v2::network::Accumulator> accs(set.size());
    for (size_t k = 0; k < set.size(); ++k) v2::network::refresh(set[k].after, accs[k]);
    size_t i = 0;
    for (auto _ : state) {
        const size_t k = i++ % set.size();
        benchmark::DoNotOptimize(v2::network::evaluate(accs[k], set[k].whiteToMove));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_NetworkEvaluate);

// What a search pays per node: one update from the parent and a score.
void BM_NetworkUpdateAndEvaluate(benchmark::State& state) {
    const std::vector<Step>& set = steps();
    v2::network::Accumulator parent, child;
    v2::network::refresh(set[0].before, parent);
    size_t i = 0;
    for (auto _ : state) {
        const Step& s = set[i++ % set.size()];
        v2::network::update(parent, s.before, s.after, child);
        benchmark::DoNotOptimize(v2::network::evaluate(child, s.whiteToMove));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_NetworkUpdateAndEvaluate);

// From scratch and a score, as an evaluation without accumulators.
void BM_NetworkRefreshAndEvaluate(benchmark::State& state) {
    const std::vector<Step>& set = steps();
    v2::network::Accumulator acc;
    size_t i = 0;
    for (auto _ : state) {
        const Step& s = set[i++ % set.size()];
        v2::network::refresh(s.after, acc);
        benchmark::DoNotOptimize(v2::network::evaluate(acc, s.whiteToMove));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_NetworkRefreshAndEvaluate);

}  // namespace
}  // namespace tarnvel
