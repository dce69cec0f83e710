#include "support/reference_board.h"

namespace tarnvel::reference {

namespace {

bool onBoard(int column, int row) { return column >= 0 && column < 8 && row >= 0 && row < 8; }
bool isWhite(int cell) { return cell == WHITE_MAN || cell == WHITE_KING; }
bool isKing(int cell) { return cell == WHITE_KING || cell == BLACK_KING; }
bool isEnemy(int mover, int cell) { return cell != EMPTY && isWhite(cell) != isWhite(mover); }
// A man may only go towards the opponent: White down the rows, Black up.
bool allowed(int piece, int dRow) {
    return isKing(piece) || (piece == WHITE_MAN ? dRow < 0 : dRow > 0);
}
int farRow(int piece) { return piece == WHITE_MAN ? 0 : piece == BLACK_MAN ? 7 : -1; }

// Extends a capture path. `board` has the mover lifted off its origin;
// captured pieces stay on it (they cannot be landed on) and are marked in
// `taken` so they are not jumped twice. A man reaching its far row stops.
void extend(const Board& board, int piece, Move& path, bool taken[8][8], std::vector<Move>& out) {
    const Square at = path.to;
    bool continued = false;
    for (int dc = -1; dc <= 1 && at.row != farRow(piece); dc += 2)
        for (int dr = -1; dr <= 1; dr += 2) {
            const int oc = at.column + dc, orow = at.row + dr, lc = at.column + 2 * dc, lr = at.row + 2 * dr;
            if (!allowed(piece, dr) || !onBoard(lc, lr) || !isEnemy(piece, board.cell[oc][orow]) ||
                taken[oc][orow] || board.cell[lc][lr] != EMPTY)
                continue;
            continued = taken[oc][orow] = true;
            path.captured.push_back({oc, orow});
            path.to = {lc, lr};
            extend(board, piece, path, taken, out);
            path.to = at;
            path.captured.pop_back();
            taken[oc][orow] = false;
        }
    if (!continued && !path.captured.empty()) out.push_back(path);
}

std::vector<Move> movesOf(const Board& board, bool white, bool capturesOnly) {
    std::vector<Move> jumps, steps;
    for (int row = 0; row < 8; ++row)
        for (int column = 0; column < 8; ++column) {
            const int piece = board.cell[column][row];
            if (!isPlayable(column, row) || piece == EMPTY || isWhite(piece) != white) continue;
            Board lifted = board;
            lifted.cell[column][row] = EMPTY;
            bool taken[8][8] = {};
            Move path{{column, row}, {column, row}, {}};
            extend(lifted, piece, path, taken, jumps);
            for (int dc = -1; dc <= 1 && !capturesOnly; dc += 2)
                for (int dr = -1; dr <= 1; dr += 2)
                    if (allowed(piece, dr) && onBoard(column + dc, row + dr) &&
                        board.cell[column + dc][row + dr] == EMPTY)
                        steps.push_back({{column, row}, {column + dc, row + dr}, {}});
        }
    return jumps.empty() ? steps : jumps;
}

int bitOf(int column, int row) { return 4 * row + column / 2; }

}  // namespace

bool isPlayable(int column, int row) { return onBoard(column, row) && (column + row) % 2 == 0; }
Square squareOfBit(int bit) { return {2 * (bit % 4) + (bit / 4) % 2, bit / 4}; }

std::vector<Move> legalMoves(const Board& board, bool whiteToMove) {
    return movesOf(board, whiteToMove, false);
}
bool hasCapture(const Board& board, bool white) { return !movesOf(board, white, true).empty(); }

Record toRecord(const Board& board, const Move& move) {
    const uint32_t kindBits[5] = {0, 0x100, 0x200, 0x400, 0x800};
    const uint32_t kind = kindBits[board.cell[move.from.column][move.from.row]];
    Record r{kind | static_cast<uint32_t>(move.captured.size()),
             uint32_t{1} << bitOf(move.to.column, move.to.row),
             uint32_t{1} << bitOf(move.from.column, move.from.row)};
    for (const Square& s : move.captured) r.cleared |= uint32_t{1} << bitOf(s.column, s.row);
    return r;
}

Board play(const Board& board, const Move& move) {
    Board next = board;
    int piece = next.cell[move.from.column][move.from.row];
    next.cell[move.from.column][move.from.row] = EMPTY;
    for (const Square& s : move.captured) next.cell[s.column][s.row] = EMPTY;
    if (move.to.row == farRow(piece)) piece = piece == WHITE_MAN ? WHITE_KING : BLACK_KING;
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
    uint32_t sets[5] = {};
    for (int bit = 0; bit < 32; ++bit) {
        const Square s = squareOfBit(bit);
        sets[board.cell[s.column][s.row]] |= uint32_t{1} << bit;
    }
    return {sets[WHITE_MAN], sets[WHITE_KING], sets[BLACK_MAN], sets[BLACK_KING]};
}

Board boardOf(const Bitboards& sets) {
    Board board;
    for (int bit = 0; bit < 32; ++bit) {
        const Square s = squareOfBit(bit);
        const uint32_t b = uint32_t{1} << bit;
        board.cell[s.column][s.row] = (sets.wm & b)   ? WHITE_MAN
                                      : (sets.wk & b) ? WHITE_KING
                                      : (sets.bm & b) ? BLACK_MAN
                                      : (sets.bk & b) ? BLACK_KING
                                                      : EMPTY;
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
