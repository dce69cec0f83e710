#include "v2/search/known_win.h"

#include <algorithm>
#include <cstdlib>

#include "board/squares.h"
#include "v2/search/score.h"

namespace tarnvel::v2 {

namespace {

constexpr int PROGRESS_BASE = 1000;
constexpr int PER_LOSER_PIECE = 150;  // captures and exchanges bring the win home
constexpr int PER_WINNER_KING = 30;   // so does crowning
constexpr int PER_MAN_ROW = 4;        // and men marching to be crowned
constexpr int PER_KING_DISTANCE = 3;  // kings close in on what is left
constexpr int PER_IDLE_PLY = 2;       // progress before the 100-ply rule
constexpr int PROGRESS_MAX = 1999;

// Rows a man still has to go (0 when crowned).
int rowsToGo(Bitboard men, bool white) {
    int rows = 0;
    for (; men; men &= men - 1) {
        const int row = rowOf(lowestBit(men));
        rows += white ? row : 7 - row;
    }
    return rows;
}

int distance(int a, int b) {
    return std::max(std::abs(rowOf(a) - rowOf(b)), std::abs(columnOf(a) - columnOf(b)));
}

// For each winning king, how far the nearest losing piece is.
int kingDistances(Bitboard kings, Bitboard targets) {
    int total = 0;
    for (; kings; kings &= kings - 1) {
        int nearest = 8;
        for (Bitboard t = targets; t; t &= t - 1)
            nearest = std::min(nearest, distance(lowestBit(kings), lowestBit(t)));
        total += nearest;
    }
    return total;
}

}  // namespace

int knownWinScore(const Position& p, bool whiteWins) {
    const Bitboard winMen = whiteWins ? p.wm : p.bm;
    const Bitboard winKings = whiteWins ? p.wk : p.bk;
    const Bitboard loser = whiteWins ? p.bm | p.bk : p.wm | p.wk;
    int progress = PROGRESS_BASE - PER_LOSER_PIECE * popCount(loser) +
                   PER_WINNER_KING * popCount(winKings) - PER_MAN_ROW * rowsToGo(winMen, whiteWins) -
                   PER_KING_DISTANCE * kingDistances(winKings, loser) -
                   PER_IDLE_PLY * static_cast<int>(p.reversiblePlies);
    progress = std::clamp(progress, 0, PROGRESS_MAX);
    return SCORE_KNOWN_WIN + progress;
}

}  // namespace tarnvel::v2
