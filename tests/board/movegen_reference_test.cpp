// The engine's move lists against the reference model, record for record
// (duplicates included), over positions from random games and random
// placements, and against the colour-reversed twin of each position.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "board/movegen.h"
#include "board/position.h"
#include "interface/postext.h"
#include "support/board_fixtures.h"

namespace tarnvel {
namespace {

using reference::Record;

uint32_t reversedBits(uint32_t b) {
    uint32_t r = 0;
    for (int i = 0; i < 32; ++i)
        if (b & (uint32_t{1} << i)) r |= uint32_t{1} << (31 - i);
    return r;
}

Record colourReversed(const Record& r) {
    const uint32_t kind = r.flags & 0xF00;
    const uint32_t swapped = kind == 0x100 ? 0x400 : kind == 0x200 ? 0x800 : kind == 0x400 ? 0x100 : 0x200;
    return {swapped | (r.flags & 0xFF), reversedBits(r.to), reversedBits(r.cleared)};
}

struct Tally {
    int positions = 0;
    int withKings = 0;
    int multiJumps = 0;
    int duplicates = 0;
    int kingCaptures = 0;
};

// Checks one position both ways round; returns false after the first
// mismatch so a broken generator does not flood the log.
bool agrees(const reference::Board& board, bool white, Tally& tally) {
    const std::vector<Record> expected = support::sorted(reference::legalRecords(board, white));
    support::loadEngine(board, white);
    const std::vector<Record> got = support::sorted(support::engineRecords(white));
    const std::string where = positionText(position, white);
    EXPECT_EQ(got, expected) << where;
    EXPECT_EQ(captureExists(), reference::hasCapture(board, true) || reference::hasCapture(board, false))
        << where;

    std::vector<Record> mirrored;
    for (const Record& r : expected) mirrored.push_back(colourReversed(r));
    support::loadEngine(reference::colourReversed(board), !white);
    EXPECT_EQ(support::sorted(support::engineRecords(!white)), support::sorted(mirrored))
        << "twin of " << where;

    ++tally.positions;
    if (position.wk | position.bk) ++tally.withKings;
    for (const Record& r : expected) {
        if ((r.flags & 0xFF) >= 2) ++tally.multiJumps;
        if ((r.flags & 0xFF) && (r.flags & 0xA00)) ++tally.kingCaptures;
    }
    std::vector<Record> distinct = expected;
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    tally.duplicates += static_cast<int>(expected.size() - distinct.size());
    return !::testing::Test::HasFailure();
}

TEST(MovegenReference, RandomGames) {
    std::mt19937 rng(20240611);
    Tally tally;
    bool ok = true;
    support::forEachGamePosition(rng, 600, 200, [&](const reference::Board& board, bool white,
                                                    const std::vector<reference::Move>&) {
        if (ok) ok = agrees(board, white, tally);
    });
    EXPECT_GT(tally.positions, 36000);
    EXPECT_GT(tally.withKings, 20000);
    EXPECT_GT(tally.multiJumps, 1200);
    EXPECT_GT(tally.kingCaptures, 1200);
}

TEST(MovegenReference, RandomPlacements) {
    std::mt19937 rng(7);
    Tally tally;
    for (int i = 0; i < 40000 && !HasFailure(); ++i) {
        const double fill = 0.15 + 0.7 * (i % 10) / 9.0;
        const double kingShare = (i / 10 % 5) / 4.0;
        agrees(support::randomPlacement(rng, fill, kingShare), i & 1, tally);
    }
    EXPECT_GT(tally.multiJumps, 6000);
    EXPECT_GT(tally.duplicates, 40);
}

// Every square holds a king of each colour, with the rest of the board
// random: the edge and corner entries of the direction tables all get used.
TEST(MovegenReference, KingOnEverySquare) {
    std::mt19937 rng(11);
    Tally tally;
    for (int bit = 0; bit < 32 && !HasFailure(); ++bit)
        for (int piece : {reference::WHITE_KING, reference::BLACK_KING, reference::WHITE_MAN,
                          reference::BLACK_MAN})
            for (int i = 0; i < 60; ++i) {
                reference::Board board = support::randomPlacement(rng, 0.3 + 0.1 * (i % 5), 0.3);
                const reference::Square s = reference::squareOfBit(bit);
                board.cell[s.column][s.row] = piece;
                const bool white = piece == reference::WHITE_KING || piece == reference::WHITE_MAN;
                agrees(board, white, tally);
            }
    EXPECT_GT(tally.kingCaptures, 1000);
}

}  // namespace
}  // namespace tarnvel
