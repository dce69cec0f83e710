// Writer → files → probe for every position of a material and its
// colour-reversed twin, against the reference index; then the writer's refusals.
#include "egdb_support.h"

namespace tarnvel::testing {
namespace {

struct Material {
    int nbm, nbk, nwm, nwk;
    uint32_t stride;  // probe one position in this many
};

class RoundTrip : public EgdbTest, public ::testing::WithParamInterface<Material> {};

TEST_P(RoundTrip, EveryPositionAnswersWhatWasWritten) {
    const Material m = GetParam();
    const int pieces = m.nbm + m.nbk + m.nwm + m.nwk;
    std::vector<SliceResults> slices;
    for (const SliceKey& k : canonicalSlices(pieces, std::max(pieces, 4)))
        if (std::tuple(k.nbm, k.nbk, k.nwm, k.nwk) == std::tuple(m.nbm, m.nbk, m.nwm, m.nwk))
            slices.push_back({k, patternedResults(sliceSize(k), 7919u * static_cast<uint32_t>(slices.size()) + pieces, 60)});
    const WriteReport report = writeDatabase(slices);
    ASSERT_TRUE(report.ok) << report.error;
    ASSERT_EQ(open(), std::max(pieces, 4));
    int64_t wrong = 0;
    uint32_t counter = 0;
    forEachPosition(m.nbm, m.nbk, m.nwm, m.nwk, [&](const DbQuery& q) {
        if (counter++ % m.stride) return;
        const RefLocation loc = referenceLocation(q);
        const std::vector<uint8_t>& results = resultsOf(slices, loc.key);
        ASSERT_EQ(loc.size, results.size());
        const DbQuery twin = twinOf(q);
        DbQuery back{};
        ASSERT_TRUE(positionAtIndex(loc.key, static_cast<uint32_t>(loc.index), &back));
        const auto same = [&](const DbQuery& a) { return std::tuple(a.bm, a.bk, a.wm, a.wk, a.side & 1) == std::tuple(back.bm, back.bk, back.wm, back.wk, back.side & 1); };
        ASSERT_TRUE(same(q) || same(twin));
        for (const DbQuery* probe : {&q, &twin}) {
            const int32_t got = probeDatabase(probe, 0);
            const uint8_t expected = results[loc.index];
            if (!(got == expected || (expected == RESULT_ANY && got >= DB_WIN && got <= DB_DRAW)) && ++wrong <= 5)
                ADD_FAILURE() << "bm " << probe->bm << " bk " << probe->bk << " wm " << probe->wm << " wk " << probe->wk
                              << " side " << probe->side << ": " << got << ", written " << int(expected);
        }
    });
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(counter, 0u);
}

// Every material of 2 to 4 pieces, at most 3 a side, Black the stronger
// side (the others are the twins), and a sample of five.
std::vector<Material> materials() {
    std::vector<Material> v{{3, 0, 0, 2, 5}, {2, 1, 1, 1, 31}};
    for (int id = 0; id < 256; ++id) {
        const int nbm = id >> 6, nbk = id >> 4 & 3, nwm = id >> 2 & 3, nwk = id & 3, nb = nbm + nbk, nw = nwm + nwk;
        if (nw > 0 && nb <= 3 && nb + nw <= 4 && nw <= nb && (nw != nb || nwk <= nbk)) v.push_back({nbm, nbk, nwm, nwk, 1});
    }
    return v;
}

INSTANTIATE_TEST_SUITE_P(Materials, RoundTrip, ::testing::ValuesIn(materials()), [](const auto& info) {
    char name[32];
    std::snprintf(name, sizeof name, "b%dm%dk_w%dm%dk", info.param.nbm, info.param.nbk, info.param.nwm, info.param.nwk);
    return std::string(name);
});

// The builder walks slices in index order: the walk gives what decoding
// each index gives, through every carry of slices of up to 4 pieces and
// from random places in 7-piece ones.
TEST(SliceWalk, GivesWhatDecodingEachIndexGives) {
    std::mt19937 rng(3);
    std::vector<std::pair<SliceKey, uint32_t>> starts;
    for (const SliceKey& k : canonicalSlices(4, 7)) starts.push_back({k, 0});
    const std::vector<SliceKey> seven = canonicalSlices(7, 7);
    for (int n = 0; n < 30; ++n) {
        const SliceKey& k = seven[rng() % seven.size()];
        starts.push_back({k, static_cast<uint32_t>(rng() % sliceSize(k))});
    }
    for (const auto& [k, start] : starts) {
        const uint32_t end = start == 0 ? sliceSize(k) : std::min(sliceSize(k), start + 100000);
        SliceWalk walk;
        startSliceWalk(k, start, &walk);
        for (uint32_t i = start; i < end; ++i, stepSliceWalk(&walk)) {
            DbQuery a{}, b{};
            const bool valid = positionAtIndex(k, i, &a);
            ASSERT_EQ(walkPosition(walk, &b), valid) << i;
            ASSERT_TRUE(!valid || std::tie(a.bm, a.bk, a.wm, a.wk, a.side) == std::tie(b.bm, b.bk, b.wm, b.wk, b.side)) << i;
        }
    }
}

class Writer : public EgdbTest {};

TEST_F(Writer, UniformSlicesBecomeSingleValueRecordsAndUnreadableOnesAreRefused) {
    const SliceKey kk{0, 1, 0, 1, 0, 0, 0}, kkk{0, 2, 0, 1, 0, 0, 0}, six{0, 3, 0, 3, 0, 0, 0};
    std::vector<uint8_t> r(sliceSize(kkk), DB_LOSS);
    for (size_t i = 0; i < r.size(); i += 7) r[i] = RESULT_ANY;
    const WriteReport report = writeDatabase({{kkk, r}});
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.blocks, 0);
    EXPECT_EQ(readText("db/db3.idx"), "BASE0,2,0,1,0,0,b:-\n");
    std::filesystem::remove("db/db2.idx");
    std::vector<SliceResults> big;  // mixed results everywhere: over 250 blocks
    for (const SliceKey& k : canonicalSlices(4, 4)) big.push_back({k, patternedResults(sliceSize(k), 1, 100)});
    const std::pair<std::vector<SliceResults>, const char*> cases[] = {
        {{{SliceKey{0, 1, 0, 1, 0, 0, 1}, std::vector<uint8_t>(992, 1)}}, "never probed"},
        {{{SliceKey{0, 1, 0, 1, 3, 0, 0}, std::vector<uint8_t>(992, 1)}}, "never probed"},
        {{{kk, std::vector<uint8_t>(991, 1)}}, "needs 992 results"},
        {{{kk, std::vector<uint8_t>(992, 4)}}, "holds the result 4"},
        {big, "holds at most 250"},
        {{{six, patternedResults(sliceSize(six), 2, 100)}}, "its index record holds 999"},  // too many blocks for one record
    };
    for (const auto& [slices, words] : cases) {
        const WriteReport refused = writeDatabase(slices);
        EXPECT_FALSE(refused.ok) << words;
        EXPECT_NE(refused.error.find(words), std::string::npos) << refused.error;
        EXPECT_FALSE(std::filesystem::exists("db/db2.idx"));
    }
}

}  // namespace
}  // namespace tarnvel::testing
