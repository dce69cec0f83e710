#include "material_index.h"

#include <array>
#include <cstdlib>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TARNVEL_BIT_GATHER 1
#endif

namespace tarnvel::egdbtool {

namespace {

// Men never stand on their crowning row: 28 places per colour.
constexpr int MAN_PLACES = 28;
constexpr int WHITE_MAN_FIRST_SQUARE = 4;

// Binomial[n][k] for the group sizes that occur (k ≤ MAX_PER_SIDE).
constexpr std::array<std::array<uint32_t, MAX_PER_SIDE + 1>, 33> Binomial = [] {
    std::array<std::array<uint32_t, MAX_PER_SIDE + 1>, 33> b{};
    for (int n = 0; n <= 32; ++n) {
        b[n][0] = 1;
        for (int k = 1; k <= MAX_PER_SIDE; ++k) b[n][k] = n == 0 ? 0 : b[n - 1][k - 1] + b[n - 1][k];
    }
    return b;
}();

// The k-element subsets of 32 squares in colex order, which is increasing
// numeric order: entry r of group k is the subset of rank r.
constexpr std::array<uint32_t, MAX_PER_SIDE + 2> SUBSET_OFFSET = [] {
    std::array<uint32_t, MAX_PER_SIDE + 2> o{};
    for (int k = 0; k <= MAX_PER_SIDE; ++k) o[k + 1] = o[k] + Binomial[32][k];
    return o;
}();

constexpr std::array<Bitboard, SUBSET_OFFSET[MAX_PER_SIDE + 1]> Subsets = [] {
    std::array<Bitboard, SUBSET_OFFSET[MAX_PER_SIDE + 1]> s{};
    for (int k = 0; k <= MAX_PER_SIDE; ++k) {
        Bitboard mask = (Bitboard{1} << k) - 1;
        for (uint32_t r = 0; r < Binomial[32][k]; ++r) {
            s[SUBSET_OFFSET[k] + r] = mask;
            if (mask == 0) break;
            // Next larger number with as many bits set.
            const Bitboard low = mask & (~mask + 1);
            const Bitboard ripple = mask + low;
            mask = ripple | (((mask ^ ripple) >> 2) / low);
        }
    }
    return s;
}();

uint32_t subsetRank(Bitboard set) {
    uint32_t rank = 0;
    for (int i = 1; set; set &= set - 1, ++i) rank += Binomial[lowestBit(set)][i];
    return rank;
}

// Rank of a set after the squares of `taken` are left out and the others
// renumbered 0, 1, 2, … in order.
uint32_t rankAmong(Bitboard set, Bitboard taken) {
    uint32_t rank = 0;
    for (int i = 1; set; set &= set - 1, ++i) {
        const int s = lowestBit(set);
        rank += Binomial[s - popCount(taken & (bitOf(s) - 1))][i];
    }
    return rank;
}

// The set of rank-renumbered squares c put back among the squares of `taken`.
Bitboard expanded(Bitboard c, Bitboard taken) {
    Bitboard set = 0;
    for (; c; c &= c - 1) {
        int s = lowestBit(c);
        for (Bitboard t = taken; t && lowestBit(t) <= s; t &= t - 1) ++s;
        set |= bitOf(s);
    }
    return set;
}

#ifdef TARNVEL_BIT_GATHER
// Leaving squares out and putting them back are one instruction each on
// processors with bit gather and scatter; numbering positions is most of a
// whole verify's time.
[[gnu::target("bmi2")]] uint32_t rankAmongGathered(Bitboard set, Bitboard taken) {
    return subsetRank(_pext_u32(set, ~taken));
}
[[gnu::target("bmi2")]] Bitboard expandedScattered(Bitboard c, Bitboard taken) { return _pdep_u32(c, ~taken); }

// TARNVEL_EGDB_PORTABLE_BITS set keeps to the loops, so that a test can
// compare both ways on one machine.
const bool BitGather = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("bmi2") && !std::getenv("TARNVEL_EGDB_PORTABLE_BITS");
}();
#endif

uint32_t kingRank(Bitboard set, Bitboard taken) {
#ifdef TARNVEL_BIT_GATHER
    if (BitGather) return rankAmongGathered(set, taken);
#endif
    return rankAmong(set, taken);
}

Bitboard kingSquares(Bitboard c, Bitboard taken) {
#ifdef TARNVEL_BIT_GATHER
    if (BitGather) return expandedScattered(c, taken);
#endif
    return expanded(c, taken);
}

}  // namespace

MaterialIndex materialIndex(const Material& m) {
    MaterialIndex ix{m, Binomial[MAN_PLACES][m.bm], Binomial[MAN_PLACES][m.wm],
                     Binomial[32 - menCount(m)][m.bk], Binomial[32 - menCount(m) - m.bk][m.wk], 0};
    ix.size = ix.blackMenPlaces * ix.whiteMenPlaces * ix.blackKingPlaces * ix.whiteKingPlaces;
    return ix;
}

uint32_t positionNumber(const MaterialIndex& ix, const Pieces& p) {
    const Bitboard men = p.bm | p.wm;
    const uint32_t bmRank = subsetRank(p.bm);
    const uint32_t wmRank = subsetRank(p.wm >> WHITE_MAN_FIRST_SQUARE);
    const uint32_t bkRank = kingRank(p.bk, men);
    const uint32_t wkRank = kingRank(p.wk, men | p.bk);
    return ((bmRank * ix.whiteMenPlaces + wmRank) * ix.blackKingPlaces + bkRank) * ix.whiteKingPlaces +
           wkRank;
}

bool positionOf(const MaterialIndex& ix, uint32_t n, Pieces* p) {
    const Material& m = ix.material;
    const uint32_t wkRank = n % ix.whiteKingPlaces;
    n /= ix.whiteKingPlaces;
    const uint32_t bkRank = n % ix.blackKingPlaces;
    n /= ix.blackKingPlaces;
    const uint32_t wmRank = n % ix.whiteMenPlaces;
    const uint32_t bmRank = n / ix.whiteMenPlaces;
    p->bm = Subsets[SUBSET_OFFSET[m.bm] + bmRank];
    p->wm = Subsets[SUBSET_OFFSET[m.wm] + wmRank] << WHITE_MAN_FIRST_SQUARE;
    if (p->bm & p->wm) return false;
    const Bitboard men = p->bm | p->wm;
    p->bk = kingSquares(Subsets[SUBSET_OFFSET[m.bk] + bkRank], men);
    p->wk = kingSquares(Subsets[SUBSET_OFFSET[m.wk] + wkRank], men | p->bk);
    return true;
}

}  // namespace tarnvel::egdbtool
