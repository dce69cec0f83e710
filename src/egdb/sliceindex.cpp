#include "egdb/sliceindex.h"

#include <bit>

#include "egdb/tables.h"

namespace tarnvel {

namespace {

constexpr int SQUARES = 32;
constexpr int SQUARES_PER_ROW = 4;
constexpr int CROWNING_RANK = 7;

// Combinatorial rank of a set of squares, lowest square first.
uint32_t rankOf(uint32_t set) {
    uint32_t r = 0;
    for (int j = 1; set; ++j, set &= set - 1) r += Binomial[std::countr_zero(set)][j];
    return r;
}

// Rank of kings whose squares are first lowered by the occupied squares
// below them.
uint32_t rankAmong(uint32_t kings, uint32_t occupied) {
    uint32_t r = 0;
    for (int j = 1; kings; ++j, kings &= kings - 1) {
        const int s = std::countr_zero(kings);
        r += Binomial[s - bitCount(occupied & ((1u << s) - 1))][j];
    }
    return r;
}

// Placements of `count` men whose leading man stands on row `rank`.
uint32_t menRange(int rank, int count) {
    if (count == 0) return 1;
    return Binomial[SQUARES_PER_ROW * rank + SQUARES_PER_ROW][count] - Binomial[SQUARES_PER_ROW * rank][count];
}

uint32_t menBase(int rank, int count) { return rank > 0 ? Binomial[SQUARES_PER_ROW * rank][count] : 0; }

uint32_t kingRange(int freeSquares, int count) { return count == 0 ? 1 : Binomial[freeSquares][count]; }

// The set of `count` squares below `squares` with combinatorial rank r.
uint32_t unrank(uint32_t r, int count, int squares) {
    uint32_t set = 0;
    int s = squares;
    for (int j = count; j >= 1; --j) {
        do --s;
        while (Binomial[s][j] > r);
        r -= Binomial[s][j];
        set |= 1u << s;
    }
    return set;
}

// The next set of as many squares in rank order (the least larger one).
uint32_t nextPlacement(uint32_t set) {
    if (set == 0) return 0;
    const uint32_t lowest = set & -set;
    const uint32_t carried = set + lowest;
    return carried | (((set ^ carried) >> 2) >> std::countr_zero(set));
}

// The men of one side, counted from their own side, at placement i of
// those whose leading man stands on row `rank`.
uint32_t menAt(uint32_t i, int rank, int count) {
    return unrank(i + menBase(rank, count), count, SQUARES_PER_ROW * (rank + 1));
}

// Places kings given by lowered squares onto the squares not in occupied:
// past each occupied square, lowest first, the kings at or above it move
// up one.
uint32_t spreadOver(uint32_t lowered, uint32_t occupied) {
    for (; occupied; occupied &= occupied - 1) {
        const uint32_t below = (occupied & -occupied) - 1;
        lowered = (lowered & below) | ((lowered & ~below) << 1);
    }
    return lowered;
}

// Square s to 31 − s without the probe's tables, which the writer's callers
// may not have built.
uint32_t turned(uint32_t x) {
    uint32_t r = 0;
    for (; x; x &= x - 1) r |= 0x80000000u >> std::countr_zero(x);
    return r;
}

int rowOfHighest(uint32_t set) { return set ? (31 - std::countl_zero(set)) / SQUARES_PER_ROW : 0; }

}  // namespace

bool canonicalPosition(const DbQuery& q, CanonicalPosition* out) {
    const uint32_t wmTurned = reverseBoard(q.wm);
    CanonicalPosition p{q.bm, q.bk, q.wm, q.wk, wmTurned, {}};
    SliceKey& k = p.key;
    k.nbm = bitCount(p.bm);
    k.nbk = bitCount(p.bk);
    k.nwm = bitCount(p.wm);
    k.nwk = bitCount(p.wk);
    k.bmrank = rowOfHighest(p.bm);
    k.wmrank = rowOfHighest(wmTurned);
    k.side = q.side & 1;
    if (k.bmrank >= CROWNING_RANK || k.wmrank >= CROWNING_RANK) return false;
    const int nb = k.nbm + k.nbk, nw = k.nwm + k.nwk;
    const int s = (nw - nb) * 65536 + (k.nwk - k.nbk) * 256 + (k.wmrank - k.bmrank) * 16 + k.side;
    if (s > 0) {
        p = {wmTurned, reverseBoard(q.wk), reverseBoard(q.bm), reverseBoard(q.bk), q.bm,
             {k.nwm, k.nwk, k.nbm, k.nbk, k.wmrank, k.bmrank, 1 - k.side}};
    }
    *out = p;
    return true;
}

uint32_t positionIndex(const CanonicalPosition& p) {
    const SliceKey& k = p.key;
    const uint32_t bmi = rankOf(p.bm) - menBase(k.bmrank, k.nbm);
    const uint32_t wmi = rankOf(p.wmTurned) - menBase(k.wmrank, k.nwm);
    const uint32_t bki = rankAmong(p.bk, p.bm | p.wm);
    const uint32_t wki = rankAmong(p.wk, p.bm | p.bk | p.wm);
    const uint32_t bmr = menRange(k.bmrank, k.nbm);
    const uint32_t wmr = menRange(k.wmrank, k.nwm);
    const uint32_t bkr = kingRange(SQUARES - k.nbm - k.nwm, k.nbk);
    return ((wki * bkr + bki) * wmr + wmi) * bmr + bmi;
}

uint32_t sliceSize(const SliceKey& k) {
    return menRange(k.bmrank, k.nbm) * menRange(k.wmrank, k.nwm) * kingRange(SQUARES - k.nbm - k.nwm, k.nbk) *
           kingRange(SQUARES - k.nbm - k.nwm - k.nbk, k.nwk);
}

bool isCanonicalSlice(const SliceKey& k) {
    if (!sliceKeyInTable(k)) return false;
    if ((k.nbm == 0 && k.bmrank != 0) || (k.nwm == 0 && k.wmrank != 0)) return false;
    if (k.nbm > SQUARES_PER_ROW * (k.bmrank + 1) || k.nwm > SQUARES_PER_ROW * (k.wmrank + 1)) return false;
    const int nb = k.nbm + k.nbk, nw = k.nwm + k.nwk;
    return (nw - nb) * 65536 + (k.nwk - k.nbk) * 256 + (k.wmrank - k.bmrank) * 16 + k.side <= 0;
}

bool positionAtIndex(const SliceKey& k, uint32_t index, DbQuery* out) {
    if (index >= sliceSize(k)) return false;
    SliceWalk walk;
    startSliceWalk(k, index, &walk);
    return walkPosition(walk, out);
}

void startSliceWalk(const SliceKey& k, uint32_t index, SliceWalk* w) {
    w->key = k;
    w->bmRange = menRange(k.bmrank, k.nbm);
    w->wmRange = menRange(k.wmrank, k.nwm);
    w->bkRange = kingRange(SQUARES - k.nbm - k.nwm, k.nbk);
    w->bmi = index % w->bmRange;
    index /= w->bmRange;
    w->wmi = index % w->wmRange;
    index /= w->wmRange;
    w->bki = index % w->bkRange;
    w->wki = index / w->bkRange;
    w->bm = menAt(w->bmi, k.bmrank, k.nbm);
    w->wm = turned(menAt(w->wmi, k.wmrank, k.nwm));
    w->bkLowered = unrank(w->bki, k.nbk, SQUARES - k.nbm - k.nwm);
    w->wkLowered = unrank(w->wki, k.nwk, SQUARES - k.nbm - k.nwm - k.nbk);
}

bool walkPosition(const SliceWalk& w, DbQuery* out) {
    if (w.bm & w.wm) return false;
    const uint32_t bk = spreadOver(w.bkLowered, w.bm | w.wm);
    const uint32_t wk = spreadOver(w.wkLowered, w.bm | w.wm | bk);
    *out = {w.bm, bk, w.wm, wk, w.key.side ? 1u : 2u};
    return true;
}

void stepSliceWalk(SliceWalk* w) {
    const SliceKey& k = w->key;
    if (++w->bmi < w->bmRange) {
        w->bm = nextPlacement(w->bm);
        return;
    }
    w->bmi = 0;
    w->bm = menAt(0, k.bmrank, k.nbm);
    if (++w->wmi < w->wmRange) {
        w->wm = turned(nextPlacement(turned(w->wm)));
        return;
    }
    w->wmi = 0;
    w->wm = turned(menAt(0, k.wmrank, k.nwm));
    if (++w->bki < w->bkRange) {
        w->bkLowered = nextPlacement(w->bkLowered);
        return;
    }
    w->bki = 0;
    w->bkLowered = unrank(0, k.nbk, SQUARES - k.nbm - k.nwm);
    ++w->wki;
    w->wkLowered = nextPlacement(w->wkLowered);
}

}  // namespace tarnvel
