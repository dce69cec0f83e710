// Positions and materials as the database builder handles them: plain
// values, so that several threads can work on positions at once.
#pragma once

#include <cstdint>

#include "board/bitboard.h"

namespace tarnvel::egdbtool {

// Side to move, numbered as the database slices number it.
constexpr int BLACK = 0;
constexpr int WHITE = 1;

// Most pieces of one colour the databases cover.
constexpr int MAX_PER_SIDE = 4;

// Results for the side to move, with the database's codes.
enum Value : uint8_t { UNRESOLVED = 0, WIN = 1, LOSS = 2, DRAW = 3 };

// The value of a position for the side that moved into it.
constexpr Value negated(Value v) { return v == WIN ? LOSS : v == LOSS ? WIN : v; }

struct Pieces {
    Bitboard bm, bk, wm, wk;  // black men, black kings, white men, white kings
    bool operator==(const Pieces&) const = default;
};

constexpr Bitboard occupied(const Pieces& p) { return p.bm | p.bk | p.wm | p.wk; }

// Square s to square 31 − s.
constexpr Bitboard reversed(Bitboard x) {
    x = ((x >> 1) & 0x55555555u) | ((x & 0x55555555u) << 1);
    x = ((x >> 2) & 0x33333333u) | ((x & 0x33333333u) << 2);
    x = ((x >> 4) & 0x0F0F0F0Fu) | ((x & 0x0F0F0F0Fu) << 4);
    x = ((x >> 8) & 0x00FF00FFu) | ((x & 0x00FF00FFu) << 8);
    return (x >> 16) | (x << 16);
}

// The board turned half a turn with the colours swapped: with the other
// side to move it is the same game, so it has the same value.
constexpr Pieces colourReversed(const Pieces& p) {
    return {reversed(p.wm), reversed(p.wk), reversed(p.bm), reversed(p.bk)};
}

// Piece counts of a position: black men, black kings, white men, white kings.
struct Material {
    int bm, bk, wm, wk;
    bool operator==(const Material&) const = default;
};

constexpr int blackCount(const Material& m) { return m.bm + m.bk; }
constexpr int whiteCount(const Material& m) { return m.wm + m.wk; }
constexpr int pieceCount(const Material& m) { return blackCount(m) + whiteCount(m); }
constexpr int menCount(const Material& m) { return m.bm + m.wm; }

constexpr Material materialOf(const Pieces& p) {
    return {popCount(p.bm), popCount(p.bk), popCount(p.wm), popCount(p.wk)};
}

constexpr Material colourReversed(const Material& m) { return {m.wm, m.wk, m.bm, m.bk}; }

// Of a material and its colour-reversed twin only one is solved and
// stored: the one where Black has more pieces, or as many and at least as
// many kings.
constexpr bool isStored(const Material& m) {
    return blackCount(m) > whiteCount(m) || (blackCount(m) == whiteCount(m) && m.bk >= m.wk);
}

// Slot of a material in per-material tables (counts 0…MAX_PER_SIDE each).
constexpr int COUNT_VALUES = MAX_PER_SIDE + 1;
constexpr int MATERIAL_SLOTS = COUNT_VALUES * COUNT_VALUES * COUNT_VALUES * COUNT_VALUES;
constexpr int materialSlot(const Material& m) {
    return ((m.bm * COUNT_VALUES + m.bk) * COUNT_VALUES + m.wm) * COUNT_VALUES + m.wk;
}

}  // namespace tarnvel::egdbtool
