// The database tarnvel-egdb builds, probed for every quiet position of up to
// four pieces, against a value-iteration solver on the reference rules.
#include <algorithm>
#include <map>

#include "egdb/egdb_support.h"
#include "support/reference_board.h"
#include "tools/cli_run.h"

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

reference::Board boardOf(const DbQuery& q) { return reference::boardOf({q.wm, q.wk, q.bm, q.bk}); }

struct Successors {
    std::vector<DbQuery> after;
    bool captures = false;
};

Successors successorsOf(const DbQuery& q) {
    const reference::Board board = boardOf(q);
    Successors s;
    for (const reference::Move& m : reference::legalMoves(board, q.side == 1)) {
        const reference::Bitboards b = reference::bitboardsOf(reference::play(board, m));
        s.after.push_back({b.bm, b.bk, b.wm, b.wk, q.side == 1 ? 2u : 1u});
        s.captures = !m.captured.empty();
    }
    return s;
}

// Materials with both sides present, at most 3 a side, each after those
// its captures and crownings lead to (fewer pieces, then fewer men).
std::vector<int> materialsUpTo(int maxPieces) {
    const auto rank = [](int m) { return std::pair((m >> 6) + (m >> 4 & 3) + (m >> 2 & 3) + (m & 3), (m >> 6) + (m >> 2 & 3)); };
    std::vector<int> order;
    for (int id = 0; id < 256; ++id) {
        const int black = (id >> 6) + (id >> 4 & 3), white = (id >> 2 & 3) + (id & 3);
        if (black && white && black <= 3 && white <= 3 && black + white <= maxPieces) order.push_back(id);
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return rank(a) < rank(b); });
    return order;
}

// Each material iterated to a fixpoint; what stays open is a draw. Moves
// into another material (captures, crownings) reach one solved already, so
// only the moves within the material are kept as edges.
class ReferenceSolver {
public:
    explicit ReferenceSolver(int maxPieces) {
        for (int m : materialsUpTo(maxPieces)) solve(m);
    }
    const uint8_t& value(const DbQuery& q) const {
        static constexpr uint8_t NO_PIECES = LOSS;
        return (q.side == 1 ? q.wm | q.wk : q.bm | q.bk) == 0 ? NO_PIECES : values_.at(materialOf(q))[slotOf(q)];
    }
    // Neither side can capture: what the database stores.
    bool quiet(DbQuery q) const {
        const std::vector<bool>& captures = captures_.at(materialOf(q));
        if (captures[slotOf(q)]) return false;
        q.side = q.side == 1 ? 2 : 1;
        return !captures[slotOf(q)];
    }

private:
    void solve(int m) {
        std::vector<uint8_t>& v = values_[m];
        v.assign(size_t{2} << (5 * ((m >> 6) + (m >> 4 & 3) + (m >> 2 & 3) + (m & 3))), UNKNOWN);  // slotOf's range
        std::vector<bool>& captures = captures_[m];
        captures.assign(v.size(), false);
        struct Node {
            uint32_t slot;
            bool exitsAllWin;  // every move out of the material wins for the opponent
            size_t end;        // of its edges in `edges`
        };
        std::vector<Node> nodes;
        std::vector<uint32_t> edges;  // slots of the successors within the material
        testing::forEachPosition(m >> 6, m >> 4 & 3, m >> 2 & 3, m & 3, [&](const DbQuery& q) {
            Node node{slotOf(q), true, 0};
            const Successors s = successorsOf(q);
            captures[node.slot] = s.captures;
            for (const DbQuery& next : s.after) {
                if (materialOf(next) == m) {
                    edges.push_back(slotOf(next));
                    continue;
                }
                const uint8_t r = value(next);
                if (r == LOSS) v[node.slot] = WIN;
                node.exitsAllWin &= r == WIN;
            }
            node.end = edges.size();
            nodes.push_back(node);
        });
        const auto is = [&v](uint8_t r) { return [&v, r](uint32_t e) { return v[e] == r; }; };
        for (bool changed = true; changed;) {
            changed = false;
            for (size_t i = 0, first = 0; i < nodes.size(); first = nodes[i++].end) {
                const Node& n = nodes[i];
                if (v[n.slot] != UNKNOWN) continue;
                if (std::any_of(edges.begin() + first, edges.begin() + n.end, is(LOSS))) v[n.slot] = WIN;
                else if (n.exitsAllWin && std::all_of(edges.begin() + first, edges.begin() + n.end, is(WIN)))
                    v[n.slot] = LOSS;
                changed |= v[n.slot] != UNKNOWN;
            }
        }
        std::replace(v.begin(), v.end(), uint8_t{UNKNOWN}, uint8_t{DRAW});
    }
    std::map<int, std::vector<uint8_t>> values_;
    std::map<int, std::vector<bool>> captures_;  // the side to move can capture
};

using BuiltDatabase = testing::FourPieces;

TEST_F(BuiltDatabase, AgreesWithAnIndependentSolverUpToFourPieces) {
    char text[TARNVEL_TEXT_CAPACITY] = "";
    ASSERT_EQ(openDatabase(64, text), 4);
    const ReferenceSolver reference(4);
    uint64_t wrong = 0, tally[4] = {};
    for (int m : materialsUpTo(4))
        testing::forEachPosition(m >> 6, m >> 4 & 3, m >> 2 & 3, m & 3, [&](const DbQuery& q) {
            if (!reference.quiet(q)) return;  // not stored
            const uint8_t expected = reference.value(q);
            const int32_t got = probeDatabase(&q, 0);
            ++tally[expected];
            if (got != expected && ++wrong <= 10)
                ADD_FAILURE() << q.bm << " " << q.bk << " " << q.wm << " " << q.wk << " " << q.side << ": " << got << " not " << int(expected);
        });
    closeDatabase();
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(tally[UNKNOWN], 0u);
    for (int r : {WIN, LOSS, DRAW}) EXPECT_GT(tally[r], 0u);
}

}  // namespace
}  // namespace tarnvel
