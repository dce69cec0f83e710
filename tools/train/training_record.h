// The 24-byte training record, the same for positions from games (written
// by tarnvel match) and from the databases (tarnvel-egdb sample); files of
// them feed the Python steps in tools/train, which read the same layout.
//
// Little-endian:
//     offset 0  uint32 wm   white men   (bitboards as in src/board/bitboard.h: bit i is row i/4, place i%4)
//     offset 4  uint32 wk   white kings
//     offset 8  uint32 bm   black men
//     offset 12 uint32 bk   black kings
//     offset 16 int16 score the search's score from the side to move's view ("value=N" gives N; "win=P"
//                           32500-P clamped to [-32767, 32767]; "loss=P" -(32500-P)); -32768: unknown
//     offset 18 uint8 side  1 = White to move, 0 = Black
//     offset 19 int8 result the game's (or database's) result for the side to move: +1 win, 0 draw, -1 loss
//     offset 20 uint8 source 0 = from a game, 1 = from a database
//     offset 21 uint8 reserved 0
//     offset 22 uint16 ply  the position's ply number in the game, 0 for database positions
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace tarnvel {

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

constexpr int16_t UNKNOWN_SCORE = -32768;
constexpr uint8_t RECORD_FROM_GAME = 0;
constexpr uint8_t RECORD_FROM_DATABASE = 1;

}  // namespace tarnvel
