// Time discipline of getmove, seen from the host: how far a move overruns
// its budget of 1.1 × the allowance, and how soon getmove returns once the
// host sets the play-now word from another thread. Slow by nature (about
// a minute); run it on its own:
//
//   tarnvel_bench --benchmark_filter=TimeDiscipline
//
// Reported in ms: p50, p99 and max, with the 1-minute load average.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "board/movegen.h"
#include "board/movestack.h"
#include "board/position.h"
#include "interface/history.h"
#include "interface/hostboard.h"
#include "interface/postext.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double ALLOWANCES[] = {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1.0};
constexpr int CALLS_PER_ALLOWANCE = 30;
constexpr int PLAY_NOW_CALLS = 40;
constexpr double BUDGET_PER_SECOND = 1.1;
constexpr const char* INITIAL_TEXT = "B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.";

struct HostPosition {
    int board[8][8];
    int color;  // 1 White, 2 Black
};

// Middle-game positions with a choice of moves: random games from the
// initial arrangement, cut after 6 to 30 plies.
std::vector<HostPosition> middleGames(size_t count) {
    std::mt19937 rng(77);
    std::vector<HostPosition> out;
    while (out.size() < count) {
        int whiteToMove = 0;
        parsePosition(INITIAL_TEXT, &whiteToMove);
        const int plies = 6 + static_cast<int>(rng() % 25);
        bool alive = true;
        for (int ply = 0; ply < plies && alive; ++ply) {
            plyBase = 0;
            moveCount = 0;
            const Bitboard empty = ~(position.wm | position.wk | position.bm | position.bk);
            if (!generateCaptures(whiteToMove, empty) && !generateNonCaptures(whiteToMove, empty)) {
                alive = false;
            } else {
                makeMove(rng() % moveCount);
                whiteToMove = !whiteToMove;
            }
        }
        plyBase = 0;
        moveCount = 0;
        const Bitboard empty = ~(position.wm | position.wk | position.bm | position.bk);
        if (!generateCaptures(whiteToMove, empty)) generateNonCaptures(whiteToMove, empty);
        // A forced move returns at once and says nothing about the clock.
        if (!alive || moveCount < 2) continue;
        HostPosition p{};
        exportHostBoard(p.board);
        p.color = whiteToMove ? 1 : 2;
        out.push_back(p);
    }
    gameHistory.length = 0;
    return out;
}

double percentile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
}

double loadAverage() {
    double load = 0;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1) load = 0;
        std::fclose(f);
    }
    return load;
}

void report(benchmark::State& state, const std::vector<double>& ms) {
    state.counters["load1"] = loadAverage();
    if (ms.empty()) return;
    state.counters["p50_ms"] = percentile(ms, 0.50);
    state.counters["p99_ms"] = percentile(ms, 0.99);
    state.counters["max_ms"] = *std::max_element(ms.begin(), ms.end());
    state.counters["calls"] = static_cast<double>(ms.size());
}

// A 64 MB table, touched once by a long search first: the first moves
// after an allocation pay for its pages (hundreds of ms on this machine),
// which is a one-off and not the clock's doing.
void prepareEngine(const HostPosition& warmUp) {
    char reply[TARNVEL_REPLY_CAPACITY];
    enginecommand("set hashsize 64", reply);
    HostPosition copy = warmUp;
    char text[TARNVEL_TEXT_CAPACITY];
    int playNow = 0;
    getmove(copy.board, copy.color, 2.0, text, &playNow, 1, 0, 0);
}

// Elapsed time of each call minus its budget; negative when the search
// ended early (a forced move, a decided position).
void TimeDisciplineOverrun(benchmark::State& state) {
    const std::vector<HostPosition> positions = middleGames(CALLS_PER_ALLOWANCE);
    prepareEngine(positions.front());
    std::vector<double> overrun;
    char text[TARNVEL_TEXT_CAPACITY];
    int playNow = 0;
    for (auto _ : state) {
        for (const double seconds : ALLOWANCES)
            for (const HostPosition& p : positions) {
                HostPosition copy = p;
                const auto start = Clock::now();
                getmove(copy.board, copy.color, seconds, text, &playNow, 0, 0, 0);
                const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                overrun.push_back(elapsed - 1000.0 * BUDGET_PER_SECOND * seconds);
            }
    }
    report(state, overrun);
}
BENCHMARK(TimeDisciplineOverrun)->Iterations(1)->Unit(benchmark::kSecond);

// From the moment another thread sets the play-now word to the return of
// a search that had a minute to go.
void TimeDisciplinePlayNow(benchmark::State& state) {
    const std::vector<HostPosition> positions = middleGames(PLAY_NOW_CALLS);
    prepareEngine(positions.front());
    std::mt19937 rng(5);
    std::vector<double> latency;
    int endedBeforeTheWord = 0;
    char text[TARNVEL_TEXT_CAPACITY];
    for (auto _ : state) {
        for (const HostPosition& p : positions) {
            HostPosition copy = p;
            std::atomic<int> playNow{0};
            std::atomic<Clock::rep> setAt{0};
            const auto delay = std::chrono::milliseconds(20 + rng() % 280);
            std::thread host([&] {
                std::this_thread::sleep_for(delay);
                setAt = Clock::now().time_since_epoch().count();
                playNow = 1;
            });
            // The engine reads the word as a plain 32-bit int, as a host's
            // flag is; std::atomic<int> has that layout.
            static_assert(sizeof(std::atomic<int>) == sizeof(int));
            getmove(copy.board, copy.color, 60.0, text, reinterpret_cast<int*>(&playNow), 0, 0, 0);
            const auto returned = Clock::now().time_since_epoch().count();
            host.join();
            // A search that ended by itself before the word was set tells
            // nothing about the latency.
            if (returned >= setAt) {
                const Clock::duration waited(returned - setAt);
                latency.push_back(std::chrono::duration<double, std::milli>(waited).count());
            } else {
                ++endedBeforeTheWord;
            }
        }
    }
    report(state, latency);
    state.counters["ended_before_the_word"] = endedBeforeTheWord;
}
BENCHMARK(TimeDisciplinePlayNow)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tarnvel
