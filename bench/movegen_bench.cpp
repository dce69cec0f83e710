// Move generation and makeMove on middlegame positions taken from seeded
// random games: positions where the side to move must capture and quiet
// ones, kept apart because the two generators do different work.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "board/movegen.h"
#include "board/movestack.h"
#include "board/perft.h"
#include "board/position.h"
#include "interface/history.h"
#include "interface/postext.h"

namespace tarnvel {
namespace {

struct Sample {
    Position position;
    int whiteToMove;
};

struct Samples {
    std::vector<Sample> captures;
    std::vector<Sample> quiet;
};

Bitboard emptyOf(const Position& p) { return ~(p.wm | p.wk | p.bm | p.bk); }

// Plies 16…79 of 400 random games; a fixed linear congruential sequence
// keeps the set identical from run to run.
const Samples& samples() {
    static const Samples set = [] {
        Samples s;
        uint64_t state = 0x2545F4914F6CDD1Dull;
        for (int game = 0; game < 400; ++game) {
            int side = 0;
            parsePosition("B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.", &side);
            for (int ply = 0; ply < 80; ++ply) {
                plyBase = 0;
                moveCount = 0;
                const bool capture = generateCaptures(side, emptyOf(position));
                const uint32_t n = capture ? moveCount : generateLegalMoves(side, 0);
                if (n == 0) break;
                if (ply >= 16) (capture ? s.captures : s.quiet).push_back({position, side});
                state = state * 6364136223846793005ull + 1442695040888963407ull;
                makeMove(static_cast<uint32_t>((state >> 33) % n));
                side = !side;
            }
        }
        gameHistory.length = 0;
        return s;
    }();
    return set;
}

void generateAll(benchmark::State& state, const std::vector<Sample>& set, bool captures) {
    uint64_t moves = 0;
    for (auto _ : state) {
        for (const Sample& s : set) {
            position = s.position;
            plyBase = 0;
            moveCount = 0;
            const Bitboard empty = emptyOf(position);
            benchmark::DoNotOptimize(captures ? generateCaptures(s.whiteToMove, empty)
                                              : generateNonCaptures(s.whiteToMove, empty));
            moves += moveCount;
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * set.size()));
    state.counters["moves/list"] = static_cast<double>(moves) / (state.iterations() * set.size());
}

void BM_GenerateCaptures(benchmark::State& state) { generateAll(state, samples().captures, true); }
BENCHMARK(BM_GenerateCaptures);

void BM_GenerateNonCaptures(benchmark::State& state) { generateAll(state, samples().quiet, false); }
BENCHMARK(BM_GenerateNonCaptures);

// The capture search every quiet node pays before its plain moves.
void BM_GenerateCapturesFindingNone(benchmark::State& state) {
    generateAll(state, samples().quiet, true);
}
BENCHMARK(BM_GenerateCapturesFindingNone);

void BM_CaptureExists(benchmark::State& state) {
    const Samples& s = samples();
    for (auto _ : state)
        for (const std::vector<Sample>* set : {&s.captures, &s.quiet})
            for (const Sample& sample : *set) {
                position = sample.position;
                benchmark::DoNotOptimize(captureExists());
            }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * (s.captures.size() + s.quiet.size())));
}
BENCHMARK(BM_CaptureExists);

struct Made {
    Position position;
    uint32_t flags, to, cleared;
};

// Every move of every sample, as a position and the record to make in it.
std::vector<Made> movesOf(const std::vector<Sample>& set) {
    std::vector<Made> out;
    for (const Sample& s : set) {
        position = s.position;
        const uint32_t n = generateLegalMoves(s.whiteToMove, 0);
        for (uint32_t i = 0; i < n; ++i)
            out.push_back({s.position, moveStack.flags[i], moveStack.to[i], moveStack.cleared[i]});
    }
    return out;
}

// makeMove followed by the restore-by-copy the search does after each child.
void BM_MakeMove(benchmark::State& state, bool captures) {
    const std::vector<Made> moves = movesOf(captures ? samples().captures : samples().quiet);
    for (auto _ : state) {
        for (const Made& m : moves) {
            position = m.position;
            moveStack.flags[0] = m.flags;
            moveStack.to[0] = m.to;
            moveStack.cleared[0] = m.cleared;
            makeMove(0);
            benchmark::DoNotOptimize(position.key);
            gameHistory.length = 0;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * moves.size()));
}
BENCHMARK_CAPTURE(BM_MakeMove, captures, true);
BENCHMARK_CAPTURE(BM_MakeMove, quiet, false);

}  // namespace
}  // namespace tarnvel
