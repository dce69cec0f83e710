// The results tarnvel-egdb writes, read back through the engine's probe,
// against a separate solver written here: value iteration to a fixpoint
// over the engine's move generator, every material of up to four pieces
// solved in both colours (the builder solves one colour and its own moves,
// by counting back from the end). Also against the signs of the engine's
// small-ending tables.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <vector>

#include "support/scratch_dir.h"
#include "board/movegen.h"
#include "board/movestack.h"
#include "board/position.h"
#include "egdb/database.h"
#include "interface/history.h"
#include "search/smallending.h"

namespace tarnvel {
namespace {

namespace fs = std::filesystem;

enum : uint8_t { UNKNOWN = 0, WIN = 1, LOSS = 2, DRAW = 3 };

struct Pieces {
    Bitboard wm, wk, bm, bk;
};

struct Counts {
    int bm, bk, wm, wk;
    int pieces() const { return bm + bk + wm + wk; }
    int men() const { return bm + wm; }
    int id() const { return ((bm * 4 + bk) * 4 + wm) * 4 + wk; }
};

Counts countsOf(const Pieces& p) { return {popCount(p.bm), popCount(p.bk), popCount(p.wm), popCount(p.wk)}; }

// Squares in group order (black men, black kings, white men, white kings),
// each ascending, as base-32 digits; times two, plus the side to move.
uint32_t slotOf(const Pieces& p, int white) {
    uint32_t key = 0;
    for (Bitboard group : {p.bm, p.bk, p.wm, p.wk})
        for (; group; group &= group - 1) key = key * 32 + lowestBit(group);
    return 2 * key + white;
}

// Every placement of the counts: men never on their crowning row.
template <typename Visit>
void forEachPlacement(const Counts& c, Visit visit) {
    const int sizes[4] = {c.bm, c.bk, c.wm, c.wk};
    const Bitboard allowed[4] = {~ROW_7, ~Bitboard{0}, ~ROW_0, ~Bitboard{0}};
    Bitboard groups[4] = {};
    auto place = [&](auto& self, int g, int left, int from, Bitboard taken) -> void {
        if (g == 4) {
            visit(Pieces{groups[2], groups[3], groups[0], groups[1]});
            return;
        }
        if (left == 0) {
            if (g + 1 < 4) self(self, g + 1, sizes[g + 1], 0, taken);
            else self(self, 4, 0, 0, taken);
            return;
        }
        for (int s = from; s < 32; ++s) {
            const Bitboard b = bitOf(s);
            if ((b & taken) || !(b & allowed[g])) continue;
            groups[g] |= b;
            self(self, g, left - 1, s + 1, taken | b);
            groups[g] &= ~b;
        }
    };
    place(place, 0, sizes[0], 0, 0);
}

void load(const Pieces& p) {
    position = Position{0, p.wm, p.wk, p.bm, p.bk, static_cast<uint32_t>(popCount(p.wm | p.wk)),
                        static_cast<uint32_t>(popCount(p.bm | p.bk)), 0};
}

// The positions after each legal move, through the engine's generator.
void successorsOf(const Pieces& p, int white, std::vector<Pieces>& after) {
    after.clear();
    load(p);
    plyBase = 0;
    moveCount = 0;
    const Bitboard empty = ~(p.wm | p.wk | p.bm | p.bk);
    if (!generateCaptures(white, empty)) generateNonCaptures(white, empty);
    const Position before = position;
    for (uint32_t i = 0; i < moveCount; ++i) {
        makeMove(i);
        after.push_back({position.wm, position.wk, position.bm, position.bk});
        position = before;
        gameHistory.length = 0;
    }
}

// Every material with both sides present, 1 to 3 a side, up to maxPieces
// pieces, each after those its captures and crownings lead to.
std::vector<Counts> materialsUpTo(int maxPieces) {
    std::vector<Counts> order;
    for (int bm = 0; bm <= 3; ++bm)
        for (int bk = 0; bm + bk <= 3; ++bk)
            for (int wm = 0; wm <= 3; ++wm)
                for (int wk = 0; wm + wk <= 3; ++wk) {
                    const Counts c{bm, bk, wm, wk};
                    if (bm + bk > 0 && wm + wk > 0 && c.pieces() <= maxPieces) order.push_back(c);
                }
    std::stable_sort(order.begin(), order.end(), [](const Counts& a, const Counts& b) {
        return a.pieces() != b.pieces() ? a.pieces() < b.pieces() : a.men() < b.men();
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
        if ((white ? c.wm + c.wk : c.bm + c.bk) == 0) return LOSS;
        return values_.at(c.id())[slotOf(p, white)];
    }

private:
    struct Node {
        uint32_t slot;
        uint32_t firstEdge, endEdge;  // successors inside the material
        bool winsOutside;             // a move out of the material wins
        bool drawsOutside;            // a move out of it draws
    };

    void solve(const Counts& c) {
        std::vector<uint8_t>& v = values_[c.id()];
        v.assign(2u << (5 * c.pieces()), UNKNOWN);
        std::vector<Node> nodes;
        std::vector<uint32_t> edges;
        std::vector<Pieces> after;
        forEachPlacement(c, [&](const Pieces& p) {
            for (int white = 0; white < 2; ++white) {
                Node n{slotOf(p, white), static_cast<uint32_t>(edges.size()), 0, false, false};
                successorsOf(p, white, after);
                for (const Pieces& q : after) {
                    const Counts qc = countsOf(q);
                    if (qc.id() == c.id()) {
                        edges.push_back(slotOf(q, !white));
                        continue;
                    }
                    const uint8_t r = value(q, !white);
                    n.winsOutside |= r == LOSS;
                    n.drawsOutside |= r == DRAW;
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

// Builds the 4-piece database in a scratch directory and opens it there.
class BuiltDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = tarnvel::testing::makeScratchDir("egdb-solver");
        ASSERT_FALSE(dir_.empty());
        const std::string command = std::string(TARNVEL_BINARY_DIR "/tarnvel-egdb build --pieces 4 --out ") +
                                    (dir_ / "db").string() + " > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        previous_ = fs::current_path();
        fs::current_path(dir_);
        char text[1024] = "";
        ASSERT_EQ(openDatabase(64, text), 4);
    }
    void TearDown() override {
        closeDatabase();
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }

    static int32_t probe(const Pieces& p, int white) {
        const DbQuery q{p.bm, p.bk, p.wm, p.wk, white ? 1u : 2u};
        return probeDatabase(&q, 0);
    }

    fs::path dir_, previous_;
};

TEST_F(BuiltDatabase, AgreesWithAnIndependentSolverUpToFourPieces) {
    const ReferenceSolver reference(4);
    uint64_t compared = 0, wrong = 0;
    uint64_t tally[4] = {};
    for (const Counts& c : materialsUpTo(4))
        forEachPlacement(c, [&](const Pieces& p) {
            load(p);
            if (captureExists()) return;
            for (int white = 0; white < 2; ++white) {
                const uint8_t expected = reference.value(p, white);
                const int32_t got = probe(p, white);
                ++compared;
                ++tally[expected];
                if (got != expected && ++wrong <= 10)
                    ADD_FAILURE() << "bm " << p.bm << " bk " << p.bk << " wm " << p.wm << " wk " << p.wk
                                  << (white ? " white" : " black") << " to move: database " << got
                                  << ", reference " << int(expected);
            }
        });
    EXPECT_EQ(wrong, 0u);
    // Every quiet position of 2 to 4 pieces, both sides to move.
    EXPECT_EQ(compared, tally[WIN] + tally[LOSS] + tally[DRAW]);
    EXPECT_GT(tally[WIN], 0u);
    EXPECT_GT(tally[LOSS], 0u);
    EXPECT_GT(tally[DRAW], 0u);
}

TEST_F(BuiltDatabase, AgreesWithTheSignOfTheSmallEndingTables) {
    uint64_t covered = 0, wrong = 0;
    for (const Counts& c : materialsUpTo(3))
        forEachPlacement(c, [&](const Pieces& p) {
            for (int white = 0; white < 2; ++white) {
                load(p);
                if (captureExists()) return;
                int score = 0;
                if (!smallEndingScore(white, 0, &score)) continue;
                ++covered;
                const int32_t expected = score > 0 ? DB_WIN : score < 0 ? DB_LOSS : DB_DRAW;
                const int32_t got = probe(p, white);
                if (got != expected && ++wrong <= 10)
                    ADD_FAILURE() << "bm " << p.bm << " bk " << p.bk << " wm " << p.wm << " wk " << p.wk
                                  << (white ? " white" : " black") << " to move: database " << got
                                  << ", table score " << score;
            }
        });
    EXPECT_EQ(wrong, 0u);
    EXPECT_GT(covered, 0u);
}

}  // namespace
}  // namespace tarnvel
