#include "support/reference_board.h"

namespace tarnvel::reference {

namespace {

constexpr int DIRECTIONS[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};  // {dColumn, dRow}

bool onBoard(int column, int row) { return column >= 0 && column < 8 && row >= 0 && row < 8; }
bool isWhite(int cell) { return cell == WHITE_MAN || cell == WHITE_KING; }
bool isBlack(int cell) { return cell == BLACK_MAN || cell == BLACK_KING; }
bool isKing(int cell) { return cell == WHITE_KING || cell == BLACK_KING; }

// A man may only go towards the opponent: White down the rows, Black up.
bool allowed(int piece, int dRow) {
    if (isKing(piece)) return true;
    return piece == WHITE_MAN ? dRow < 0 : dRow > 0;
}

bool reachesFarRow(int piece, int row) {
    return (piece == WHITE_MAN && row == 0) || (piece == BLACK_MAN && row == 7);
}

// Extends a capture path from `at`. `board` has the mover lifted off its
// origin; captured pieces stay on it (they cannot be landed on) and are
// marked in `taken` so they are not jumped twice.
void extendCapture(const Board& board, int piece, Move& path, bool taken[8][8],
                   std::vector<Move>& out) {
    const Square at = path.to;
    bool continued = false;
    if (!reachesFarRow(piece, at.row) || path.captured.empty()) {
        for (const auto& d : DIRECTIONS) {
            if (!allowed(piece, d[1])) continue;
            const int overC = at.column + d[0], overR = at.row + d[1];
            const int landC = at.column + 2 * d[0], landR = at.row + 2 * d[1];
            if (!onBoard(landC, landR)) continue;
            const int victim = board.cell[overC][overR];
            const bool enemy = isWhite(piece) ? isBlack(victim) : isWhite(victim);
            if (!enemy || taken[overC][overR] || board.cell[landC][landR] != EMPTY) continue;
            continued = true;
            taken[overC][overR] = true;
            path.captured.push_back({overC, overR});
            path.to = {landC, landR};
            extendCapture(board, piece, path, taken, out);
            path.to = at;
            path.captured.pop_back();
            taken[overC][overR] = false;
        }
    }
    if (!continued && !path.captured.empty()) out.push_back(path);
}

std::vector<Move> captures(const Board& board, bool white) {
    std::vector<Move> out;
    for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 8; ++column) {
            if (!isPlayable(column, row)) continue;
            const int piece = board.cell[column][row];
            if (piece == EMPTY || isWhite(piece) != white) continue;
            Board lifted = board;
            lifted.cell[column][row] = EMPTY;
            bool taken[8][8] = {};
            Move path{{column, row}, {column, row}, {}};
            extendCapture(lifted, piece, path, taken, out);
        }
    return out;
}

std::vector<Move> steps(const Board& board, bool white) {
    std::vector<Move> out;
    for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 8; ++column) {
            if (!isPlayable(column, row)) continue;
            const int piece = board.cell[column][row];
            if (piece == EMPTY || isWhite(piece) != white) continue;
            for (const auto& d : DIRECTIONS) {
                const int c = column + d[0], r = row + d[1];
                if (allowed(piece, d[1]) && onBoard(c, r) && board.cell[c][r] == EMPTY)
                    out.push_back({{column, row}, {c, r}, {}});
            }
        }
    return out;
}

uint32_t kindBit(int piece) {
    switch (piece) {
        case WHITE_MAN: return 0x100;
        case WHITE_KING: return 0x200;
        case BLACK_MAN: return 0x400;
        default: return 0x800;
    }
}

}  // namespace

bool isPlayable(int column, int row) { return onBoard(column, row) && (column + row) % 2 == 0; }
int bitOf(int column, int row) { return 4 * row + column / 2; }
Square squareOfBit(int bit) { return {2 * (bit % 4) + (bit / 4) % 2, bit / 4}; }

std::vector<Move> legalMoves(const Board& board, bool whiteToMove) {
    std::vector<Move> moves = captures(board, whiteToMove);
    return moves.empty() ? steps(board, whiteToMove) : moves;
}

bool hasCapture(const Board& board, bool white) { return !captures(board, white).empty(); }

Record toRecord(const Board& board, const Move& move) {
    const int piece = board.cell[move.from.column][move.from.row];
    Record r{kindBit(piece) | static_cast<uint32_t>(move.captured.size()),
             uint32_t{1} << bitOf(move.to.column, move.to.row),
             uint32_t{1} << bitOf(move.from.column, move.from.row)};
    for (const Square& s : move.captured) r.cleared |= uint32_t{1} << bitOf(s.column, s.row);
    return r;
}

std::vector<Record> legalRecords(const Board& board, bool whiteToMove) {
    std::vector<Record> out;
    for (const Move& m : legalMoves(board, whiteToMove)) out.push_back(toRecord(board, m));
    return out;
}

Board play(const Board& board, const Move& move) {
    Board next = board;
    int piece = next.cell[move.from.column][move.from.row];
    next.cell[move.from.column][move.from.row] = EMPTY;
    for (const Square& s : move.captured) next.cell[s.column][s.row] = EMPTY;
    if (piece == WHITE_MAN && move.to.row == 0) piece = WHITE_KING;
    if (piece == BLACK_MAN && move.to.row == 7) piece = BLACK_KING;
    next.cell[move.to.column][move.to.row] = piece;
    return next;
}

uint64_t perft(const Board& board, bool whiteToMove, int depth) {
    const std::vector<Move> moves = legalMoves(board, whiteToMove);
    if (depth == 1) return moves.size();
    uint64_t total = 0;
    for (const Move& m : moves) total += perft(play(board, m), !whiteToMove, depth - 1);
    return total;
}

Bitboards bitboardsOf(const Board& board) {
    Bitboards sets{};
    for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 8; ++column) {
            if (!isPlayable(column, row)) continue;
            const uint32_t bit = uint32_t{1} << bitOf(column, row);
            switch (board.cell[column][row]) {
                case WHITE_MAN: sets.wm |= bit; break;
                case WHITE_KING: sets.wk |= bit; break;
                case BLACK_MAN: sets.bm |= bit; break;
                case BLACK_KING: sets.bk |= bit; break;
                default: break;
            }
        }
    return sets;
}

Board boardOf(const Bitboards& sets) {
    Board board;
    for (int bit = 0; bit < 32; ++bit) {
        const Square s = squareOfBit(bit);
        const uint32_t b = uint32_t{1} << bit;
        int& cell = board.cell[s.column][s.row];
        if (sets.wm & b) cell = WHITE_MAN;
        else if (sets.wk & b) cell = WHITE_KING;
        else if (sets.bm & b) cell = BLACK_MAN;
        else if (sets.bk & b) cell = BLACK_KING;
    }
    return board;
}

Board colourReversed(const Board& board) {
    static constexpr int SWAPPED[5] = {EMPTY, BLACK_MAN, BLACK_KING, WHITE_MAN, WHITE_KING};
    Board out;
    for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 8; ++column)
            out.cell[7 - column][7 - row] = SWAPPED[board.cell[column][row]];
    return out;
}

}  // namespace tarnvel::reference
