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

std::vector<DbQuery> successorsOf(const DbQuery& q) {
    const reference::Board board = boardOf(q);
    std::vector<DbQuery> after;
    for (const reference::Move& m : reference::legalMoves(board, q.side == 1)) {
        const reference::Bitboards b = reference::bitboardsOf(reference::play(board, m));
        after.push_back({b.bm, b.bk, b.wm, b.wk, q.side == 1 ? 2u : 1u});
    }
    return after;
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

// Each material iterated to a fixpoint; what stays open is a draw.
class ReferenceSolver {
public:
    explicit ReferenceSolver(int maxPieces) {
        for (int m : materialsUpTo(maxPieces)) solve(m);
    }
    const uint8_t& value(const DbQuery& q) const {
        static constexpr uint8_t NO_PIECES = LOSS;
        return (q.side == 1 ? q.wm | q.wk : q.bm | q.bk) == 0 ? NO_PIECES : values_.at(materialOf(q))[slotOf(q)];
    }

private:
    void solve(int m) {
        std::vector<uint8_t>& v = values_[m];
        v.assign(size_t{2} << (5 * ((m >> 6) + (m >> 4 & 3) + (m >> 2 & 3) + (m & 3))), UNKNOWN);  // slotOf's range
        std::vector<std::pair<uint32_t, size_t>> nodes;  // slot, end of its successors' values in `edges`
        std::vector<const uint8_t*> edges;
        testing::forEachPosition(m >> 6, m >> 4 & 3, m >> 2 & 3, m & 3, [&](const DbQuery& q) {
            for (const DbQuery& next : successorsOf(q)) edges.push_back(&value(next));
            nodes.emplace_back(slotOf(q), edges.size());
        });
        const auto is = [](uint8_t r) { return [r](const uint8_t* e) { return *e == r; }; };
        for (bool changed = true; changed;) {
            changed = false;
            for (size_t i = 0, first = 0; i < nodes.size(); first = nodes[i++].second) {
                const auto [slot, end] = nodes[i];
                if (v[slot] != UNKNOWN) continue;
                if (std::any_of(edges.begin() + first, edges.begin() + end, is(LOSS))) v[slot] = WIN;
                else if (std::all_of(edges.begin() + first, edges.begin() + end, is(WIN))) v[slot] = LOSS;
                changed |= v[slot] != UNKNOWN;
            }
        }
        std::replace(v.begin(), v.end(), uint8_t{UNKNOWN}, uint8_t{DRAW});
    }
    std::map<int, std::vector<uint8_t>> values_;
};

using BuiltDatabase = testing::FourPieces;

TEST_F(BuiltDatabase, AgreesWithAnIndependentSolverUpToFourPieces) {
    char text[TARNVEL_TEXT_CAPACITY] = "";
    ASSERT_EQ(openDatabase(64, text), 4);
    const ReferenceSolver reference(4);
    uint64_t wrong = 0, tally[4] = {};
    for (int m : materialsUpTo(4))
        testing::forEachPosition(m >> 6, m >> 4 & 3, m >> 2 & 3, m & 3, [&](const DbQuery& q) {
            const reference::Board board = boardOf(q);
            const auto captures = [&](bool white) {
                const std::vector<reference::Move> moves = reference::legalMoves(board, white);
                return !moves.empty() && !moves.front().captured.empty();
            };
            if (captures(true) || captures(false)) return;  // either side can capture: not stored
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
