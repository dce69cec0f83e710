// Time discipline of getmove, seen from the host: how far a move overruns
// its budget of 1.1 × the allowance, and how soon getmove returns once the
// host sets the play-now word from another thread. Slow by nature (about
// a minute); run it on its own:
//
//   tarnvel_bench --benchmark_filter=TimeDiscipline
//
// Reported in ms: p50, p99 and max, with the 1-minute load average.
// TimeDisciplineMatch plays games as a match does, first, with the table
// the library was loaded with; run it alone for a fresh table:
//
//   tarnvel_bench --benchmark_filter=TimeDisciplineMatch
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
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

// The moves of the global position into the move stack; their number.
uint32_t generateMoves(int whiteToMove) {
    plyBase = 0;
    moveCount = 0;
    const Bitboard empty = ~(position.wm | position.wk | position.bm | position.bk);
    if (!generateCaptures(whiteToMove, empty)) generateNonCaptures(whiteToMove, empty);
    return moveCount;
}

// `plies` random moves from the initial arrangement into the global
// position; false when a side ran out of moves on the way.
bool randomGame(std::mt19937& rng, int plies, int* whiteToMove) {
    parsePosition(INITIAL_TEXT, whiteToMove);
    for (int ply = 0; ply < plies; ++ply) {
        if (generateMoves(*whiteToMove) == 0) return false;
        makeMove(rng() % moveCount);
        *whiteToMove = !*whiteToMove;
    }
    return true;
}

HostPosition hostPosition(int whiteToMove) {
    HostPosition p{};
    exportHostBoard(p.board);
    p.color = whiteToMove ? 1 : 2;
    return p;
}

// Middle-game positions with a choice of moves: random games from the
// initial arrangement, cut after 6 to 30 plies.
std::vector<HostPosition> middleGames(size_t count) {
    std::mt19937 rng(77);
    std::vector<HostPosition> out;
    while (out.size() < count) {
        int whiteToMove = 0;
        const bool alive = randomGame(rng, 6 + static_cast<int>(rng() % 25), &whiteToMove);
        // A forced move returns at once and says nothing about the clock.
        if (alive && generateMoves(whiteToMove) >= 2) out.push_back(hostPosition(whiteToMove));
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

void report(benchmark::State& state, const std::vector<double>& ms, const std::string& prefix = "") {
    state.counters["load1"] = loadAverage();
    if (ms.empty()) return;
    state.counters[prefix + "p50_ms"] = percentile(ms, 0.50);
    state.counters[prefix + "p99_ms"] = percentile(ms, 0.99);
    state.counters[prefix + "max_ms"] = *std::max_element(ms.begin(), ms.end());
    state.counters[prefix + "calls"] = static_cast<double>(ms.size());
}

// Games as a match plays them at 0.1 s a move, with the table the library
// was loaded with: each side's first move carries the new-game flag, so
// the table is emptied twice a game, the second time after a search.
// Reported: each call's elapsed time over the allowance (over_*) and over
// the budget of 1.1 × the allowance (budget_*), for all moves and for the
// first moves of games (first_*).
void TimeDisciplineMatch(benchmark::State& state) {
    constexpr double SECONDS = 0.1;
    constexpr int GAMES = 8;
    constexpr int OPENING_PLIES = 3;
    constexpr int MAX_PLIES = 100;
    std::mt19937 rng(31);
    std::vector<double> all, first;
    char text[TARNVEL_TEXT_CAPACITY];
    int playNow = 0;
    for (auto _ : state) {
        for (int game = 0; game < GAMES; ++game) {
            int whiteToMove = 0;
            if (!randomGame(rng, OPENING_PLIES, &whiteToMove)) continue;
            HostPosition p = hostPosition(whiteToMove);
            bool newGame[2] = {true, true};
            for (int ply = 0; ply < MAX_PLIES; ++ply) {
                const int side = p.color == 1;
                const auto start = Clock::now();
                const int result = getmove(p.board, p.color, SECONDS, text, &playNow, newGame[side], 0, 0);
                const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                if (result == TARNVEL_LOSS) break;  // no move: the game is over
                all.push_back(elapsed - 1000.0 * SECONDS);
                if (newGame[side]) first.push_back(elapsed - 1000.0 * SECONDS);
                newGame[side] = false;
                p.color = 3 - p.color;
            }
        }
    }
    char reply[TARNVEL_REPLY_CAPACITY];
    enginecommand("get hashsize", reply);
    state.counters["table_mb"] = std::atof(reply);
    report(state, all, "over_");
    report(state, first, "first_over_");
    const double margin = 1000.0 * (BUDGET_PER_SECOND - 1.0) * SECONDS;
    for (double& ms : all) ms -= margin;
    for (double& ms : first) ms -= margin;
    report(state, all, "budget_");
    report(state, first, "first_budget_");
}
BENCHMARK(TimeDisciplineMatch)->Iterations(1)->Unit(benchmark::kSecond);

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
