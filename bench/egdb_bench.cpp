// Endgame database: probes of cached blocks, probes that miss the cache,
// and opening (parse + preload), on a database of up to 5 pieces written
// in a temporary directory.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include "egdb/database.h"
#include "egdb/sliceindex.h"
#include "egdb/writer.h"
#include "platform/vmem.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {
namespace {

// Results with runs of one value and stretches of mixed ones, so that
// blocks hold both kinds of code.
std::vector<uint8_t> patterned(uint32_t size, std::mt19937& rng) {
    std::vector<uint8_t> r(size);
    for (uint32_t i = 0; i < size;) {
        const bool mixed = rng() % 100 < 40;
        const uint32_t length = mixed ? 1 + rng() % 1500 : 1 + rng() % 20000;
        const auto v = static_cast<uint8_t>(1 + rng() % 3);
        for (uint32_t j = 0; j < length && i + j < size; ++j) r[i + j] = mixed ? static_cast<uint8_t>(1 + rng() % 3) : v;
        i += length;
    }
    return r;
}

// A database of every slice of 2 to 5 pieces in a fresh directory, which
// becomes the current one; the positions to probe, drawn from its slices.
struct Fixture {
    std::filesystem::path dir;
    std::vector<DbQuery> queries;
    int32_t blocks = 0;
    Fixture() {
        char pattern[] = "/tmp/tarnvel-egdb-bench-XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        dir = pattern;
        std::filesystem::current_path(dir);
        std::mt19937 rng(1);
        std::vector<SliceResults> slices;
        for (int pieces = 2; pieces <= 5; ++pieces)
            for (const SliceKey& k : canonicalSlices(pieces, 5)) slices.push_back({k, patterned(sliceSize(k), rng)});
        const WriteReport report = writeDatabase(slices);
        if (!report.ok) {
            std::fprintf(stderr, "%s\n", report.error.c_str());
            std::abort();
        }
        blocks = report.blocks;
        while (queries.size() < (1u << 20)) {
            const SliceResults& s = slices[rng() % slices.size()];
            DbQuery q;
            if (positionAtIndex(s.key, static_cast<uint32_t>(rng() % s.results.size()), &q)) queries.push_back(q);
        }
    }
    ~Fixture() {
        closeDatabase();
        std::filesystem::current_path("/tmp");
        std::filesystem::remove_all(dir);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_ProbeCachedBlocks(benchmark::State& state) {
    Fixture& f = fixture();
    char text[TARNVEL_TEXT_CAPACITY];
    std::fflush(stdout);
    if (openDatabase(256, text) != 5) state.SkipWithError("database not opened");
    size_t i = 0;
    int64_t answered = 0;
    for (auto _ : state) {
        const int32_t r = probeDatabase(&f.queries[i], 1);
        answered += r >= DB_WIN && r <= DB_DRAW;
        i = (i + 1) & (f.queries.size() - 1);
    }
    benchmark::DoNotOptimize(answered);
    state.counters["probes/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["blocks"] = f.blocks;
    closeDatabase();
}
BENCHMARK(BM_ProbeCachedBlocks);

// A cache of 15 blocks: nearly every probe reads its block through the
// operating system's page cache.
void BM_ProbeMissedBlocks(benchmark::State& state) {
    Fixture& f = fixture();
    char text[TARNVEL_TEXT_CAPACITY];
    std::fflush(stdout);
    platform::limitMemoryRequests(16 * 1024);
    if (openDatabase(256, text) != 5) state.SkipWithError("database not opened");
    platform::limitMemoryRequests(SIZE_MAX);
    size_t i = 0;
    int64_t answered = 0;
    for (auto _ : state) {
        const int32_t r = probeDatabase(&f.queries[i], 0);
        answered += r >= DB_WIN && r <= DB_DRAW;
        i = (i + 1) & (f.queries.size() - 1);
    }
    benchmark::DoNotOptimize(answered);
    state.counters["probes/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["cache blocks"] = cacheBlocks;
    closeDatabase();
}
BENCHMARK(BM_ProbeMissedBlocks);

void BM_OpenDatabase(benchmark::State& state) {
    Fixture& f = fixture();
    char text[TARNVEL_TEXT_CAPACITY];
    for (auto _ : state) {
        if (openDatabase(256, text) != 5) state.SkipWithError("database not opened");
        closeDatabase();
    }
    state.counters["blocks"] = f.blocks;
}
BENCHMARK(BM_OpenDatabase)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnvel
