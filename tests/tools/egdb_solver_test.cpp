// The database tarnvel-egdb builds, probed for every quiet position of up to
// four pieces, against a value-iteration solver written here.
#include <algorithm>
#include <map>

#include "board/movegen.h"
#include "board/movestack.h"
#include "board/position.h"
#include "egdb/egdb_support.h"
#include "interface/history.h"
#include "support/built_database.h"

namespace tarnvel {
namespace {

enum : uint8_t { UNKNOWN = 0, WIN = 1, LOSS = 2, DRAW = 3 };

// Black men, black kings, white men, white kings.
int materialOf(const DbQuery& q) {
    return ((std::popcount(q.bm) * 4 + std::popcount(q.bk)) * 4 + std::popcount(q.wm)) * 4 + std::popcount(q.wk);
}

// Squares in group order as base-32 digits; times two, plus White to move.
uint32_t slotOf(const DbQuery& q) {
    uint32_t key = 0;
    for (uint32_t group : {q.bm, q.bk, q.wm, q.wk})
        for (; group; group &= group - 1) key = key * 32 + std::countr_zero(group);
    return 2 * key + (q.side == 1);
}

void load(const DbQuery& q) {
    position = Position{0, q.wm, q.wk, q.bm, q.bk, static_cast<uint32_t>(std::popcount(q.wm | q.wk)),
                        static_cast<uint32_t>(std::popcount(q.bm | q.bk)), 0};
}

// The positions after each legal move (the generator has its own cross-check).
std::vector<DbQuery> successorsOf(const DbQuery& q) {
    load(q);
    plyBase = 0;
    moveCount = 0;
    const int white = q.side == 1;
    const Bitboard empty = ~(q.wm | q.wk | q.bm | q.bk);
    if (!generateCaptures(white, empty)) generateNonCaptures(white, empty);
    const Position before = position;
    std::vector<DbQuery> after;
    for (uint32_t i = 0; i < moveCount; ++i) {
        makeMove(i);
        after.push_back({position.bm, position.bk, position.wm, position.wk, white ? 2u : 1u});
        position = before;
        gameHistory.length = 0;
    }
    return after;
}

// Materials with both sides present, at most 3 a side, each after those
// its captures and crownings lead to.
std::vector<int> materialsUpTo(int maxPieces) {
    std::vector<int> order;
    for (int id = 0; id < 256; ++id) {
        const int black = (id >> 6) + (id >> 4 & 3), white = (id >> 2 & 3) + (id & 3);
        if (black && white && black <= 3 && white <= 3 && black + white <= maxPieces) order.push_back(id);
    }
    std::stable_sort(order.begin(), order.end(), [](int a, int b) {
        const auto pieces = [](int m) { return (m >> 6) + (m >> 4 & 3) + (m >> 2 & 3) + (m & 3); };
        return pieces(a) != pieces(b) ? pieces(a) < pieces(b) : (a >> 6) + (a >> 2 & 3) < (b >> 6) + (b >> 2 & 3);
    });
    return order;
}

// Each material iterated to a fixpoint; what stays open is a draw.
class ReferenceSolver {
public:
    explicit ReferenceSolver(int maxPieces) {
        for (int m : materialsUpTo(maxPieces)) solve(m);
    }
    uint8_t value(const DbQuery& q) const {
        return (q.side == 1 ? q.wm | q.wk : q.bm | q.bk) == 0 ? uint8_t{LOSS} : values_.at(materialOf(q))[slotOf(q)];
    }

private:
    struct Node {
        uint32_t slot, firstEdge, endEdge;  // successors inside the material
        bool winsOutside, drawsOutside;     // a move out of the material wins / draws
    };
    void solve(int m) {
        std::vector<uint8_t>& v = values_[m];
        v.assign(size_t{2} << (5 * ((m >> 6) + (m >> 4 & 3) + (m >> 2 & 3) + (m & 3))), UNKNOWN);
        std::vector<Node> nodes;
        std::vector<uint32_t> edges;
        testing::forEachPosition(m >> 6, m >> 4 & 3, m >> 2 & 3, m & 3, [&](const DbQuery& q) {
            Node n{slotOf(q), static_cast<uint32_t>(edges.size()), 0, false, false};
            for (const DbQuery& next : successorsOf(q)) {
                if (materialOf(next) == m) {
                    edges.push_back(slotOf(next));
                } else {
                    n.winsOutside |= value(next) == LOSS;
                    n.drawsOutside |= value(next) == DRAW;
                }
            }
            n.endEdge = static_cast<uint32_t>(edges.size());
            nodes.push_back(n);
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
    const std::filesystem::path dir = testing::builtDatabase(4), previous = std::filesystem::current_path();
    ASSERT_FALSE(dir.empty());
    std::filesystem::current_path(dir);
    char text[TARNVEL_TEXT_CAPACITY] = "";
    ASSERT_EQ(openDatabase(64, text), 4);
    std::filesystem::current_path(previous);
    const ReferenceSolver reference(4);
    uint64_t wrong = 0, tally[4] = {};
    for (int m : materialsUpTo(4))
        testing::forEachPosition(m >> 6, m >> 4 & 3, m >> 2 & 3, m & 3, [&](const DbQuery& q) {
            load(q);
            if (captureExists()) return;  // the database holds quiet positions only
            const uint8_t expected = reference.value(q);
            const int32_t got = probeDatabase(&q, 0);
            ++tally[expected];
            if (got != expected && ++wrong <= 10)
                ADD_FAILURE() << "bm " << q.bm << " bk " << q.bk << " wm " << q.wm << " wk " << q.wk << " side " << q.side
                              << ": database " << got << ", reference " << int(expected);
        });
    closeDatabase();
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(tally[UNKNOWN], 0u);
    for (int r : {WIN, LOSS, DRAW}) EXPECT_GT(tally[r], 0u);
}

}  // namespace
}  // namespace tarnvel
