// Shared pieces of the database tests: a fresh working directory per test
// (the database lives in "db" under it), an independent slow reference of
// the position index, position enumeration and result patterns.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/scratch_dir.h"
#include "egdb/database.h"
#include "egdb/writer.h"
#include "platform/vmem.h"

namespace tarnvel::testing {

// Each test runs in its own temporary directory and leaves the database
// closed.
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
    std::filesystem::path dir, previous;
};

inline void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}
inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
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

constexpr uint32_t BLACK_MAN_SQUARES = 0x0FFFFFFF;  // not on row 7
constexpr uint32_t WHITE_MAN_SQUARES = 0xFFFFFFF0;  // not on row 0

// Every placement of the material with no man on its crowning row, both
// sides to move.
template <class Visit>
void forEachPosition(int nbm, int nbk, int nwm, int nwk, Visit&& visit) {
    forEachSubset(BLACK_MAN_SQUARES, nbm, [&](uint32_t bm) {
        forEachSubset(WHITE_MAN_SQUARES & ~bm, nwm, [&](uint32_t wm) {
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
inline std::vector<uint8_t> patternedResults(uint32_t size, uint32_t seed, int mixedPercent) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> r(size);
    for (uint32_t i = 0; i < size;) {
        const int kind = static_cast<int>(rng() % 100);
        uint32_t length;
        if (kind < mixedPercent) {
            length = 1 + rng() % 3000;
            for (uint32_t j = 0; j < length && i + j < size; ++j) r[i + j] = static_cast<uint8_t>(1 + rng() % 3);
        } else if (kind < mixedPercent + 10) {
            length = 1 + rng() % 40;  // wildcards
            for (uint32_t j = 0; j < length && i + j < size; ++j) r[i + j] = RESULT_ANY;
        } else {
            length = 1 + rng() % 25000;
            const auto v = static_cast<uint8_t>(1 + rng() % 3);
            for (uint32_t j = 0; j < length && i + j < size; ++j) r[i + j] = v;
        }
        i += length;
    }
    return r;
}

}  // namespace tarnvel::testing
