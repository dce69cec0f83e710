#include "search/smallending.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "board/position.h"
#include "search/score.h"

namespace tarnvel {
namespace {

// An independent solver of the six endings. It knows the rules only on an
// 8×8 board, [column][row], pieces on the squares with column + row even;
// bit b of the engine is (column 2·(b mod 4) + row mod 2, row b div 4).
enum Piece : int { EMPTY, WM, WK, BM, BK };

struct Man {
    int bit;
    Piece piece;
};
struct Game {
    std::vector<Man> pieces;  // at most three
    bool whiteToMove;
};

bool isWhite(Piece p) { return p == WM || p == WK; }
int columnOfBit(int b) { return 2 * (b % 4) + (b / 4) % 2; }
bool onBoard(int column, int row) { return column >= 0 && column < 8 && row >= 0 && row < 8; }

// Position after each legal move (captures compulsory, complete sequences
// only, a man stops and crowns on the far row, jumped pieces leave at the
// end and cannot be jumped twice).
struct Grid {
    Piece cell[8][8] = {};
};

void jumpsFrom(Grid& g, int c, int r, Piece mover, std::vector<std::pair<int, int>>& taken,
               std::vector<Grid>& out, const Grid& start, int fromC, int fromR) {
    const bool king = mover == WK || mover == BK;
    const int forward = isWhite(mover) ? -1 : 1;
    bool continued = false;
    const bool crowned = !king && (r == (isWhite(mover) ? 0 : 7)) && !taken.empty();
    if (!crowned) {
        for (int dr : {-1, 1}) {
            if (!king && dr != forward) continue;
            for (int dc : {-1, 1}) {
                const int oc = c + dc, orow = r + dr, lc = c + 2 * dc, lr = r + 2 * dr;
                if (!onBoard(lc, lr)) continue;
                const Piece over = g.cell[oc][orow];
                if (over == EMPTY || isWhite(over) == isWhite(mover)) continue;
                if (std::find(taken.begin(), taken.end(), std::make_pair(oc, orow)) != taken.end())
                    continue;
                if (g.cell[lc][lr] != EMPTY) continue;
                continued = true;
                taken.push_back({oc, orow});
                g.cell[c][r] = EMPTY;
                g.cell[lc][lr] = mover;
                jumpsFrom(g, lc, lr, mover, taken, out, start, fromC, fromR);
                g.cell[lc][lr] = EMPTY;
                g.cell[c][r] = mover;
                taken.pop_back();
            }
        }
    }
    if (!continued && !taken.empty()) {
        Grid after = start;
        after.cell[fromC][fromR] = EMPTY;
        for (auto [tc, tr] : taken) after.cell[tc][tr] = EMPTY;
        Piece landed = mover;
        if (mover == WM && r == 0) landed = WK;
        if (mover == BM && r == 7) landed = BK;
        after.cell[c][r] = landed;
        out.push_back(after);
    }
}

std::vector<Grid> movesOf(const Grid& g, bool whiteToMove) {
    std::vector<Grid> out;
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 8; ++r) {
            const Piece p = g.cell[c][r];
            if (p == EMPTY || isWhite(p) != whiteToMove) continue;
            Grid work = g;
            std::vector<std::pair<int, int>> taken;
            jumpsFrom(work, c, r, p, taken, out, g, c, r);
        }
    if (!out.empty()) return out;
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 8; ++r) {
            const Piece p = g.cell[c][r];
            if (p == EMPTY || isWhite(p) != whiteToMove) continue;
            const bool king = p == WK || p == BK;
            for (int dr : {-1, 1}) {
                if (!king && dr != (whiteToMove ? -1 : 1)) continue;
                for (int dc : {-1, 1}) {
                    if (!onBoard(c + dc, r + dr) || g.cell[c + dc][r + dr] != EMPTY) continue;
                    Grid after = g;
                    after.cell[c][r] = EMPTY;
                    Piece landed = p;
                    if (p == WM && r + dr == 0) landed = WK;
                    if (p == BM && r + dr == 7) landed = BK;
                    after.cell[c + dc][r + dr] = landed;
                    out.push_back(after);
                }
            }
        }
    return out;
}

