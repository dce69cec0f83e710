// The host's view of a game: legal moves of a position, matching what a
// person or a PDN file writes against them, the record of the moves
// played, and the host's adjudication of the end of a game.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "board/position.h"

namespace tarnvel::cli {

constexpr const char* INITIAL_POSITION_TEXT =
    "B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.";

// A long run of king moves without a capture is drawn after 50 moves by
// each side.
constexpr int DRAW_REVERSIBLE_PLIES = 100;
// The same position with the same side to move for the third time.
constexpr int DRAW_REPETITIONS = 3;

// Position equality by pieces only (key, counts and reversiblePlies aside).
bool samePieces(const Position& a, const Position& b);

// Pieces of a position text or PDN FEN ("W:W21,K3:B1-12", a final "." and
// blanks allowed). False with a one-line reason in `error` otherwise.
bool parseFen(std::string_view text, Position& p, int& whiteToMove, std::string& error);

Position initialPosition();

struct LegalMove {
    std::vector<int> path;  // standard square numbers visited, origin first
    std::string notation;   // "11-15", "15x24x31"
    Position after;
};

// The legal moves of p, one per resulting position (two jump orders that
// take the same pieces are one move), in the generator's order.
std::vector<LegalMove> legalMoves(const Position& p, int whiteToMove);

// The squares of a written move: numbers 1…32 joined by '-' or 'x'
// ("11-15", "15x24x31", "15x31"). Empty when the text is no move.
std::vector<int> parseMoveSquares(std::string_view text);

// Indices of the legal moves `squares` names: the moves with exactly that
// path, or when there is none, the captures that start and end on its two
// squares. One index: a match; none: illegal; several: ambiguous.
std::vector<size_t> matchMove(const std::vector<LegalMove>& moves, const std::vector<int>& squares);

// "9-13 10-14 11-15": the notations of a move list.
std::string moveList(const std::vector<LegalMove>& moves);

struct GameRecord {
    std::vector<Position> positions;  // positions[i]: after i plies; [0] the start
    std::vector<std::string> moves;   // notation of ply i + 1
    int startWhiteToMove;
};

GameRecord newGame(const Position& start, int whiteToMove);
int sideToMove(const GameRecord& game);
const Position& currentPosition(const GameRecord& game);
void playMove(GameRecord& game, const LegalMove& move);
void takeBack(GameRecord& game);  // the last ply, if any

enum class Outcome { ONGOING, BLACK_WINS, WHITE_WINS, DRAW };

struct Adjudication {
    Outcome outcome;
    std::string reason;  // "White has no legal move", "threefold repetition", ...
};

Adjudication adjudicate(const GameRecord& game);

// PDN result of an outcome, from the first mover's (Black's) view: "2-0",
// "0-2", "1-1", or "*" while the game goes on.
const char* pdnResult(Outcome outcome);

// "Black wins", "White wins", "draw" or "game goes on".
const char* outcomeText(Outcome outcome);

}  // namespace tarnvel::cli
