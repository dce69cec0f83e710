#include "v13/search/smallending.h"

#include <bit>

#include "board/position.h"
#include "v13/search/score.h"
#include "v13/search/smallending_retrograde.h"

namespace tarnvel {

int8_t smallEndingEntries[SMALL_ENDING_ENTRIES];

namespace {

constexpr int HALF_TURN = 31;  // s → 31 − s
constexpr int FIRST_CROWNING_SQUARE = 28;  // men in the man tables' frame crown on 28–31

int kingVsKingOffset(Bitboard own, Bitboard opponent) {
    int o = lowestBit(own), x = lowestBit(opponent);
    if (o >= 16) o = HALF_TURN - o, x = HALF_TURN - x;
    return static_cast<int>(KING_VS_KING_AT) + 16 * x + o;
}

int twoKingsOffset(uint32_t table, Bitboard lone, Bitboard pair) {
    int l = lowestBit(lone), lo = lowestBit(pair), hi = 31 - std::countl_zero(pair);
    if (l >= 16) {
        l = HALF_TURN - l;
        const int turnedLo = HALF_TURN - hi;
        hi = HALF_TURN - lo;
        lo = turnedLo;
    }
    return static_cast<int>(table + 16 * (lo + pairIndex[hi])) + l;
}

// The man moves up in the frame, so it must stand below row 7.
int manTableOffset(uint32_t table, int major, int minor) {
    if (major >= FIRST_CROWNING_SQUARE) return -1;
    return static_cast<int>(table) + 32 * major + minor;
}

}  // namespace

int smallEndingOffset(int whiteToMove) {
    const Position& p = position;
    if (p.wcount + p.bcount > 3) return -1;
    const Bitboard white = p.wm | p.wk, black = p.bm | p.bk;
    const int whiteCount = popCount(white), blackCount = popCount(black);
    if (whiteCount == 0 || blackCount == 0 || whiteCount + blackCount > 3) return -1;
    // Overlapping bitboards (only from malformed input) fit no table.
    if (popCount(p.wm) + popCount(p.wk) + popCount(p.bm) + popCount(p.bk) !=
        whiteCount + blackCount)
        return -1;
    const bool whiteMoves = static_cast<uint8_t>(whiteToMove) != 0;

    if (p.wm == 0 && p.bm == 0) {
        if (whiteCount == 1 && blackCount == 1)
            return whiteMoves ? kingVsKingOffset(p.wk, p.bk) : kingVsKingOffset(p.bk, p.wk);
        constexpr uint32_t lone = LONE_KING_VS_TWO_KINGS_AT, two = TWO_KINGS_VS_LONE_KING_AT;
        if (whiteCount == 1) return twoKingsOffset(whiteMoves ? lone : two, p.wk, p.bk);
        return twoKingsOffset(whiteMoves ? two : lone, p.bk, p.wk);
    }
    if (whiteCount != 1 || blackCount != 1) return -1;

    constexpr uint32_t kingVsMan = KING_VS_MAN_AT, manVsKing = MAN_VS_KING_AT;
    if (p.wk) {  // Black's man: squares as they are
        return manTableOffset(whiteMoves ? kingVsMan : manVsKing, lowestBit(p.bm), lowestBit(p.wk));
    }
    if (p.bk) {  // White's man: half-turned so that it moves up
        return manTableOffset(whiteMoves ? manVsKing : kingVsMan, HALF_TURN - lowestBit(p.wm),
                              HALF_TURN - lowestBit(p.bk));
    }
    // In the frame the side to move's man moves down. Standing on row 0 (a
    // malformed host board) it still has its entry: 0, like every board
    // that cannot arise.
    const int own = whiteMoves ? lowestBit(p.wm) : HALF_TURN - lowestBit(p.bm);
    const int opponent = whiteMoves ? lowestBit(p.bm) : HALF_TURN - lowestBit(p.wm);
    return manTableOffset(MAN_VS_MAN_AT, opponent, own);
}

bool smallEndingScore(int whiteToMove, uint32_t ply, int* score) {
    const int offset = smallEndingOffset(whiteToMove);
    if (offset < 0) return false;
    const int v = smallEndingEntries[offset];
    const int p = static_cast<int>(ply);
    *score = v > 0 ? SCORE_TABLE_BASE + v - p : v < 0 ? v + p - SCORE_TABLE_BASE : 0;
    return true;
}

namespace {
// Built before main; the analysis needs only zero-initialised engine state.
const bool smallEndingsBuilt = (buildSmallEndings(), true);
}  // namespace

}  // namespace tarnvel
