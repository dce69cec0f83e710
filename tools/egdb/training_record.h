// The 24-byte training record, the same for positions from games and from
// the databases; files of them feed tools/train. Little-endian on disk,
// which is what every machine the tools run on is.
#pragma once

#include <cstdint>

namespace tarnvel {

struct TrainingRecord {
    uint32_t wm, wk, bm, bk;  // bitboards as in board/bitboard.h
    int16_t score;            // search score for the side to move; UNKNOWN_SCORE when none
    uint8_t side;             // 1 White to move, 0 Black
    int8_t result;            // for the side to move: +1 win, 0 draw, -1 loss
    uint8_t source;           // RECORD_FROM_GAME or RECORD_FROM_DATABASE
    uint8_t reserved;         // 0
    uint16_t ply;             // ply of the game, 0 for database positions
};
static_assert(sizeof(TrainingRecord) == 24);

constexpr int16_t UNKNOWN_SCORE = -32768;
constexpr uint8_t RECORD_FROM_GAME = 0;
constexpr uint8_t RECORD_FROM_DATABASE = 1;

}  // namespace tarnvel
