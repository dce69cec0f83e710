#include "v13/search/smallending.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <utility>
#include <vector>

#include "board/position.h"
#include "v13/search/score.h"
#include "support/board_fixtures.h"

namespace tarnvel {
namespace {

using reference::Board;
using enum reference::Cell;

// Every placement of the six endings (1 v 1 of any kinds, king v two kings), both sides.
template <typename Visit>
void forEachEnding(Visit visit) {
    const int kinds[][3] = {{WHITE_KING, BLACK_KING, EMPTY}, {WHITE_KING, BLACK_MAN, EMPTY},
                            {WHITE_MAN, BLACK_KING, EMPTY},  {WHITE_MAN, BLACK_MAN, EMPTY},
                            {WHITE_KING, BLACK_KING, BLACK_KING}, {BLACK_KING, WHITE_KING, WHITE_KING}};
    for (const auto& k : kinds)
        for (int a = 0; a < 32; ++a)
            for (int b = 0; b < 32; ++b)
                for (int c = k[2] == EMPTY ? 0 : b + 1; c < 32; c += k[2] == EMPTY ? 32 : 1) {
                    if (a == b || (k[2] != EMPTY && a == c)) continue;
                    uint32_t sets[5] = {};
                    sets[k[0]] |= 1u << a;
                    sets[k[1]] |= 1u << b;
                    sets[k[2]] |= 1u << c;
                    const Board board = reference::boardOf({sets[1], sets[2], sets[3], sets[4]});
                    for (const bool white : {true, false}) visit(board, white);
                }
}

constexpr int LOST = -1000;  // results: +d won in d plies, LOST − d lost in d plies, 0 drawn
using Key = std::array<uint32_t, 5>;

Key keyOf(const Board& board, bool white) {
    const reference::Bitboards s = reference::bitboardsOf(board);
    return {s.wm, s.wk, s.bm, s.bk, white};
}

// Independent solver: at pass d, won if a child is lost in d − 1, lost if all are won sooner.
std::map<Key, int> solveEndings() {
    std::map<Key, int> index;
    std::vector<std::pair<Board, bool>> nodes;  // the board and White to move
    forEachEnding([&](const Board& board, bool white) {
        const reference::Bitboards s = reference::bitboardsOf(board);
        if ((s.wm & 0xF) || (s.bm >> 28)) return;  // a man on its crowning row
        index.emplace(keyOf(board, white), static_cast<int>(nodes.size()));
        nodes.emplace_back(board, white);
    });
    const size_t n = nodes.size();
    std::vector<int> result(n, 0);  // 0 while undecided, and for draws at the end
    std::vector<std::vector<int>> children(n);  // −1: the mover took the last piece
    for (size_t i = 0; i < n; ++i) {
        const auto& [board, white] = nodes[i];
        for (const reference::Move& m : reference::legalMoves(board, white)) {
            const auto it = index.find(keyOf(reference::play(board, m), !white));
            children[i].push_back(it == index.end() ? -1 : it->second);
        }
        if (children[i].empty()) result[i] = LOST;
    }
    for (int d = 1, any = 1; any; ++d) {
        any = 0;
        for (size_t i = 0; i < n; ++i) {
            bool win = false, allWon = true;
            for (int c : children[i]) {
                win |= c < 0 ? d == 1 : result[c] == LOST - (d - 1);
                allWon &= c >= 0 && result[c] > 0 && result[c] <= d - 1;
            }
            if (result[i] != 0 || (!win && !allWon)) continue;
            result[i] = win ? d : LOST - d;
            any = 1;
        }
    }
    for (auto& [key, at] : index) at = result[at];
    return index;
}

// Every position (twins included) against the solver; other crowning-row men have no table.
TEST(SmallEndingScore, EveryPositionAgreesWithASolver) {
    const std::map<Key, int> solved = solveEndings();
    int checked = 0;
    forEachEnding([&](const Board& board, bool white) {
        if (::testing::Test::HasFailure()) return;
        const auto it = solved.find(keyOf(board, white));
        // Man against man with only the mover's man on its crowning row: the table's draw.
        const reference::Bitboards s = reference::bitboardsOf(board);
        const bool whiteCrowned = s.wm & 0xF, blackCrowned = s.bm >> 28;
        const bool ownManCrowned = s.wm && s.bm && (white ? whiteCrowned && !blackCrowned : blackCrowned && !whiteCrowned);
        const bool inTable = it != solved.end() || ownManCrowned;
        const int r = it != solved.end() ? it->second : 0;
        const uint32_t ply = checked % 40;
        int score = 12345;
        support::loadEngine(board, white);
        ASSERT_EQ(smallEndingScore(white, ply, &score), inTable) << checked;
        if (!inTable) return;
        const int expected = r > 0 ? SCORE_GAMEOVER - static_cast<int>(ply) - r
                             : r <= LOST ? static_cast<int>(ply) + (LOST - r) - SCORE_GAMEOVER
                                         : 0;
        ASSERT_EQ(score, expected) << checked;
        ++checked;
    });
    EXPECT_GT(checked, 60000);
}

}  // namespace
}  // namespace tarnvel
