// Writer → files → openDatabase → probe, over every position of every
// slice of a material, each answer checked against the results written
// through the independent reference index, for the colour-reversed twin
// too; the index's inverse must give back the position.
#include <map>
#include <tuple>

#include "egdb_support.h"

namespace tarnvel::testing {
namespace {

struct Material {
    int nbm, nbk, nwm, nwk;
    uint32_t stride;  // probe one position in this many
};

std::string materialName(const ::testing::TestParamInfo<Material>& info) {
    char name[32];
    std::snprintf(name, sizeof name, "b%dm%dk_w%dm%dk", info.param.nbm, info.param.nbk, info.param.nwm, info.param.nwk);
    return name;
}

auto keyTuple(const SliceKey& k) { return std::tuple(k.nbm, k.nbk, k.nwm, k.nwk, k.bmrank, k.wmrank, k.side); }

bool samePosition(const DbQuery& a, const DbQuery& b) {
    return a.bm == b.bm && a.bk == b.bk && a.wm == b.wm && a.wk == b.wk && (a.side & 1) == (b.side & 1);
}

class RoundTrip : public EgdbTest, public ::testing::WithParamInterface<Material> {};

TEST_P(RoundTrip, EveryPositionAnswersWhatWasWritten) {
    const Material m = GetParam();
    const int pieces = m.nbm + m.nbk + m.nwm + m.nwk;
    std::vector<SliceResults> slices;
    for (const SliceKey& k : canonicalSlices(pieces, std::max(pieces, 4)))
        if (k.nbm == m.nbm && k.nbk == m.nbk && k.nwm == m.nwm && k.nwk == m.nwk)
            slices.push_back({k, patternedResults(sliceSize(k), 7919u * static_cast<uint32_t>(slices.size()) +
                                                                      static_cast<uint32_t>(pieces), 60)});
    ASSERT_FALSE(slices.empty());
    const WriteReport report = writeDatabase(slices);
    ASSERT_TRUE(report.ok) << report.error;
    std::map<decltype(keyTuple(SliceKey{})), const std::vector<uint8_t>*> written;
    for (const SliceResults& s : slices) written[keyTuple(s.key)] = &s.results;

    ASSERT_EQ(open(), std::max(pieces, 4));
    int64_t positions = 0, wrong = 0;
    uint32_t counter = 0;
    forEachPosition(m.nbm, m.nbk, m.nwm, m.nwk, [&](const DbQuery& q) {
        if (counter++ % m.stride) return;
        const RefLocation loc = referenceLocation(q);
        const auto found = written.find(keyTuple(loc.key));
        ASSERT_NE(found, written.end());
        ASSERT_EQ(loc.size, found->second->size());
        const uint8_t expected = (*found->second)[loc.index];
        const DbQuery twin = twinOf(q);
        DbQuery back{};
        ASSERT_TRUE(positionAtIndex(loc.key, static_cast<uint32_t>(loc.index), &back));
        ASSERT_TRUE(samePosition(back, q) || samePosition(back, twin));
        for (const DbQuery* probe : {&q, &twin}) {
            const int32_t got = probeDatabase(probe, 0);
            const bool right = expected == RESULT_ANY ? got >= DB_WIN && got <= DB_DRAW : got == expected;
            if (!right && ++wrong <= 5)
                ADD_FAILURE() << "bm " << probe->bm << " bk " << probe->bk << " wm " << probe->wm << " wk " << probe->wk
                              << " side " << probe->side << ": " << got << ", written " << int(expected);
        }
        ++positions;
    });
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(positions, 0);
}

// Every material of 2 to 4 pieces, at most 3 a side, black the stronger
// side (the others are the twins).
std::vector<Material> smallMaterials() {
    std::vector<Material> v;
    for (int nbm = 0; nbm <= 3; ++nbm)
        for (int nbk = 0; nbk + nbm <= 3; ++nbk)
            for (int nwm = 0; nwm <= 3; ++nwm)
                for (int nwk = 0; nwk + nwm <= 3; ++nwk) {
                    const int nb = nbm + nbk, nw = nwm + nwk;
                    if (nw > 0 && nb + nw <= 4 && nw <= nb && (nw != nb || nwk <= nbk)) v.push_back({nbm, nbk, nwm, nwk, 1});
                }
    return v;
}

INSTANTIATE_TEST_SUITE_P(UpToFourPieces, RoundTrip, ::testing::ValuesIn(smallMaterials()), materialName);
INSTANTIATE_TEST_SUITE_P(FivePieceSample, RoundTrip,
                         ::testing::Values(Material{3, 0, 0, 2, 5}, Material{2, 1, 1, 1, 31}),
                         materialName);

}  // namespace
}  // namespace tarnvel::testing
