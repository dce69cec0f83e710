// The learned evaluation on random weights large enough to drive every
// clip: incremental updates along random games against a refresh, colour
// reversal, and the loader's refusals. (Python's integer model against the
// engine is tests/train/tiny_pipeline_test.py.)
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "support/board_fixtures.h"
#include "v2/eval/network.h"
#include "v2/eval/network_file.h"

namespace tarnvel::v2::network {
namespace {

std::vector<uint8_t> randomWeightsFile(uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> file(NETWORK_FILE_SIZE);
    for (uint8_t& byte : file) byte = static_cast<uint8_t>(rng());
    std::memcpy(file.data(), NETWORK_MAGIC, 4);
    const uint32_t shape[2] = {HIDDEN, LAYER2};
    std::memcpy(file.data() + 4, shape, sizeof shape);
    // Feature weights and biases within ±300, so that sums of up to 24 stay in int16.
    for (size_t at = 12; at < 12 + 2 * (FEATURES + 1) * HIDDEN; at += 2) {
        const auto w = static_cast<int16_t>(static_cast<int>(rng() % 601) - 300);
        std::memcpy(file.data() + at, &w, 2);
    }
    // Layer-2 weights at their bounds, biases within ±2^20, the output bias 0.
    const size_t layer2At = 12 + 2 * (FEATURES + 1) * HIDDEN;
    for (size_t at = layer2At; at < layer2At + 4 * LAYER2 * HIDDEN; at += 2) {
        const auto w = static_cast<int16_t>(static_cast<int>(rng() % (2 * LAYER2_WEIGHT_MAX + 1)) - LAYER2_WEIGHT_MAX);
        std::memcpy(file.data() + at, &w, 2);
    }
    for (size_t at = layer2At + 4 * LAYER2 * HIDDEN, n = 0; n < LAYER2; ++n, at += 4) {
        const int32_t b = static_cast<int32_t>(rng() % (1 << 21)) - (1 << 20);
        std::memcpy(file.data() + at, &b, 4);
    }
    std::memset(file.data() + NETWORK_FILE_SIZE - 4, 0, 4);
    return file;
}

Position positionOf(const reference::Board& board) {
    const reference::Bitboards b = reference::bitboardsOf(board);
    return Position{0, b.wm, b.wk, b.bm, b.bk, 0, 0, 0};
}

class LearnedNetwork : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<uint8_t> file = randomWeightsFile(7);
        ASSERT_TRUE(loadWeights(file.data(), file.size()));
    }
    void TearDown() override { ASSERT_TRUE(loadEmbeddedWeights()); }
};

// Along random games, a child updated from its parent equals a refresh,
// and so does an accumulator updated in place; the scores spread widely.
TEST_F(LearnedNetwork, IncrementalUpdateEqualsRefreshAlongRandomGames) {
    std::mt19937 rng(11);
    Position before{};
    Accumulator parent{}, child{}, fresh{}, inPlace{};
    int lowest = 0, highest = 0;
    support::forEachGamePosition(rng, 60, 200, [&](const reference::Board& board, bool white, const auto&) {
        const Position p = positionOf(board);
        if (p.wm == 0xFFF00000u && p.bm == 0x00000FFFu) refresh(before = p, parent);  // a new game
        update(parent, before, p, child);
        refresh(p, fresh);
        ASSERT_EQ(std::memcmp(&child, &fresh, sizeof fresh), 0) << "ply with white " << white;
        inPlace = parent;
        update(inPlace, before, p, inPlace);
        ASSERT_EQ(std::memcmp(&inPlace, &fresh, sizeof fresh), 0);
        const int score = evaluate(fresh, white);
        lowest = std::min(lowest, score);
        highest = std::max(highest, score);
        before = p;
        parent = child;
    });
    EXPECT_LT(lowest, -50);
    EXPECT_GT(highest, 50);
}

// The board turned with the colours swapped and the other side to move is
// the same game: the same score. Wide and narrow instructions agree.
TEST_F(LearnedNetwork, ColourReversedTwinsScoreAlikeEitherWay) {
    std::mt19937 rng(5);
    for (int i = 0; i < 2000; ++i) {
        const reference::Board board = support::randomPlacement(rng, 0.4, 0.3);
        Accumulator a, b;
        refresh(positionOf(board), a);
        refresh(positionOf(reference::colourReversed(board)), b);
        for (int white = 0; white < 2; ++white) {
            ASSERT_EQ(evaluate(a, white), evaluate(b, !white)) << i;
            ASSERT_EQ(evaluateWith(a, white, true), evaluateWith(a, white, false)) << i;
        }
    }
}

// A file of another shape or size is refused and the weights kept.
TEST_F(LearnedNetwork, LoaderRefusesOtherFilesAndKeepsItsWeights) {
    Accumulator acc;
    refresh(Position{0, 0x00F00000u, 0, 0x00000F0Fu, 0x80000000u, 0, 0, 0}, acc);
    const int score = evaluate(acc, 1);
    const std::vector<uint8_t> good = randomWeightsFile(9);
    // Magic, shape, a layer-2 weight of 2^15 - 1, the output bias's top byte.
    const std::pair<size_t, uint8_t> changes[] = {{0, 'X'}, {4, HIDDEN + 1}, {8, LAYER2 - 1},
                                                 {12 + 2 * (FEATURES + 1) * HIDDEN + 1, 0x7F},
                                                 {NETWORK_FILE_SIZE - 1, 0x7F}};
    for (const auto& [at, value] : changes) {
        std::vector<uint8_t> file = good;
        file[at] = value;
        EXPECT_FALSE(loadWeights(file.data(), file.size())) << at;
    }
    EXPECT_FALSE(loadWeights(good.data(), good.size() - 1));
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_FALSE(loadWeights(longer.data(), longer.size()));
    refresh(Position{0, 0x00F00000u, 0, 0x00000F0Fu, 0x80000000u, 0, 0, 0}, acc);
    EXPECT_EQ(evaluate(acc, 1), score);
}

}  // namespace
}  // namespace tarnvel::v2::network
