// The move generator itself, written once for any list of move records:
// v1.3 fills its global move stack, Tarnvel 2 its own per-node lists. A
// sink has add(flags, to, cleared), which may drop records when full.
#pragma once

#include "board/bitboard.h"
#include "board/movegen.h"
#include "board/movestack.h"
#include "board/position.h"

namespace tarnvel::movegen {

// Square-index distance of a jump in each direction: s + 7, s + 9, s − 9, s − 7.
constexpr int jumpDelta[4] = {7, 9, -9, -7};

template <class Sink>
void continueKingCapture(Sink& sink, int from, Bitboard landing, Bitboard capturable,
                         Bitboard cleared, uint32_t flags) {
    bool continued = false;
    for (int d = UP_LEFT; d <= DOWN_RIGHT; ++d) {
        const Bitboard over = Neighbour[d][from];
        if ((over & capturable) && (Jump[d][from] & landing)) {
            continued = true;
            continueKingCapture(sink, from + jumpDelta[d], landing, capturable & ~over,
                                cleared | over, flags + 1);
        }
    }
    if (!continued) sink.add(flags, bitOf(from), cleared);
}

// A man only moves forward, so it can meet neither a piece it jumped nor
// its origin again: landing and capturable sets stay fixed.
template <int FirstDir, class Sink>
void continueManCapture(Sink& sink, int from, Bitboard landing, Bitboard capturable,
                        Bitboard cleared, uint32_t flags) {
    bool continued = false;
    for (int d = FirstDir; d <= FirstDir + 1; ++d) {
        const Bitboard over = Neighbour[d][from];
        if ((over & capturable) && (Jump[d][from] & landing)) {
            continued = true;
            continueManCapture<FirstDir>(sink, from + jumpDelta[d], landing, capturable,
                                         cleared | over, flags + 1);
        }
    }
    if (!continued) sink.add(flags, bitOf(from), cleared);
}

// True when the side to move has a capture.
inline bool canCapture(const Position& p, int whiteToMove) {
    const Bitboard white = p.wm | p.wk, black = p.bm | p.bk;
    const Bitboard empty = ~(white | black);
    if (whiteToMove) return (p.wk && jumpersUp(p.wk, black, empty)) || jumpersDown(white, black, empty);
    return jumpersUp(black, white, empty) || (p.bk && jumpersDown(p.bk, white, empty));
}

// True when either side has a capture.
inline bool eitherCanCapture(const Position& p) { return canCapture(p, 1) || canCapture(p, 0); }

// The complete capture sequences of the side to move, landing only on `empty`.
template <class Sink>
void captures(const Position& p, int whiteToMove, Bitboard empty, Sink& sink) {
    const Bitboard white = p.wm | p.wk, black = p.bm | p.bk;
    Bitboard capturers, opponents, kings;
    uint32_t manKind, kingKind;
    if (whiteToMove) {
        capturers = (p.wk ? jumpersUp(p.wk, black, empty) : 0) | jumpersDown(white, black, empty);
        opponents = black;
        kings = p.wk;
        manKind = KIND_WHITE_MAN;
        kingKind = KIND_WHITE_KING;
    } else {
        capturers = jumpersUp(black, white, empty) | (p.bk ? jumpersDown(p.bk, white, empty) : 0);
        opponents = white;
        kings = p.bk;
        manKind = KIND_BLACK_MAN;
        kingKind = KIND_BLACK_KING;
    }
    for (; capturers; capturers &= capturers - 1) {
        const int s = lowestBit(capturers);
        const Bitboard b = bitOf(s);
        if (b & kings) {
            for (int d = UP_LEFT; d <= DOWN_RIGHT; ++d) {
                const Bitboard over = Neighbour[d][s];
                if ((over & opponents) && (Jump[d][s] & empty))
                    continueKingCapture(sink, s + jumpDelta[d], empty | b, opponents & ~over,
                                        over | b, kingKind | 1);
            }
        } else {
            const int first = whiteToMove ? DOWN_LEFT : UP_LEFT;
            for (int d = first; d <= first + 1; ++d) {
                const Bitboard over = Neighbour[d][s];
                if ((over & opponents) && (Jump[d][s] & empty)) {
                    if (whiteToMove)
                        continueManCapture<DOWN_LEFT>(sink, s + jumpDelta[d], empty, opponents,
                                                      over | b, manKind | 1);
                    else
                        continueManCapture<UP_LEFT>(sink, s + jumpDelta[d], empty, opponents,
                                                    over | b, manKind | 1);
                }
            }
        }
    }
}

// The plain moves of the side to move onto `empty`.
template <class Sink>
void nonCaptures(const Position& p, int whiteToMove, Bitboard empty, Sink& sink) {
    Bitboard men, kings;
    uint32_t manKind, kingKind;
    int manFirst;
    if (whiteToMove) {
        men = p.wm, kings = p.wk;
        manKind = KIND_WHITE_MAN, kingKind = KIND_WHITE_KING;
        manFirst = DOWN_LEFT;
    } else {
        men = p.bm, kings = p.bk;
        manKind = KIND_BLACK_MAN, kingKind = KIND_BLACK_KING;
        manFirst = UP_LEFT;
    }
    const Bitboard forward = whiteToMove ? up4(empty) | upX(empty) : down4(empty) | downX(empty);
    const Bitboard backward = whiteToMove ? down4(empty) | downX(empty) : up4(empty) | upX(empty);
    Bitboard movers = ((men | kings) & forward) | (kings & backward);
    for (; movers; movers &= movers - 1) {
        const int s = lowestBit(movers);
        const Bitboard b = bitOf(s);
        const bool king = b & kings;
        const int first = king ? UP_LEFT : manFirst;
        const int last = king ? DOWN_RIGHT : manFirst + 1;
        for (int d = first; d <= last; ++d)
            if (Neighbour[d][s] & empty) sink.add(king ? kingKind : manKind, Neighbour[d][s], b);
    }
}

}  // namespace tarnvel::movegen
