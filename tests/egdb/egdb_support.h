// Shared pieces of the database tests: a scratch directory with "db", an
// independent slow reference of the position index, enumeration, result patterns.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <random>
#include <stdexcept>

#include "egdb/database.h"
#include "egdb/limits.h"
#include "egdb/sliceindex.h"
#include "egdb/writer.h"
#include "platform/vmem.h"
#include "support/scratch_dir.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel::testing {

class EgdbTest : public ScratchDirTest {
protected:
    void SetUp() override {
        ScratchDirTest::SetUp();
        std::filesystem::create_directory("db");
    }
    void TearDown() override {
        closeDatabase();
        maxPieces = maxPerSide = maxidx = maxBlocks = 0;  // as loaded: the next opening starts afresh
        platform::limitMemoryRequests(SIZE_MAX);
        ScratchDirTest::TearDown();
    }
    // Opens the database, keeping what it prints in `out`.
    int32_t open(int32_t megabytes = 256) {
        ::testing::internal::CaptureStdout();
        const int32_t r = openDatabase(megabytes, text);
        out = ::testing::internal::GetCapturedStdout();
        return r;
    }
    char text[TARNVEL_TEXT_CAPACITY] = "";
    std::string out;
};

// The reference index, written from the definitions with plain loops.
inline uint64_t choose(int n, int k) {
    uint64_t r = k >= 0 && k <= n;
    for (int i = 1; i <= k && r; ++i) r = r * (n - k + i) / i;
    return r;
}

inline uint32_t mirror(uint32_t x) {
    uint32_t r = 0;
    for (int s = 0; s < 32; ++s) r |= (x >> s & 1) << (31 - s);
    return r;
}

// Rank of a set of squares, each lowered by the squares of `occupied` below it.
inline uint64_t rank(uint32_t squares, uint32_t occupied) {
    uint64_t r = 0;
    for (int s = 0, j = 0; s < 32; ++s)
        if (squares >> s & 1) r += choose(s - std::popcount(occupied & ((1u << s) - 1)), ++j);
    return r;
}

// The colour-reversed twin: board turned, colours swapped, other side.
inline DbQuery twinOf(const DbQuery& q) {
    return {mirror(q.wm), mirror(q.wk), mirror(q.bm), mirror(q.bk), q.side == 1 ? 2u : 1u};
}

struct RefLocation {
    SliceKey key;
    uint64_t index, size;
};

// Slice and index of a legal query (no man on its crowning row): the side
// with more pieces, then more kings, then the more advanced man, then
// Black to move, is stored as Black.
inline RefLocation referenceLocation(DbQuery q) {
    const auto lead = [](uint32_t men) { return men ? (31 - std::countl_zero(men)) / 4 : 0; };
    const int nb = std::popcount(q.bm | q.bk), nw = std::popcount(q.wm | q.wk);
    const int bkings = std::popcount(q.bk), wkings = std::popcount(q.wk);
    const int bmr = lead(q.bm), wmr = lead(mirror(q.wm));
    if (nw != nb ? nw > nb : wkings != bkings ? wkings > bkings : wmr != bmr ? wmr > bmr : (q.side & 1) == 1)
        return referenceLocation(twinOf(q));
    const int nbm = std::popcount(q.bm), nwm = std::popcount(q.wm);
    const uint64_t bmRange = nbm ? choose(4 * bmr + 4, nbm) - choose(4 * bmr, nbm) : 1;
    const uint64_t wmRange = nwm ? choose(4 * wmr + 4, nwm) - choose(4 * wmr, nwm) : 1;
    const uint64_t bkRange = choose(32 - nbm - nwm, bkings), wkRange = choose(32 - nbm - nwm - bkings, wkings);
    const uint64_t bmi = rank(q.bm, 0) - (bmr > 0 ? choose(4 * bmr, nbm) : 0);
    const uint64_t wmi = rank(mirror(q.wm), 0) - (wmr > 0 ? choose(4 * wmr, nwm) : 0);
    const uint64_t index = ((rank(q.wk, q.bm | q.bk | q.wm) * bkRange + rank(q.bk, q.bm | q.wm)) * wmRange + wmi) * bmRange + bmi;
    return {{nbm, bkings, nwm, wkings, bmr, wmr, static_cast<int>(q.side & 1)}, index, bmRange * wmRange * bkRange * wkRange};
}

inline const std::vector<uint8_t>& resultsOf(const std::vector<SliceResults>& slices, const SliceKey& key) {
    for (const SliceResults& s : slices)
        if (std::memcmp(&s.key, &key, sizeof key) == 0) return s.results;
    throw std::out_of_range("slice not written");
}

// Every placement with no man on its crowning row, both sides to move.
template <class Visit>
void forEachPosition(int nbm, int nbk, int nwm, int nwk, Visit&& visit, int group = 0, uint32_t from = 0, DbQuery q = {}) {
    const int counts[] = {nbm, nbk, nwm, nwk};
    uint32_t* sets[] = {&q.bm, &q.bk, &q.wm, &q.wk};
    if (group == 4) {
        visit(DbQuery{q.bm, q.bk, q.wm, q.wk, 1});
        visit(DbQuery{q.bm, q.bk, q.wm, q.wk, 2});
    } else if (std::popcount(*sets[group]) == counts[group]) {
        forEachPosition(nbm, nbk, nwm, nwk, visit, group + 1, 0, q);
    } else {
        const uint32_t allowed = ~(q.bm | q.bk | q.wm | q.wk) & (group == 0 ? 0x0FFFFFFF : group == 2 ? 0xFFFFFFF0 : ~0u);
        for (uint32_t s = from; s < 32; ++s)
            if (allowed >> s & 1) {
                *sets[group] |= 1u << s;
                forEachPosition(nbm, nbk, nwm, nwk, visit, group, s + 1, q);
                *sets[group] &= ~(1u << s);
            }
    }
}

// Runs, mixed stretches and (if asked) wildcard stretches, from the seed.
inline std::vector<uint8_t> patternedResults(uint32_t size, uint32_t seed, int mixedPercent, bool wildcards = true) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> r(size);
    for (uint32_t i = 0; i < size;) {
        const int kind = static_cast<int>(rng() % 100);
        const bool mixed = kind < mixedPercent, wild = wildcards && !mixed && kind < mixedPercent + 10;
        const auto value = static_cast<uint8_t>(wild ? RESULT_ANY : 1 + rng() % 3);
        for (uint32_t end = i + 1 + rng() % (mixed ? 3000 : wild ? 40 : 25000); i < end && i < size; ++i)
            r[i] = mixed ? static_cast<uint8_t>(1 + rng() % 3) : value;
    }
    return r;
}

// Writes every slice of exactly `pieces` pieces into "db"; returns what was written.
inline std::vector<SliceResults> writeKnownDatabase(int pieces, int mixedPercent = 50) {
    std::filesystem::create_directory("db");
    std::vector<SliceResults> slices;
    for (const SliceKey& k : canonicalSlices(pieces, 4))
        slices.push_back({k, patternedResults(sliceSize(k), static_cast<uint32_t>(slices.size()) + 1, mixedPercent, false)});
    EXPECT_TRUE(writeDatabase(slices).ok);
    return slices;
}

}  // namespace tarnvel::testing
