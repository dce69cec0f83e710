// Training positions from games, for a learned evaluation. The training
// tools (Python, tools/train/) read the same layout, so it is pinned here.
//
// One record is 24 bytes, little-endian:
//     offset 0  uint32 wm   white men   (bitboards as in src/board/bitboard.h: bit i is row i/4, place i%4; the same numbers as Position's fields)
//     offset 4  uint32 wk   white kings
//     offset 8  uint32 bm   black men
//     offset 12 uint32 bk   black kings
//     offset 16 int16 score the engine's search score from the side to move's view, read from its report line: "value=N" gives N; "win=P" gives 32500-P clamped to [-32767, 32767]; "loss=P" gives -(32500-P); no report or no number: -32768 (unknown)
//     offset 18 uint8 side  1 = White to move, 0 = Black
//     offset 19 int8 result the game's final result for the side to move: +1 win, 0 draw, -1 loss
//     offset 20 uint8 source 0 = from a game (1 is reserved for database-labelled positions, written by another tool)
//     offset 21 uint8 reserved 0
//     offset 22 uint16 ply  the position's ply number in the game
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarnvel::cli {

constexpr int16_t SCORE_UNKNOWN = -32768;
constexpr uint8_t SOURCE_GAME = 0;
constexpr uint8_t SOURCE_DATABASE = 1;

struct __attribute__((packed)) TrainingRecord {
    uint32_t wm, wk, bm, bk;
    int16_t score;
    uint8_t side;
    int8_t result;
    uint8_t source;
    uint8_t reserved;
    uint16_t ply;
};

// The records are written as they lie in memory.
static_assert(std::endian::native == std::endian::little);
static_assert(sizeof(TrainingRecord) == 24);
static_assert(offsetof(TrainingRecord, wm) == 0 && offsetof(TrainingRecord, wk) == 4 &&
              offsetof(TrainingRecord, bm) == 8 && offsetof(TrainingRecord, bk) == 12 &&
              offsetof(TrainingRecord, score) == 16 && offsetof(TrainingRecord, side) == 18 &&
              offsetof(TrainingRecord, result) == 19 && offsetof(TrainingRecord, source) == 20 &&
              offsetof(TrainingRecord, reserved) == 21 && offsetof(TrainingRecord, ply) == 22);

// The score field of an engine's report line ("... value=-12 depth=...").
int16_t scoreFromReport(std::string_view report);

}  // namespace tarnvel::cli
