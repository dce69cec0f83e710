// makeMove on hand-built records and along long random games, where the
// engine's position must track the reference model move for move.
#include <gtest/gtest.h>

#include <initializer_list>
#include <random>

#include "board/movestack.h"
#include "board/position.h"
#include "interface/history.h"
#include "interface/postext.h"
#include "support/board_fixtures.h"

namespace tarnvel {
namespace {

Bitboard bits(std::initializer_list<int> squares) {
    Bitboard b = 0;
    for (int s : squares) b |= Bitboard{1} << s;
    return b;
}

class MakeMove : public ::testing::Test {
protected:
    void SetUp() override { gameHistory.length = 0; }

    // Places the pieces (bit indices) with the key for White to move and
    // makes the record stored at entry 100.
    void makeFrom(Bitboard wm, Bitboard wk, Bitboard bm, Bitboard bk, uint32_t flags, Bitboard to,
                  Bitboard cleared, int whiteToMove = 1) {
        position = Position{0, wm, wk, bm, bk, static_cast<uint32_t>(popCount(wm | wk)),
                            static_cast<uint32_t>(popCount(bm | bk)), 7};
        position.key = keyFromScratch(position, whiteToMove);
        before = position;
        moveStack.flags[100] = flags;
        moveStack.to[100] = to;
        moveStack.cleared[100] = cleared;
        makeMove(100);
        EXPECT_EQ(position.key, keyFromScratch(position, !whiteToMove));
        ASSERT_EQ(gameHistory.length, 1u);
        EXPECT_EQ(gameHistory.keys[0], before.key);
    }