// A position as a number: side, then each occupied bit with its piece.
uint64_t codeOf(const Grid& g, bool whiteToMove) {
    uint64_t code = whiteToMove;
    for (int b = 0; b < 32; ++b) {
        const Piece p = g.cell[columnOfBit(b)][b / 4];
        if (p != EMPTY) code = code * 160 + 1 + 5 * b + p;
    }
    return code;
}

Grid gridOf(const Game& game) {
    Grid g;
    for (const Man& m : game.pieces) g.cell[columnOfBit(m.bit)][m.bit / 4] = m.piece;
    return g;
}

// Result from the side to move's view: +d won in d plies, −d−1000 lost in
// d plies (so that lost in 0 is distinguishable), 0 drawn.
constexpr int LOST = -1000;

class Solver {
public:
    Solver() {
        // Every legal position of the six endings, both sides to move.
        for (int a = 0; a < 32; ++a)
            for (int b = 0; b < 32; ++b) {
                if (a == b) continue;
                for (int side = 0; side < 2; ++side) {
                    add({{{a, WK}, {b, BK}}, side == 1});
                    add({{{a, WK}, {b, BM}}, side == 1});
                    add({{{a, WM}, {b, BK}}, side == 1});
                    add({{{a, WM}, {b, BM}}, side == 1});
                    for (int c = b + 1; c < 32; ++c) {
                        if (c == a) continue;
                        add({{{a, WK}, {b, BK}, {c, BK}}, side == 1});
                        add({{{a, BK}, {b, WK}, {c, WK}}, side == 1});
                    }
                }
            }
        solve();
    }

    // Result of a position, or nullopt-like 0 with found = false.
    bool result(const Game& game, int* r) const {
        const auto it = index_.find(codeOf(gridOf(game), game.whiteToMove));
        if (it == index_.end()) return false;
        *r = result_[it->second];
        return true;
    }

    int longestWin() const {
        int longest = 0;
        for (int r : result_)
            if (r > 0) longest = std::max(longest, r);
        return longest;
    }

private:
    void add(const Game& game) {
        for (const Man& m : game.pieces)
            if ((m.piece == WM && m.bit < 4) || (m.piece == BM && m.bit >= 28)) return;
        const Grid g = gridOf(game);
        index_.emplace(codeOf(g, game.whiteToMove), static_cast<int>(grids_.size()));
        grids_.push_back(g);
        sides_.push_back(game.whiteToMove);
    }

    void solve() {
        const size_t n = grids_.size();
        result_.assign(n, 0);
        std::vector<std::vector<int>> children(n);  // −1: the mover took the last piece
        std::vector<bool> open(n, true);
        for (size_t i = 0; i < n; ++i) {
            for (const Grid& next : movesOf(grids_[i], sides_[i])) {
                bool white = false, black = false;
                for (auto& column : next.cell)
                    for (Piece p : column)
                        white |= p != EMPTY && isWhite(p), black |= p != EMPTY && !isWhite(p);
                if (!white || !black) {
                    children[i].push_back(-1);
                    continue;
                }
                const auto it = index_.find(codeOf(next, !sides_[i]));
                EXPECT_NE(it, index_.end()) << "a move left the six endings";
                if (it != index_.end()) children[i].push_back(it->second);
            }
            if (children[i].empty()) result_[i] = LOST, open[i] = false;
        }
        // Passes by distance: at pass d a position is won if a child is lost
        // in d − 1, lost if every child is won in at most d − 1.
        for (int d = 1;; ++d) {
            bool any = false;
            for (size_t i = 0; i < n; ++i) {
                if (!open[i]) continue;
                bool win = false, allWon = true;
                for (int c : children[i]) {
                    const int r = c < 0 ? LOST : result_[c];
                    if (c < 0 ? d == 1 : (!open[c] && r <= LOST && LOST - r == d - 1)) win = true;
                    if (c < 0 || open[c] || r <= 0 || r > d - 1) allWon = false;
                }
                if (win) result_[i] = d;
                else if (allWon) result_[i] = LOST - d;
                else continue;
                open[i] = false;
                any = true;
            }
            if (!any) break;
        }
    }

    std::unordered_map<uint64_t, int> index_;
    std::vector<Grid> grids_;
    std::vector<bool> sides_;
    std::vector<int> result_;
};

const Solver& solver() {
    static const Solver s;
    return s;
}

int8_t entryOf(int r) {
    if (r > 0) return static_cast<int8_t>(127 - r);
    if (r <= LOST) return static_cast<int8_t>(-(127 - (LOST - r)));
    return 0;
}

int pair(int a, int b) { return std::min(a, b) + static_cast<int>(pairIndex[std::max(a, b)]); }

// Each table's entries read as positions in the table's own frame.
TEST(SmallEndingTables, AgreeWithIndependentSolver) {
    const Solver& s = solver();
    int r = 0;
    for (int opponent = 0; opponent < 32; ++opponent)
        for (int own = 0; own < 16; ++own) {
            const bool legal = s.result({{{own, WK}, {opponent, BK}}, true}, &r);
            ASSERT_EQ(legal, own != opponent);
            ASSERT_EQ(KingVsKing[16 * opponent + own], legal ? entryOf(r) : 0)
                << own << " " << opponent;
        }
    for (int hi = 1; hi < 32; ++hi)
        for (int lo = 0; lo < hi; ++lo)
            for (int lone = 0; lone < 16; ++lone) {
                const int i = 16 * pair(lo, hi) + lone;
                const bool legal = lone != lo && lone != hi;
                const Game loneToMove{{{lone, WK}, {lo, BK}, {hi, BK}}, true};
                const Game twoToMove{{{lone, BK}, {lo, WK}, {hi, WK}}, true};
                ASSERT_EQ(s.result(loneToMove, &r), legal);
                ASSERT_EQ(LoneKingVsTwoKings[i], legal ? entryOf(r) : 0)
                    << lone << " " << lo << " " << hi;
                ASSERT_EQ(s.result(twoToMove, &r), legal);
                ASSERT_EQ(TwoKingsVsLoneKing[i], legal ? entryOf(r) : 0)
                    << lone << " " << lo << " " << hi;
            }
    // Man tables: the man moves up in the frame, as Black's does.
    for (int man = 0; man < 28; ++man)
        for (int other = 0; other < 32; ++other) {
            const int i = 32 * man + other;
            const bool apart = man != other;
            ASSERT_EQ(s.result({{{other, WK}, {man, BM}}, true}, &r), apart);
            ASSERT_EQ(KingVsMan[i], apart ? entryOf(r) : 0) << man << " " << other;
            ASSERT_EQ(s.result({{{other, WK}, {man, BM}}, false}, &r), apart);
            ASSERT_EQ(ManVsKing[i], apart ? entryOf(r) : 0) << man << " " << other;
            const bool legal = apart && other >= 4;
            ASSERT_EQ(s.result({{{other, WM}, {man, BM}}, true}, &r), legal);
            ASSERT_EQ(ManVsMan[i], legal ? entryOf(r) : 0) << man << " " << other;
        }
}

TEST(SmallEndingTables, ReferenceEntries) {
    EXPECT_EQ(KingVsKing[16 * 4 + 0], 126);
    EXPECT_EQ(KingVsKing[16 * 1 + 0], -125);
    EXPECT_EQ(KingVsKing[16 * 0 + 4], 124);
    EXPECT_EQ(KingVsKing[16 * 31 + 0], 116);
    EXPECT_EQ(LoneKingVsTwoKings[16 * pair(8, 9) + 0], -125);
    EXPECT_EQ(TwoKingsVsLoneKing[16 * pair(8, 9) + 0], 126);
    EXPECT_EQ(LoneKingVsTwoKings[16 * pair(24, 28) + 3], -95);
    EXPECT_EQ(TwoKingsVsLoneKing[16 * pair(24, 28) + 3], 96);
    EXPECT_EQ(KingVsMan[32 * 10 + 14], 126);
    EXPECT_EQ(KingVsMan[32 * 0 + 5], 124);
    EXPECT_EQ(ManVsKing[32 * 26 + 31], 124);
    EXPECT_EQ(ManVsKing[32 * 0 + 5], 0);
    EXPECT_EQ(ManVsMan[32 * 0 + 4], 124);
    EXPECT_EQ(ManVsMan[32 * 10 + 14], 126);
    EXPECT_EQ(ManVsMan[32 * 20 + 31], 0);
    EXPECT_EQ(pairIndex[31], 465u);
}

TEST(SmallEndingTables, LongestTwoKingWinIs33Plies) {
    int8_t smallest = 127;
    for (int8_t v : TwoKingsVsLoneKing)
        if (v > 0) smallest = std::min(smallest, v);
    EXPECT_EQ(smallest, 94);
}

void place(const Game& g) {
    Position& p = position;
    p = Position{};
    for (const Man& m : g.pieces) {
        const Bitboard b = bitOf(m.bit);
        (m.piece == WM ? p.wm : m.piece == WK ? p.wk : m.piece == BM ? p.bm : p.bk) |= b;
        (isWhite(m.piece) ? p.wcount : p.bcount) += 1;
    }
}

int expectedScore(int r, int ply) {
    if (r > 0) return SCORE_GAMEOVER - (ply + r);
    if (r <= LOST) return -(SCORE_GAMEOVER - (ply + (LOST - r)));
    return 0;
}

// Every position of the six endings in its own colours and either side to
// move, through the lookup's frames; and its colour-reversed twin.
TEST(SmallEndingScore, EveryPositionAndItsTwin) {
    const Solver& s = solver();
    const Piece kinds[][3] = {{WK, BK, EMPTY}, {WK, BM, EMPTY}, {WM, BK, EMPTY}, {WM, BM, EMPTY},
                              {WK, BK, BK},    {BK, WK, WK}};
    const Piece swapped[] = {EMPTY, BM, BK, WM, WK};
    const Position saved = position;
    int checked = 0;
    for (const auto& k : kinds)
        for (int a = 0; a < 32; ++a)
            for (int b = 0; b < 32; ++b)
                for (int c = k[2] == EMPTY ? 0 : b + 1; c < (k[2] == EMPTY ? 1 : 32); ++c)
                    for (int side = 0; side < 2; ++side) {
                        if (a == b || (k[2] != EMPTY && (c == a || c == b))) continue;
                        Game g{{{a, k[0]}, {b, k[1]}}, side == 1};
                        if (k[2] != EMPTY) g.pieces.push_back({c, k[2]});
                        Game twin{{}, side == 0};
                        for (const Man& m : g.pieces)
                            twin.pieces.push_back({31 - m.bit, swapped[m.piece]});
                        int r = 0;
                        // The side to move's man on its own crowning row: a draw from the table.
                        const bool ownManCrowned =
                            k[0] == WM && k[1] == BM && (side == 1 ? a < 4 && b < 28 : b >= 28 && a >= 4);
                        const bool inTable = s.result(g, &r) || ownManCrowned;
                        const uint32_t ply = (a + b + c) % 40;
                        int score = 12345, twinScore = 54321;
                        place(g);
                        ASSERT_EQ(smallEndingScore(side, ply, &score), inTable);
                        place(twin);
                        ASSERT_EQ(smallEndingScore(side == 0, ply, &twinScore), inTable);
                        if (!inTable) continue;  // a man on its crowning row
                        ASSERT_EQ(score, expectedScore(r, static_cast<int>(ply)));
                        ASSERT_EQ(twinScore, score);
                        ++checked;
                    }
    position = saved;
    EXPECT_GT(checked, 60000);
}

TEST(SmallEndingScore, OtherMaterialHasNoTable) {
    const Position saved = position;
    const Game others[] = {
        {{{9, WK}, {20, BK}, {24, BM}}, true},           // man among three pieces
        {{{9, WK}, {20, WM}, {24, BK}}, false},
        {{{1, WK}, {2, WK}, {3, WK}, {30, BK}}, true},   // four pieces
        {{{9, WK}, {20, WK}, {24, WK}}, true},           // one side only
        {{{9, WK}, {20, WK}}, true},
        {{{9, WK}}, false},
    };
    int score = 777;
    for (const Game& g : others) {
        place(g);
        EXPECT_FALSE(smallEndingScore(1, 3, &score));
        EXPECT_FALSE(smallEndingScore(0, 3, &score));
    }
    EXPECT_EQ(score, 777);
    position = saved;
}

}  // namespace
}  // namespace tarnvel
