// The lookup tables and the index against the independent reference.
#include <map>
#include <tuple>

#include "egdb/sliceindex.h"
#include "egdb/tables.h"
#include "egdb_support.h"

namespace tarnvel::testing {
namespace {

TEST(LookupTables, MatchTheirDefinitions) {
    buildLookupTables();
    for (uint32_t v = 0; v < 65536; ++v) {
        ASSERT_EQ(BitCount16[v], countOf(v));
        ASSERT_EQ(Reverse16[v], mirror(v) >> 16);
    }
    for (int n = 0; n <= 32; ++n)
        for (int k = 1; k <= 32; ++k) ASSERT_EQ(Binomial[n][k], choose(n, k)) << n << " " << k;
    EXPECT_EQ(Binomial[0][0], 1u);
    const struct {
        int code;
        uint32_t length;
        int result;
    } codes[] = {{0, 4, 0}, {80, 4, 0}, {81, 5, 0}, {138, 10000, 0}, {139, 5, 1},
                 {196, 10000, 1}, {197, 5, 2}, {254, 10000, 2}, {255, 5, 3}};
    for (const auto& c : codes) {
        EXPECT_EQ(RunLengthTable[c.code], c.length) << c.code;
        if (c.code > 80) {
            EXPECT_EQ(RunResultTable[c.code], c.result) << c.code;
        }
    }
}

// positionAtIndex inverts the reference index, and hits exactly as many
// slots as the material has positions (the round trips check the forward
// index over every position).
TEST(SliceIndex, InverseMatchesTheReferenceOverEverySmallSlice) {
    buildLookupTables();
    for (int pieces = 2; pieces <= 4; ++pieces) {
        std::map<std::tuple<int, int, int, int>, int64_t> slots;
        for (const SliceKey& k : canonicalSlices(pieces, 4)) {
            // Of four pieces, two materials with men on both sides.
            if (pieces == 4 && !(k.nbm == k.nwm && k.nbk == k.nwk && k.nbm + k.nbk == 2)) continue;
            const uint32_t size = sliceSize(k);
            for (uint32_t i = 0; i < size; ++i) {
                DbQuery q;
                if (!positionAtIndex(k, i, &q)) continue;
                const RefLocation loc = referenceLocation(q);
                ASSERT_EQ(loc.index, i);
                ASSERT_EQ(loc.size, size);
                ASSERT_EQ(std::tie(loc.key.nbm, loc.key.nbk, loc.key.nwm, loc.key.nwk, loc.key.bmrank, loc.key.wmrank,
                                   loc.key.side),
                          std::tie(k.nbm, k.nbk, k.nwm, k.nwk, k.bmrank, k.wmrank, k.side));
                CanonicalPosition p;
                ASSERT_TRUE(canonicalPosition(q, &p));
                ASSERT_EQ(positionIndex(p), i);
                ++slots[{k.nbm, k.nbk, k.nwm, k.nwk}];
            }
        }
        for (const auto& [m, count] : slots) {
            const auto [nbm, nbk, nwm, nwk] = m;
            if (nbm + nbk == nwm + nwk) continue;  // the twin shares the slice
            int64_t positions = 0;
            forEachPosition(nbm, nbk, nwm, nwk, [&](const DbQuery&) { ++positions; });
            EXPECT_EQ(count, positions) << nbm << nbk << nwm << nwk;
        }
    }
}

}  // namespace
}  // namespace tarnvel::testing
