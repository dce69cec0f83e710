#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "v13/interface/library_load.h"
#include "v13/search/fixed_depth.h"
#include "v13/search/tt.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {
namespace {

constexpr const char* MIDDLEGAME = "W:W17,21,22,23,24,26,27,30,32:B2,3,5,9,10,11,12,16,20.";

// Nodes per second of fixed-depth searches from a new game; the table
// clear before each is not timed.
void BM_FixedDepthSearch(benchmark::State& state) {
    ttAllocate(64);
    uint64_t nodes = 0;
    double seconds = 0;
    for (auto _ : state) {
        FixedDepthSearch search{};
        searchFixedDepth(MIDDLEGAME, static_cast<uint32_t>(state.range(0)), &search);
        nodes += search.nodes;
        seconds += search.seconds;
    }
    state.counters["nodes/s"] = seconds > 0 ? static_cast<double>(nodes) / seconds : 0;
}
BENCHMARK(BM_FixedDepthSearch)->Arg(12)->Unit(benchmark::kMillisecond);

// Time from the host setting its play-now word to getmove returning.
void BM_PlayNowLatency(benchmark::State& state) {
    attachLibrary();
    ttAllocate(64);
    for (auto _ : state) {
        int board[8][8] = {};
        for (int c = 0; c < 8; ++c)
            for (int r = 0; r < 8; ++r)
                if ((c + r) % 2 == 0)
                    board[c][r] = r <= 2 ? TARNVEL_BLACK_MAN : r >= 5 ? TARNVEL_WHITE_MAN : 0;
        char text[TARNVEL_TEXT_CAPACITY];
        int playNow = 0;
        std::atomic<int64_t> setAt{0};
        std::thread host([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            setAt = std::chrono::steady_clock::now().time_since_epoch().count();
            reinterpret_cast<volatile int&>(playNow) = 1;
        });
        getmove(board, 2, 3600.0, text, &playNow, 0, 0, 0);
        const int64_t returnedAt = std::chrono::steady_clock::now().time_since_epoch().count();
        host.join();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::duration(returnedAt - setAt))
                .count());
    }
}
BENCHMARK(BM_PlayNowLatency)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnvel
