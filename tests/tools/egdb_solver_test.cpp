// The results tarnvel-egdb writes, read back through the engine's probe,
// against a separate solver written here: value iteration to a fixpoint
// over every material of up to four pieces, both colours (the builder
// solves one colour, counting back from the end).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "board/movegen.h"
#include "board/movestack.h"
#include "board/position.h"
#include "egdb/database.h"
#include "interface/history.h"
#include "support/built_database.h"

namespace tarnvel {
namespace {

enum : uint8_t { UNKNOWN = 0, WIN = 1, LOSS = 2, DRAW = 3 };

struct Pieces {
    Bitboard wm, wk, bm, bk;
};

struct Counts {
    int n[4];  // black men, black kings, white men, white kings
    int pieces() const { return n[0] + n[1] + n[2] + n[3]; }
    int id() const { return ((n[0] * 4 + n[1]) * 4 + n[2]) * 4 + n[3]; }
};

Counts countsOf(const Pieces& p) { return {{popCount(p.bm), popCount(p.bk), popCount(p.wm), popCount(p.wk)}}; }

// Squares in group order as base-32 digits; times two, plus the side.
uint32_t slotOf(const Pieces& p, int white) {
    uint32_t key = 0;
    for (Bitboard group : {p.bm, p.bk, p.wm, p.wk})
        for (; group; group &= group - 1) key = key * 32 + lowestBit(group);
    return 2 * key + white;
}

// Every placement of the counts, men never on their crowning row.
template <typename Visit>
void forEachPlacement(const Counts& c, Visit visit, int g = 0, int left = -1, int from = 0, Bitboard taken = 0,
                      Pieces p = {}) {
    if (left < 0) left = c.n[g];
    if (left == 0) {
        if (g == 3) visit(p);
        else forEachPlacement(c, visit, g + 1, -1, 0, taken, p);
        return;
    }
    Bitboard* sets[4] = {&p.bm, &p.bk, &p.wm, &p.wk};
    for (int s = from; s < 32; ++s) {
        const Bitboard b = bitOf(s);
        if ((b & taken) || (g == 0 && (b & ROW_7)) || (g == 2 && (b & ROW_0))) continue;
        *sets[g] |= b;
        forEachPlacement(c, visit, g, left - 1, s + 1, taken | b, p);
        *sets[g] &= ~b;
    }
}

void load(const Pieces& p) {
    position = Position{0, p.wm, p.wk, p.bm, p.bk, static_cast<uint32_t>(popCount(p.wm | p.wk)),
                        static_cast<uint32_t>(popCount(p.bm | p.bk)), 0};
}

// The positions after each legal move (the generator is checked against
// the reference rules elsewhere).
std::vector<Pieces> successorsOf(const Pieces& p, int white) {
    load(p);
    plyBase = 0;
    moveCount = 0;
    const Bitboard empty = ~(p.wm | p.wk | p.bm | p.bk);
    if (!generateCaptures(white, empty)) generateNonCaptures(white, empty);
    const Position before = position;
    std::vector<Pieces> after;
    for (uint32_t i = 0; i < moveCount; ++i) {
        makeMove(i);
        after.push_back({position.wm, position.wk, position.bm, position.bk});
        position = before;
        gameHistory.length = 0;
    }
    return after;
}

// Materials with both sides present, at most 3 a side, each after those
// its captures and crownings lead to.
std::vector<Counts> materialsUpTo(int maxPieces) {
    std::vector<Counts> order;
    for (int id = 0; id < 256; ++id) {
        const Counts c{{id >> 6, id >> 4 & 3, id >> 2 & 3, id & 3}};
        const int black = c.n[0] + c.n[1], white = c.n[2] + c.n[3];
        if (black && white && black <= 3 && white <= 3 && c.pieces() <= maxPieces) order.push_back(c);
    }
    std::stable_sort(order.begin(), order.end(), [](const Counts& a, const Counts& b) {
        return a.pieces() != b.pieces() ? a.pieces() < b.pieces() : a.n[0] + a.n[2] < b.n[0] + b.n[2];
    });
    return order;
}

class ReferenceSolver {
public:
    explicit ReferenceSolver(int maxPieces) {
        for (const Counts& c : materialsUpTo(maxPieces)) solve(c);
    }
    uint8_t value(const Pieces& p, int white) const {
        const Counts c = countsOf(p);
        if ((white ? c.n[2] + c.n[3] : c.n[0] + c.n[1]) == 0) return LOSS;
        return values_.at(c.id())[slotOf(p, white)];
    }

private:
    struct Node {
        uint32_t slot, firstEdge, endEdge;  // successors inside the material
        bool winsOutside, drawsOutside;     // a move out of the material wins / draws
    };

    void solve(const Counts& c) {
        std::vector<uint8_t>& v = values_[c.id()];
        v.assign(2u << (5 * c.pieces()), UNKNOWN);
        std::vector<Node> nodes;
        std::vector<uint32_t> edges;
        forEachPlacement(c, [&](const Pieces& p) {
            for (int white = 0; white < 2; ++white) {
                Node n{slotOf(p, white), static_cast<uint32_t>(edges.size()), 0, false, false};
                for (const Pieces& q : successorsOf(p, white)) {
                    if (countsOf(q).id() == c.id()) {
                        edges.push_back(slotOf(q, !white));
                    } else {
                        n.winsOutside |= value(q, !white) == LOSS;
                        n.drawsOutside |= value(q, !white) == DRAW;
                    }
                }
                n.endEdge = static_cast<uint32_t>(edges.size());
                nodes.push_back(n);
            }
        });
        for (bool changed = true; changed;) {
            changed = false;
            for (const Node& n : nodes) {
                if (v[n.slot] != UNKNOWN) continue;
                bool reachesLoss = n.winsOutside, allWin = !n.drawsOutside;
                for (uint32_t e = n.firstEdge; e < n.endEdge; ++e) {
                    reachesLoss |= v[edges[e]] == LOSS;
                    allWin &= v[edges[e]] == WIN;
                }
                if (reachesLoss || allWin) {
                    v[n.slot] = reachesLoss ? WIN : LOSS;
                    changed = true;
                }
            }
        }
        for (const Node& n : nodes)
            if (v[n.slot] == UNKNOWN) v[n.slot] = DRAW;
    }

    std::map<int, std::vector<uint8_t>> values_;
};

TEST(BuiltDatabase, AgreesWithAnIndependentSolverUpToFourPieces) {
    const std::filesystem::path dir = testing::builtDatabase(4);
    ASSERT_FALSE(dir.empty());
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    char text[1024] = "";
    ASSERT_EQ(openDatabase(64, text), 4);
    std::filesystem::current_path(previous);
    const ReferenceSolver reference(4);
    uint64_t wrong = 0, tally[4] = {};
    for (const Counts& c : materialsUpTo(4))
        forEachPlacement(c, [&](const Pieces& p) {
            load(p);
            if (captureExists()) return;
            for (int white = 0; white < 2; ++white) {
                const uint8_t expected = reference.value(p, white);
                const DbQuery q{p.bm, p.bk, p.wm, p.wk, white ? 1u : 2u};
                const int32_t got = probeDatabase(&q, 0);
                ++tally[expected];
                if (got != expected && ++wrong <= 10)
                    ADD_FAILURE() << "bm " << p.bm << " bk " << p.bk << " wm " << p.wm << " wk " << p.wk
                                  << (white ? " white" : " black") << " to move: database " << got << ", reference "
                                  << int(expected);
            }
        });
    closeDatabase();
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(tally[UNKNOWN], 0u);
    EXPECT_GT(tally[WIN], 0u);
    EXPECT_GT(tally[LOSS], 0u);
    EXPECT_GT(tally[DRAW], 0u);
}

}  // namespace
}  // namespace tarnvel
