#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "board/position.h"
#include "v13/eval/evaluate.h"
#include "v13/search/score.h"

namespace tarnvel {
namespace {

// Middlegame-like positions: 6–11 pieces a side, a few kings, men off
// their crowning rows.
std::vector<Position> middlegamePositions() {
    std::mt19937 rng(2024);
    std::vector<Position> out(4096);
    for (Position& p : out) {
        p = Position{};
        Bitboard used = 0;
        for (int colour = 0; colour < 2; ++colour) {
            const int count = 6 + static_cast<int>(rng() % 6);
            for (int placed = 0; placed < count;) {
                const Bitboard b = bitOf(static_cast<int>(rng() % 32));
                const bool king = rng() % 8 == 0;
                if ((b & used) || (!king && (b & (colour == 0 ? ROW_0 : ROW_7)))) continue;
                used |= b;
                (colour == 0 ? (king ? p.wk : p.wm) : (king ? p.bk : p.bm)) |= b;
                ++placed;
            }
            (colour == 0 ? p.wcount : p.bcount) = static_cast<uint32_t>(count);
        }
    }
    return out;
}

void runEvaluate(benchmark::State& state, int alpha, int beta) {
    const std::vector<Position> positions = middlegamePositions();
    size_t i = 0;
    for (auto _ : state) {
        position = positions[i & (positions.size() - 1)];
        benchmark::DoNotOptimize(evaluate(static_cast<int>(i & 1), alpha, beta));
        ++i;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    position = Position{};
}

// Full window: the lazy exit never fires, every term is computed.
void BM_EvaluateFullWindow(benchmark::State& state) {
    runEvaluate(state, -SCORE_INFINITE, SCORE_INFINITE);
}
BENCHMARK(BM_EvaluateFullWindow);

// A null window at 0, as inside a search: lopsided material exits early.
void BM_EvaluateNullWindow(benchmark::State& state) { runEvaluate(state, 0, 1); }
BENCHMARK(BM_EvaluateNullWindow);

}  // namespace
}  // namespace tarnvel
