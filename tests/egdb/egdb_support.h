// Shared pieces of the database tests: a fresh working directory per test
// (the database lives in "db" under it), an independent slow reference of
// the position index, position enumeration and result patterns.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "egdb/database.h"
#include "egdb/sliceindex.h"
#include "egdb/writer.h"
#include "platform/vmem.h"
#include "support/scratch_dir.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel::testing {

class EgdbTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = makeScratchDir("egdb");
        ASSERT_FALSE(dir.empty());
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        std::filesystem::create_directory("db");
    }
    void TearDown() override {
        closeDatabase();
        platform::limitMemoryRequests(SIZE_MAX);
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
    }
    // Opens the database, keeping what it prints in `out`.
    int32_t open(int32_t megabytes = 256) {
        ::testing::internal::CaptureStdout();
        const int32_t r = openDatabase(megabytes, text);
        out = ::testing::internal::GetCapturedStdout();
        return r;
    }
    std::filesystem::path dir, previous;
    char text[TARNVEL_TEXT_CAPACITY] = "";
    std::string out;
};

inline void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}
inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// --- Reference index, written from the definitions with plain loops. ---

inline uint64_t choose(int n, int k) {
    if (k < 0 || k > n) return 0;
    uint64_t r = 1;
    for (int i = 1; i <= k; ++i) r = r * (n - k + i) / i;
    return r;
}

inline uint32_t mirror(uint32_t x) {
    uint32_t r = 0;
    for (int s = 0; s < 32; ++s)
        if (x >> s & 1) r |= 1u << (31 - s);
    return r;
}

inline int countOf(uint32_t x) {
    int n = 0;
    for (int s = 0; s < 32; ++s) n += x >> s & 1;
    return n;
}

// Rank of a set of squares, each first lowered by the squares of `occupied`
// below it (none for men).
inline uint64_t combinationRank(uint32_t squares, uint32_t occupied) {
    uint64_t r = 0;
    int j = 0, below = 0;
    for (int s = 0; s < 32; ++s) {
        if (squares >> s & 1) r += choose(s - below, ++j);
        below += occupied >> s & 1;
    }
    return r;
}

struct RefLocation {
    SliceKey key;
    uint64_t index;
    uint64_t size;
};

// The colour-reversed twin: board turned, colours swapped, other side.
inline DbQuery twinOf(const DbQuery& q) {
    return {mirror(q.wm), mirror(q.wk), mirror(q.bm), mirror(q.bk), q.side == 1 ? 2u : 1u};
}

// Row of the most advanced man, seen from his own side.
inline int leadRow(uint32_t men) {
    for (int s = 31; s >= 0; --s)
        if (men >> s & 1) return s / 4;
    return 0;
}

// Slice and index of a legal query (no man on its crowning row).
inline RefLocation referenceLocation(DbQuery q) {
    const int nb = countOf(q.bm) + countOf(q.bk), nw = countOf(q.wm) + countOf(q.wk);
    int bmr = leadRow(q.bm), wmr = leadRow(mirror(q.wm));
    int side = q.side & 1;
    const bool reverse = nw != nb                         ? nw > nb
                         : countOf(q.wk) != countOf(q.bk) ? countOf(q.wk) > countOf(q.bk)
                         : wmr != bmr                     ? wmr > bmr
                                                          : side == 1;
    if (reverse) {
        q = twinOf(q);
        std::swap(bmr, wmr);
        side = 1 - side;
    }
    const int nbm = countOf(q.bm), nbk = countOf(q.bk), nwm = countOf(q.wm), nwk = countOf(q.wk);
    const uint64_t bmRange = nbm ? choose(4 * bmr + 4, nbm) - choose(4 * bmr, nbm) : 1;
    const uint64_t wmRange = nwm ? choose(4 * wmr + 4, nwm) - choose(4 * wmr, nwm) : 1;
    const uint64_t bkRange = nbk ? choose(32 - nbm - nwm, nbk) : 1;
    const uint64_t wkRange = nwk ? choose(32 - nbm - nwm - nbk, nwk) : 1;
    const uint64_t bmi = combinationRank(q.bm, 0) - (bmr > 0 ? choose(4 * bmr, nbm) : 0);
    const uint64_t wmi = combinationRank(mirror(q.wm), 0) - (wmr > 0 ? choose(4 * wmr, nwm) : 0);
    const uint64_t bki = combinationRank(q.bk, q.bm | q.wm);
    const uint64_t wki = combinationRank(q.wk, q.bm | q.bk | q.wm);
    return {{nbm, nbk, nwm, nwk, bmr, wmr, side},
            ((wki * bkRange + bki) * wmRange + wmi) * bmRange + bmi,
            bmRange * wmRange * bkRange * wkRange};
}

// Calls visit(bitboard) for every set of k squares within `allowed`.
template <class Visit>
void forEachSubset(uint32_t allowed, int k, Visit&& visit, uint32_t chosen = 0, int from = 0) {
    if (k == 0) {
        visit(chosen);
        return;
    }
    for (int s = from; s < 32; ++s)
        if (allowed >> s & 1) forEachSubset(allowed, k - 1, visit, chosen | 1u << s, s + 1);
}

// Every placement of the material with no man on its crowning row, both
// sides to move.
template <class Visit>
void forEachPosition(int nbm, int nbk, int nwm, int nwk, Visit&& visit) {
    forEachSubset(0x0FFFFFFF, nbm, [&](uint32_t bm) {
        forEachSubset(0xFFFFFFF0 & ~bm, nwm, [&](uint32_t wm) {
            forEachSubset(~(bm | wm), nbk, [&](uint32_t bk) {
                forEachSubset(~(bm | wm | bk), nwk, [&](uint32_t wk) {
                    visit(DbQuery{bm, bk, wm, wk, 1});
                    visit(DbQuery{bm, bk, wm, wk, 2});
                });
            });
        });
    });
}

// Results by index with long runs, short mixed stretches and wildcard
// stretches, reproducible from the seed.
inline std::vector<uint8_t> patternedResults(uint32_t size, uint32_t seed, int mixedPercent, bool wildcards = true) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> r(size);
    for (uint32_t i = 0; i < size;) {
        const int kind = static_cast<int>(rng() % 100);
        const bool mixed = kind < mixedPercent, wild = wildcards && !mixed && kind < mixedPercent + 10;
        const uint32_t length = 1 + rng() % (mixed ? 3000 : wild ? 40 : 25000);
        const auto value = static_cast<uint8_t>(wild ? RESULT_ANY : 1 + rng() % 3);
        for (uint32_t j = 0; j < length && i + j < size; ++j)
            r[i + j] = mixed ? static_cast<uint8_t>(1 + rng() % 3) : value;
        i += length;
    }
    return r;
}

// Writes every slice of exactly `pieces` pieces into "db" and returns
// what was written.
inline std::vector<SliceResults> writeKnownDatabase(int pieces, int mixedPercent = 50) {
    std::filesystem::create_directory("db");
    std::vector<SliceResults> slices;
    uint32_t seed = 1;
    for (const SliceKey& k : canonicalSlices(pieces, 4))
        slices.push_back({k, patternedResults(sliceSize(k), seed++, mixedPercent, false)});
    const WriteReport report = writeDatabase(slices);
    EXPECT_TRUE(report.ok) << report.error;
    return slices;
}

}  // namespace tarnvel::testing
