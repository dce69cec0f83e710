#include <benchmark/benchmark.h>

#include <vector>

#include "board/position.h"
#include "v13/search/tt.h"

namespace tarnvel {
namespace {

// One probe and one store per item on the default 256 MB table, with
// random keys so nearly every access misses the caches.
void BM_TTProbeStore(benchmark::State& state) {
    if (!ttAllocate(256)) {
        state.SkipWithError("no 256 MB table");
        return;
    }
    ttClear();  // touch every page before timing
    std::vector<uint64_t> keys(1 << 20);
    uint64_t seed = 99;
    for (uint64_t& k : keys) k = detail::splitMix64(seed);
    size_t i = 0;
    int hits = 0;
    for (auto _ : state) {
        const uint64_t key = keys[i & (keys.size() - 1)];
        if (const TTEntry* e = ttProbe(key)) hits += e->move;
        ttStore(key, static_cast<int>(i & 1023), static_cast<int>(i & 63), BOUND_EXACT,
                static_cast<int>(i & 63));
        ++i;
    }
    benchmark::DoNotOptimize(hits);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_TTProbeStore);

}  // namespace
}  // namespace tarnvel
