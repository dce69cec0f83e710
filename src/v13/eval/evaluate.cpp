#include "v13/eval/evaluate.h"

#include <cstdint>

#include "board/position.h"
#include "v13/eval/eval_report.h"
#include "v13/eval/eval_tables.h"

namespace tarnvel {

namespace {

constexpr Bitboard WHITE_BRIDGE_END = bitOf(28);     // square 32
constexpr Bitboard WHITE_BRIDGE_GUARD = 0x03000000;  // squares 27, 28
constexpr Bitboard BLACK_BRIDGE_END = bitOf(3);      // square 1
constexpr Bitboard BLACK_BRIDGE_GUARD = 0x000000C0;  // squares 5, 6
constexpr int BRIDGE_BONUS = 3;
constexpr int OUTPOST_BONUS = 3;
constexpr int CORNER_TRAP = 26;
constexpr int CENTER_WEIGHT = 2;
constexpr int EDGE_WEIGHT = 3;
constexpr uint32_t OPPOSITION_MAX_PIECES = 14;
constexpr uint32_t OPPOSITION_BASE = 24;
constexpr uint32_t ADVANCE_ENDGAME_MAX = 12;  // at most this many: advancing is progress
constexpr uint32_t ADVANCE_OPENING_MIN = 16;  // at least this many: advancing weakens the back

// Being ahead counts for more the less material is left.
inline int materialTerm(const Position& p) {
    const int white = MATERIAL_MAN * popCount(p.wm) + MATERIAL_KING * popCount(p.wk);
    const int black = MATERIAL_MAN * popCount(p.bm) + MATERIAL_KING * popCount(p.bk);
    if (white == black) return 0;
    const int d = white - black;
    return d + 256 * d / (white + black);
}

inline int defenseTerm(const Position& p) {
    int defense = backRankWhite[p.wm >> 28] - backRankBlack[p.bm & 15];
    if ((p.wm & WHITE_BRIDGE_END) && (p.wm & WHITE_BRIDGE_GUARD)) defense += BRIDGE_BONUS;
    if ((p.bm & BLACK_BRIDGE_END) && (p.bm & BLACK_BRIDGE_GUARD)) defense -= BRIDGE_BONUS;
    return defense;
}

inline int attackTerm(const Position& p) {
    const Bitboard white = p.wm | p.wk, black = p.bm | p.bk;
    int attack = CENTER_WEIGHT * (popCount(white & CENTER_MASK) - popCount(black & CENTER_MASK)) -
                 EDGE_WEIGHT * (popCount(white & EDGE_MASK) - popCount(black & EDGE_MASK));
    if ((p.wm & bitOf(15)) && (p.bm & bitOf(11))) attack += OUTPOST_BONUS;  // 13 against 9
    if ((p.bm & bitOf(16)) && (p.wm & bitOf(20))) attack -= OUTPOST_BONUS;  // 20 against 24
    // A king in the single corner with an enemy man beside it is shut in.
    if ((p.wk & bitOf(0)) && (p.bm & bitOf(1))) attack -= CORNER_TRAP;
    if ((p.bk & bitOf(31)) && (p.wm & bitOf(30))) attack += CORNER_TRAP;
    return attack;
}

// The opposition in even endings: who holds "the move" by the parity of
// the pieces on the mover's rows.
inline int moveTerm(const Position& p, bool white, uint32_t total) {
    const int weight = static_cast<int>(OPPOSITION_BASE - total);
    const Bitboard all = p.wm | p.wk | p.bm | p.bk;
    if (white) return (popCount(all & ODD_ROWS) & 1) ? weight : -weight;
    return (popCount(all & EVEN_ROWS) & 1) ? -weight : weight;
}

// White men weigh 7 − row on rows 1–6, black men their row on rows 1–7.
inline int advancement(const Position& p) {
    int whiteAdv = 0, blackAdv = 0;
    const Bitboard w = (p.wm & 0x0FFFFFFF) >> 4, b = p.bm >> 4;
    for (int g = 0; g < 6; ++g) whiteAdv += advanceTable[6 - g][(w >> (4 * g)) & 15];
    for (int g = 0; g < 7; ++g) blackAdv += advanceTable[g + 1][(b >> (4 * g)) & 15];
    return whiteAdv - blackAdv;
}

}  // namespace

int evaluate(int whiteToMove, int alpha, int beta, char* report, size_t reportCapacity) {
    return evaluatePosition(position, whiteToMove, alpha, beta, report, reportCapacity);
}

int evaluatePosition(const Position& p, int whiteToMove, int alpha, int beta, char* report,
                     size_t reportCapacity) {
    const bool white = static_cast<uint8_t>(whiteToMove) != 0;
    const int material = materialTerm(p);
    const int m = white ? material : -material;
    if (m + LAZY_MARGIN < alpha || m - LAZY_MARGIN > beta) return m;

    int defense = defenseTerm(p);
    int attack = attackTerm(p);
    const uint32_t total = p.wcount + p.bcount;
    if (p.wcount == p.bcount && total <= OPPOSITION_MAX_PIECES) attack += moveTerm(p, white, total);
    if (total >= ADVANCE_OPENING_MIN) defense -= advancement(p);
    else if (total <= ADVANCE_ENDGAME_MAX) attack += advancement(p);

    const int score = material + defense + attack;
    const int sign = white ? 1 : -1;
    if (report)
        writeEvaluationReport(
            report, reportCapacity, white,
            EvaluationTerms{sign * material, sign * defense, sign * attack, sign * score});
    return sign * score;
}

}  // namespace tarnvel
