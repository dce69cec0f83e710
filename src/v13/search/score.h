// The score scale shared by the search, the tables and the evaluation.
// Scores are signed and always from the side to move's view.
#pragma once

namespace tarnvel {

constexpr int SCORE_INFINITE = 32600;  // the full window is ±SCORE_INFINITE
constexpr int SCORE_GAMEOVER = 32500;  // no piece or no move at ply p: p − SCORE_GAMEOVER
constexpr int SCORE_TABLE_BASE = SCORE_GAMEOVER - 127;  // small-ending scores
constexpr int SCORE_DATABASE_BASE = 32024;  // database win with N pieces: base − N
constexpr int SCORE_DECIDED = 32000;        // beyond ±this the game is decided
static_assert(SCORE_TABLE_BASE == 32373);

}  // namespace tarnvel
