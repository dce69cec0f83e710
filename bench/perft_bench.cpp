#include <benchmark/benchmark.h>

#include "board/perft.h"
#include "interface/postext.h"

namespace tarnvel {
namespace {

// Leaves per second of perft from the initial arrangement; the last ply is
// counted in bulk.
void BM_PerftInitial(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    uint64_t leaves = 0;
    for (auto _ : state) {
        int side = 0;
        parsePosition("B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.", &side);
        leaves += perft(depth, side);
    }
    state.counters["leaves/s"] = benchmark::Counter(static_cast<double>(leaves), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PerftInitial)->Arg(9)->Arg(11)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnvel
