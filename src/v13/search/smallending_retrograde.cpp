#include "v13/search/smallending_retrograde.h"

#include <cstdint>
#include <vector>

#include "board/movegen.h"
#include "board/movestack.h"
#include "board/position.h"
#include "interface/history.h"
#include "v13/search/smallending.h"

namespace tarnvel {

namespace {

constexpr int8_t WIN_BASE = 127;  // entry 127 − d: won in d plies

struct EntryPosition {
    Bitboard wm, wk, bm, bk;
    int whiteToMove;
    bool legal;  // no shared square, no man on its crowning row
};

void pairOf(uint32_t pair, int* lo, int* hi) {
    int h = 1;
    while (h < 31 && pairIndex[h + 1] <= pair) ++h;
    *hi = h;
    *lo = static_cast<int>(pair - pairIndex[h]);
}

// The position an entry stands for, with the squares of its frame taken as
// they are: White is the side to move except in ManVsKing, where the man
// (Black's, moving up) is.
EntryPosition entryPosition(uint32_t offset) {
    EntryPosition e{};
    e.whiteToMove = 1;
    if (offset < LONE_KING_VS_TWO_KINGS_AT) {
        const int own = offset % 16, opponent = static_cast<int>(offset / 16);
        e.wk = bitOf(own);
        e.bk = bitOf(opponent);
        e.legal = own != opponent;
    } else if (offset < KING_VS_MAN_AT) {
        const bool loneToMove = offset < TWO_KINGS_VS_LONE_KING_AT;
        const uint32_t i =
            offset - (loneToMove ? LONE_KING_VS_TWO_KINGS_AT : TWO_KINGS_VS_LONE_KING_AT);
        int lo, hi;
        pairOf(i / 16, &lo, &hi);
        const int lone = i % 16;
        const Bitboard pair = bitOf(lo) | bitOf(hi);
        e.wk = loneToMove ? bitOf(lone) : pair;
        e.bk = loneToMove ? pair : bitOf(lone);
        e.legal = lone != lo && lone != hi;
    } else if (offset < MAN_VS_MAN_AT) {
        const bool manToMove = offset >= MAN_VS_KING_AT;
        const uint32_t i = offset - (manToMove ? MAN_VS_KING_AT : KING_VS_MAN_AT);
        const int man = static_cast<int>(i / 32), king = i % 32;
        e.bm = bitOf(man);
        e.wk = bitOf(king);
        e.whiteToMove = manToMove ? 0 : 1;
        e.legal = man != king;
    } else {
        const uint32_t i = offset - MAN_VS_MAN_AT;
        const int opponent = static_cast<int>(i / 32), own = i % 32;
        e.bm = bitOf(opponent);
        e.wm = bitOf(own);
        e.legal = own != opponent && !(e.wm & ROW_0);
    }
    return e;
}

// Game graph over the entries: the children of each legal entry (as
// offsets) and whether some move takes the opponent's last piece.
struct Graph {
    std::vector<uint32_t> firstChild;  // children of e: child[firstChild[e] … firstChild[e + 1])
    std::vector<uint32_t> child;
    std::vector<uint8_t> legal;
    std::vector<uint8_t> capturesLastPiece;
};

Graph buildGraph() {
    Graph g;
    g.firstChild.reserve(SMALL_ENDING_ENTRIES + 1);
    g.legal.resize(SMALL_ENDING_ENTRIES);
    g.capturesLastPiece.resize(SMALL_ENDING_ENTRIES);
    Position& p = position;
    for (uint32_t offset = 0; offset < SMALL_ENDING_ENTRIES; ++offset) {
        g.firstChild.push_back(static_cast<uint32_t>(g.child.size()));
        const EntryPosition e = entryPosition(offset);
        g.legal[offset] = e.legal;
        if (!e.legal) continue;
        p = Position{0, e.wm, e.wk, e.bm, e.bk, static_cast<uint32_t>(popCount(e.wm | e.wk)),
                     static_cast<uint32_t>(popCount(e.bm | e.bk)), 0};
        plyBase = 0;
        moveCount = 0;
        const Bitboard empty = ~(e.wm | e.wk | e.bm | e.bk);
        if (!generateCaptures(e.whiteToMove, empty)) generateNonCaptures(e.whiteToMove, empty);
        const uint32_t n = moveCount;
        const Position saved = p;
        const uint32_t savedLength = gameHistory.length;
        for (uint32_t i = 0; i < n; ++i) {
            makeMove(i);
            if (p.wcount == 0 || p.bcount == 0) {
                g.capturesLastPiece[offset] = 1;
            } else {
                // Every move stays within the six endings: a capture or a
                // crowning only leads to a smaller one.
                const int next = smallEndingOffset(!e.whiteToMove);
                if (next >= 0) g.child.push_back(static_cast<uint32_t>(next));
            }
            p = saved;
            gameHistory.length = savedLength;
        }
    }
    g.firstChild.push_back(static_cast<uint32_t>(g.child.size()));
    return g;
}

}  // namespace

void buildSmallEndings() {
    const Position savedPosition = position;
    const uint32_t savedLength = gameHistory.length;
    const Graph g = buildGraph();
    position = savedPosition;
    gameHistory.length = savedLength;

    // Parents of each entry, for the backward sweep.
    std::vector<uint32_t> firstParent(SMALL_ENDING_ENTRIES + 1, 0), parent(g.child.size());
    for (uint32_t c : g.child) ++firstParent[c + 1];
    for (uint32_t e = 0; e < SMALL_ENDING_ENTRIES; ++e) firstParent[e + 1] += firstParent[e];
    std::vector<uint32_t> fill(firstParent.begin(), firstParent.end() - 1);
    for (uint32_t e = 0; e < SMALL_ENDING_ENTRIES; ++e)
        for (uint32_t k = g.firstChild[e]; k < g.firstChild[e + 1]; ++k)
            parent[fill[g.child[k]]++] = e;

    // Breadth first from the finished games, so distances come out in
    // rising order: a win takes its shortest route, a loss its longest.
    enum : uint8_t { OPEN, WON, LOST };
    std::vector<uint8_t> state(SMALL_ENDING_ENTRIES, OPEN), plies(SMALL_ENDING_ENTRIES, 0);
    std::vector<uint32_t> unresolvedChildren(SMALL_ENDING_ENTRIES), queue;
    queue.reserve(SMALL_ENDING_ENTRIES);
    for (uint32_t e = 0; e < SMALL_ENDING_ENTRIES; ++e) {
        unresolvedChildren[e] = g.firstChild[e + 1] - g.firstChild[e];
        if (g.legal[e] && unresolvedChildren[e] == 0 && !g.capturesLastPiece[e]) {
            state[e] = LOST;  // no legal move
            queue.push_back(e);
        }
    }
    for (uint32_t e = 0; e < SMALL_ENDING_ENTRIES; ++e)
        if (g.capturesLastPiece[e]) {
            state[e] = WON;
            plies[e] = 1;
            queue.push_back(e);
        }
    for (size_t head = 0; head < queue.size(); ++head) {
        const uint32_t e = queue[head];
        for (uint32_t k = firstParent[e]; k < firstParent[e + 1]; ++k) {
            const uint32_t q = parent[k];
            if (state[q] != OPEN) continue;
            if (state[e] == LOST) {
                state[q] = WON;
            } else if (--unresolvedChildren[q] == 0) {
                state[q] = LOST;
            } else {
                continue;
            }
            plies[q] = static_cast<uint8_t>(plies[e] + 1);
            queue.push_back(q);
        }
    }
    for (uint32_t e = 0; e < SMALL_ENDING_ENTRIES; ++e) {
        const int v = WIN_BASE - plies[e];
        smallEndingEntries[e] = static_cast<int8_t>(state[e] == WON    ? v
                                                    : state[e] == LOST ? -v
                                                                       : 0);
    }
}

}  // namespace tarnvel
