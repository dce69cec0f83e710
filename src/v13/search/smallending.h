// Exact results of the six smallest endings (king against king, king
// against two kings either way, king against man either way, man against
// man), with the distance to the end of the game.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace tarnvel {

// When the global position is one of the six endings, stores its score for
// the side to move at distance `ply` from the root and returns true.
bool smallEndingScore(int whiteToMove, uint32_t ply, int* score);

// pairIndex[i] = i(i − 1)/2: squares lo < hi are pair lo + pairIndex[hi].
constexpr std::array<uint32_t, 32> pairIndex = [] {
    std::array<uint32_t, 32> t{};
    for (uint32_t i = 0; i < 32; ++i) t[i] = i * (i - 1) / 2;
    return t;
}();
constexpr uint32_t PAIR_COUNT = 496;

// Entry v from the side to move's view: 127 − d wins in d plies, −(127 − d)
// loses in d plies, 0 is a draw or an impossible position. Squares are
// taken in each table's frame (the board half-turned, s → 31 − s, where
// that puts the pieces in the table's range):
//   KingVsKing          [16·opponent + own]       own king on 0–15
//   LoneKingVsTwoKings  [16·pair + lone]          lone king to move, on 0–15
//   TwoKingsVsLoneKing  [16·pair + lone]          two kings to move
//   KingVsMan           [32·man + king]           king to move; man crowns on 28–31
//   ManVsKing           [32·man + king]           man to move; man crowns on 28–31
//   ManVsMan            [32·opponent + own]       own man crowns on 0–3, the other on 28–31
// The six lie back to back in one array, so that an offset into it names a
// position of any of the endings (the analysis moves between them).
constexpr uint32_t KING_VS_KING_AT = 0;
constexpr uint32_t LONE_KING_VS_TWO_KINGS_AT = KING_VS_KING_AT + 32 * 16;
constexpr uint32_t TWO_KINGS_VS_LONE_KING_AT = LONE_KING_VS_TWO_KINGS_AT + PAIR_COUNT * 16;
constexpr uint32_t KING_VS_MAN_AT = TWO_KINGS_VS_LONE_KING_AT + PAIR_COUNT * 16;
constexpr uint32_t MAN_VS_KING_AT = KING_VS_MAN_AT + 28 * 32;
constexpr uint32_t MAN_VS_MAN_AT = MAN_VS_KING_AT + 28 * 32;
constexpr uint32_t SMALL_ENDING_ENTRIES = MAN_VS_MAN_AT + 28 * 32;

// Filled once at load by the retrograde analysis; read-only afterwards.
extern int8_t smallEndingEntries[SMALL_ENDING_ENTRIES];

inline constexpr std::span<const int8_t, 32 * 16> KingVsKing{smallEndingEntries + KING_VS_KING_AT,
                                                             32 * 16};
inline constexpr std::span<const int8_t, PAIR_COUNT * 16> LoneKingVsTwoKings{
    smallEndingEntries + LONE_KING_VS_TWO_KINGS_AT, PAIR_COUNT * 16};
inline constexpr std::span<const int8_t, PAIR_COUNT * 16> TwoKingsVsLoneKing{
    smallEndingEntries + TWO_KINGS_VS_LONE_KING_AT, PAIR_COUNT * 16};
inline constexpr std::span<const int8_t, 28 * 32> KingVsMan{smallEndingEntries + KING_VS_MAN_AT,
                                                            28 * 32};
inline constexpr std::span<const int8_t, 28 * 32> ManVsKing{smallEndingEntries + MAN_VS_KING_AT,
                                                            28 * 32};
inline constexpr std::span<const int8_t, 28 * 32> ManVsMan{smallEndingEntries + MAN_VS_MAN_AT,
                                                           28 * 32};

// Offset into smallEndingEntries of the entry for the global position with
// the given side to move, or −1 when no table applies (including men on
// their crowning row, which no table holds).
int smallEndingOffset(int whiteToMove);

}  // namespace tarnvel