    Position before{};
};

TEST_F(MakeMove, WorkedExampleManCapture) {
    makeFrom(bits({26}), bits({9}), bits({13, 14, 21, 22}), 0, 0x102, bits({10}), bits({13, 21, 26}));
    EXPECT_EQ(position.wm, bits({10}));
    EXPECT_EQ(position.bm, bits({14, 22}));
    EXPECT_EQ(position.wk, before.wk);
    EXPECT_EQ(position.bk, 0u);
    EXPECT_EQ(position.bcount, 2u);
    EXPECT_EQ(position.wcount, 2u);
    EXPECT_EQ(position.reversiblePlies, 0u);
    EXPECT_EQ(position.key, before.key ^ SIDE_TO_MOVE_KEY ^ pieceKey(26, WHITE_MAN) ^
                                pieceKey(10, WHITE_MAN) ^ pieceKey(13, BLACK_MAN) ^
                                pieceKey(21, BLACK_MAN));
}

TEST_F(MakeMove, WorkedExampleKingStepIsReversible) {
    makeFrom(bits({26}), bits({9}), bits({13, 14, 21, 22}), 0, 0x200, bits({12}), bits({9}));
    EXPECT_EQ(position.wk, bits({12}));
    EXPECT_EQ(position.wm, before.wm);
    EXPECT_EQ(position.bm, before.bm);
    EXPECT_EQ(position.reversiblePlies, 8u);
    EXPECT_EQ(position.key,
              before.key ^ SIDE_TO_MOVE_KEY ^ pieceKey(9, WHITE_KING) ^ pieceKey(12, WHITE_KING));
}

TEST_F(MakeMove, WhiteManCrownsWithoutCapture) {
    makeFrom(bits({5, 20}), 0, bits({30}), 0, 0x100, bits({1}), bits({5}));
    EXPECT_EQ(position.wm, bits({20}));
    EXPECT_EQ(position.wk, bits({1}));
    EXPECT_EQ(position.wcount, 2u);
    EXPECT_EQ(position.reversiblePlies, 0u);
    EXPECT_EQ(position.key,
              before.key ^ SIDE_TO_MOVE_KEY ^ pieceKey(5, WHITE_MAN) ^ pieceKey(1, WHITE_KING));
}

TEST_F(MakeMove, BlackManCrownedByCapture) {
    makeFrom(bits({26, 27}), 0, bits({21}), 0, 0x401, bits({30}), bits({21, 26}), 0);
    EXPECT_EQ(position.bm, 0u);
    EXPECT_EQ(position.bk, bits({30}));
    EXPECT_EQ(position.wm, bits({27}));
    EXPECT_EQ(position.wcount, 1u);
    EXPECT_EQ(position.bcount, 1u);
    EXPECT_EQ(position.reversiblePlies, 0u);
}

TEST_F(MakeMove, KingCaptureEndingOnItsOrigin) {
    makeFrom(0, bits({9}), bits({12, 13, 20, 21}), 0, 0x204, bits({9}), bits({9, 12, 13, 20, 21}));
    EXPECT_EQ(position.wk, bits({9}));
    EXPECT_EQ(position.bm, 0u);
    EXPECT_EQ(position.bcount, 0u);
    EXPECT_EQ(position.reversiblePlies, 0u);
    EXPECT_EQ(position.key, before.key ^ SIDE_TO_MOVE_KEY ^ pieceKey(12, BLACK_MAN) ^
                                pieceKey(13, BLACK_MAN) ^ pieceKey(20, BLACK_MAN) ^
                                pieceKey(21, BLACK_MAN));
}

TEST_F(MakeMove, BlackKingCaptureTakesKingsAndMen) {
    makeFrom(bits({26}), bits({27}), 0, bits({21}), 0x802, bits({23}), bits({21, 26, 27}), 0);
    EXPECT_EQ(position.wm | position.wk, 0u);
    EXPECT_EQ(position.bk, bits({23}));
    EXPECT_EQ(position.wcount, 0u);
    EXPECT_EQ(position.reversiblePlies, 0u);
}

// Along random games the engine, moving only with makeMove from its own
// lists, must stay equal to the reference board, and its key, counts,
// reversible-ply count and history must follow the rules at every ply.
TEST_F(MakeMove, TracksReferenceOverRandomGames) {
    std::mt19937 rng(99);
    int kingMoves = 0, captures = 0;
    for (int game = 0; game < 300 && !HasFailure(); ++game) {
        reference::Board board = support::initialBoard();
        bool white = false;
        support::loadEngine(board, white);
        gameHistory.length = 0;
        for (uint32_t ply = 0; ply < 250; ++ply) {
            const std::vector<reference::Record> records = support::engineRecords(white, ply % 60);
            const std::vector<reference::Move> moves = reference::legalMoves(board, white);
            ASSERT_EQ(records.size(), moves.size()) << positionText(position, white);
            if (moves.empty()) break;
            const uint32_t pick = rng() % records.size();
            const reference::Record chosen = records[pick];
            const reference::Move* move = nullptr;
            for (const reference::Move& m : moves)
                if (reference::toRecord(board, m) == chosen) move = &m;
            ASSERT_NE(move, nullptr) << positionText(position, white);

            const Position old = position;
            const bool reversible = (chosen.flags & 0xA00) && !(chosen.flags & 0xFF);
            kingMoves += reversible;
            captures += (chosen.flags & 0xFF) != 0;
            makeMove(plyBase + pick);
            board = reference::play(board, *move);
            white = !white;

            const reference::Bitboards sets = reference::bitboardsOf(board);
            ASSERT_EQ((reference::Bitboards{position.wm, position.wk, position.bm, position.bk}), sets)
                << positionText(old, !white) << " then record " << pick;
            ASSERT_EQ(position.key, keyFromScratch(position, white));
            ASSERT_EQ(position.wcount, static_cast<uint32_t>(std::popcount(sets.wm | sets.wk)));
            ASSERT_EQ(position.bcount, static_cast<uint32_t>(std::popcount(sets.bm | sets.bk)));
            ASSERT_EQ(position.reversiblePlies, reversible ? old.reversiblePlies + 1 : 0u);
            ASSERT_EQ(gameHistory.length, ply + 1);
            ASSERT_EQ(gameHistory.keys[ply], old.key);
        }
    }
    EXPECT_GT(kingMoves, 5000);
    EXPECT_GT(captures, 3000);
}

}  // namespace
}  // namespace tarnvel
