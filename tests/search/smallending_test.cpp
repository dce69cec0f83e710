#include "search/smallending.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <vector>

#include "board/position.h"
#include "search/score.h"
#include "support/board_fixtures.h"

namespace tarnvel {
namespace {

using reference::Board;

// Calls visit(board, whiteToMove) for every placement of the six endings
// (king or man against king or man, a lone king against two kings), men on
// their crowning row included.
template <typename Visit>
void forEachEnding(Visit visit) {
    using enum reference::Cell;
    const int kinds[][3] = {{WHITE_KING, BLACK_KING, EMPTY}, {WHITE_KING, BLACK_MAN, EMPTY},
                            {WHITE_MAN, BLACK_KING, EMPTY},  {WHITE_MAN, BLACK_MAN, EMPTY},
                            {WHITE_KING, BLACK_KING, BLACK_KING}, {BLACK_KING, WHITE_KING, WHITE_KING}};
    for (const auto& k : kinds)
        for (int a = 0; a < 32; ++a)
            for (int b = 0; b < 32; ++b)
                for (int c = k[2] == EMPTY ? -1 : b + 1; c < (k[2] == EMPTY ? 0 : 32); ++c) {
                    if (a == b || a == c) continue;
                    Board board;
                    const int at[3] = {a, b, c};
                    for (int i = 0; i < 3 && at[i] >= 0; ++i) {
                        const reference::Square s = reference::squareOfBit(at[i]);
                        board.cell[s.column][s.row] = k[i];
                    }
                    visit(board, true);
                    visit(board, false);
                }
}

// An independent solver of the six endings over the reference rules.
// Results from the side to move's view: +d won in d plies, LOST − d lost
// in d plies, 0 drawn.
constexpr int LOST = -1000;
using Key = std::array<uint32_t, 5>;

Key keyOf(const Board& board, bool white) {
    const reference::Bitboards s = reference::bitboardsOf(board);
    return {s.wm, s.wk, s.bm, s.bk, white};
}

bool manOnCrowningRow(const Board& board) {
    for (int c = 0; c < 8; ++c)
        if (board.cell[c][0] == reference::WHITE_MAN || board.cell[c][7] == reference::BLACK_MAN) return true;
    return false;
}

class Solver {
public:
    Solver() {
        forEachEnding([&](const Board& board, bool white) {
            if (manOnCrowningRow(board)) return;
            index_.emplace(keyOf(board, white), static_cast<int>(boards_.size()));
            boards_.push_back(board);
            sides_.push_back(white);
        });
        const size_t n = boards_.size();
        result_.assign(n, 0);
        std::vector<std::vector<int>> children(n);  // −1: the mover took the last piece
        std::vector<bool> open(n, true);
        for (size_t i = 0; i < n; ++i) {
            for (const reference::Move& m : reference::legalMoves(boards_[i], sides_[i])) {
                const Board next = reference::play(boards_[i], m);
                const reference::Bitboards s = reference::bitboardsOf(next);
                const auto it = index_.find(keyOf(next, !sides_[i]));
                EXPECT_TRUE(it != index_.end() || !(s.wm | s.wk) || !(s.bm | s.bk)) << "a move left the endings";
                children[i].push_back(it == index_.end() ? -1 : it->second);
            }
            if (children[i].empty()) result_[i] = LOST, open[i] = false;
        }
        // Pass d: won if a child is lost in d − 1, lost if every child is won
        // in at most d − 1.
        for (int d = 1, any = 1; any; ++d) {
            any = 0;
            std::vector<int> closed;
            for (size_t i = 0; i < n; ++i) {
                if (!open[i]) continue;
                bool win = false, allWon = true;
                for (int c : children[i]) {
                    if (c < 0 ? d == 1 : !open[c] && result_[c] == LOST - (d - 1)) win = true;
                    if (c < 0 || open[c] || result_[c] <= 0 || result_[c] > d - 1) allWon = false;
                }
                if (!win && !allWon) continue;
                result_[i] = win ? d : LOST - d;
                closed.push_back(static_cast<int>(i));
                any = 1;
            }
            for (int i : closed) open[i] = false;
        }
    }

    bool result(const Board& board, bool white, int* r) const {
        const auto it = index_.find(keyOf(board, white));
        if (it != index_.end()) *r = result_[it->second];
        return it != index_.end();
    }

private:
    std::map<Key, int> index_;
    std::vector<Board> boards_;
    std::vector<bool> sides_;
    std::vector<int> result_;
};

// Every position of the six endings, through the lookup's frames, against
// the solver; and its colour-reversed twin, which must score the same.
TEST(SmallEndingScore, EveryPositionAndItsTwinAgreeWithASolver) {
    const Solver solver;
    int checked = 0;
    forEachEnding([&](const Board& board, bool white) {
        if (::testing::Test::HasFailure()) return;
        int r = 0;
        const bool inTable = solver.result(board, white, &r);
        const uint32_t ply = checked % 40;
        int score = 12345, twinScore = 54321;
        support::loadEngine(board, white);
        ASSERT_EQ(smallEndingScore(white, ply, &score), inTable) << checked;
        support::loadEngine(reference::colourReversed(board), !white);
        ASSERT_EQ(smallEndingScore(!white, ply, &twinScore), inTable) << checked;
        if (!inTable) return;  // a man on its crowning row
        const int expected = r > 0 ? SCORE_GAMEOVER - static_cast<int>(ply) - r
                             : r <= LOST ? static_cast<int>(ply) + (LOST - r) - SCORE_GAMEOVER
                                         : 0;
        ASSERT_EQ(score, expected) << checked;
        ASSERT_EQ(twinScore, score) << checked;
        ++checked;
    });
    EXPECT_GT(checked, 60000);
}

TEST(SmallEndingScore, OtherMaterialHasNoTable) {
    for (const char* text : {"W:WK9:BK20,24.", "B:WK9,20:BK24.", "W:WK1,K2,K3:BK30.", "W:WK9,K20,K24.",
                             "W:WK9,K20.", "B:WK9.", "W:W:B."}) {
        support::loadText(text);
        int score = 777;
        EXPECT_FALSE(smallEndingScore(1, 3, &score)) << text;
        EXPECT_FALSE(smallEndingScore(0, 3, &score)) << text;
        EXPECT_EQ(score, 777);
    }
}

}  // namespace
}  // namespace tarnvel
