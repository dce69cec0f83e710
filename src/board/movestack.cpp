#include "board/movestack.h"

#include "board/position.h"
#include "interface/history.h"

namespace tarnvel {

MoveStack moveStack;
uint32_t plyBase;
uint32_t moveCount;

namespace {
inline uint64_t changedKeys(Bitboard diff, int kind) {
    uint64_t k = 0;
    for (; diff; diff &= diff - 1) k ^= pieceKey(lowestBit(diff), kind);
    return k;
}
}  // namespace

void applyMove(Position& p, const MoveRecord& m) {
    const uint32_t f = m.flags;
    const uint32_t captured = f & CAPTURE_COUNT_MASK;
    const Bitboard to = m.to;
    const Bitboard cleared = m.cleared;
    const Bitboard oldWm = p.wm, oldWk = p.wk, oldBm = p.bm, oldBk = p.bk;
    bool reversible = false;

    switch (f & KIND_MASK) {
        case KIND_WHITE_MAN:
            p.wm &= ~cleared;
            if (to & ROW_0) p.wk |= to;
            else p.wm |= to;
            break;
        case KIND_WHITE_KING:
            p.wk = (p.wk & ~cleared) | to;
            reversible = captured == 0;
            break;
        case KIND_BLACK_MAN:
            p.bm &= ~cleared;
            if (to & ROW_7) p.bk |= to;
            else p.bm |= to;
            break;
        case KIND_BLACK_KING:
            p.bk = (p.bk & ~cleared) | to;
            reversible = captured == 0;
            break;
    }
    if (captured) {
        if (f & (KIND_WHITE_MAN | KIND_WHITE_KING)) {
            p.bcount -= captured;
            p.bm &= ~cleared;
            p.bk &= ~cleared;
        } else {
            p.wcount -= captured;
            p.wm &= ~cleared;
            p.wk &= ~cleared;
        }
    }

    p.reversiblePlies = reversible ? p.reversiblePlies + 1 : 0;
    p.key ^= SIDE_TO_MOVE_KEY ^ changedKeys(oldWm ^ p.wm, WHITE_MAN) ^
             changedKeys(oldWk ^ p.wk, WHITE_KING) ^ changedKeys(oldBm ^ p.bm, BLACK_MAN) ^
             changedKeys(oldBk ^ p.bk, BLACK_KING);
}

void makeMove(uint32_t index) {
    historyPush(position.key);
    applyMove(position, {moveStack.flags[index], moveStack.to[index], moveStack.cleared[index]});
}

}  // namespace tarnvel
