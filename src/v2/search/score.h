// Tarnvel 2's score scale, always from the side to move's view: the
// network's points, in which a man is worth about 220.
#pragma once

namespace tarnvel::v2 {

constexpr int SCORE_INFINITE = 32700;
constexpr int SCORE_MATE = 32500;        // side to move without a move at ply p: p − SCORE_MATE
constexpr int SCORE_MATE_BOUND = 32000;  // beyond ±this a game end is forced within the search
constexpr int SCORE_KNOWN_WIN = 28000;   // a database win: this plus its progress (below 2000)
constexpr int SCORE_KNOWN_BOUND = 27000; // beyond ±this the database decided the game
constexpr int SCORE_DRAW = 0;

constexpr int mateIn(int ply) { return SCORE_MATE - ply; }
constexpr int matedIn(int ply) { return ply - SCORE_MATE; }

}  // namespace tarnvel::v2
