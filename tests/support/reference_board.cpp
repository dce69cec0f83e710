#include "support/reference_board.h"

namespace tarnvel::reference {

namespace {

bool onBoard(int column, int row) { return column >= 0 && column < 8 && row >= 0 && row < 8; }
bool isWhite(int cell) { return cell == WHITE_MAN || cell == WHITE_KING; }
bool isEnemy(int mover, int cell) { return cell != EMPTY && isWhite(cell) != isWhite(mover); }
int farRow(int piece) { return piece == WHITE_MAN ? 0 : piece == BLACK_MAN ? 7 : -1; }
// A man may only go towards the opponent: White down the rows, Black up.
bool allowed(int piece, int dRow) { return farRow(piece) < 0 || (piece == WHITE_MAN) == (dRow < 0); }

// Captured pieces stay on `board` (no landing on them), marked in `taken`; a crowned man stops.
void extend(const Board& board, int piece, Move& path, bool taken[8][8], std::vector<Move>& out) {
    const Square at = path.to;
    bool continued = false;
    for (int dc = -1; dc <= 1 && at.row != farRow(piece); dc += 2)
        for (int dr = -1; dr <= 1; dr += 2) {
            const int oc = at.column + dc, orow = at.row + dr, lc = oc + dc, lr = orow + dr;
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

int bitOf(Square s) { return 4 * s.row + s.column / 2; }

Record toRecord(const Board& board, const Move& move) {
    const uint32_t kind = 0x80u << board.cell[move.from.column][move.from.row];
    Record r{kind | static_cast<uint32_t>(move.captured.size()), 1u << bitOf(move.to), 1u << bitOf(move.from)};
    for (const Square& s : move.captured) r.cleared |= 1u << bitOf(s);
    return r;
}

}  // namespace

bool isPlayable(int column, int row) { return onBoard(column, row) && (column + row) % 2 == 0; }
Square squareOfBit(int bit) { return {2 * (bit % 4) + (bit / 4) % 2, bit / 4}; }

std::vector<Move> legalMoves(const Board& board, bool whiteToMove) {
    std::vector<Move> jumps, steps;
    for (int bit = 0; bit < 32; ++bit) {
        const Square s = squareOfBit(bit);
        const int piece = board.cell[s.column][s.row];
        if (piece == EMPTY || isWhite(piece) != whiteToMove) continue;
        Board lifted = board;
        lifted.cell[s.column][s.row] = EMPTY;
        bool taken[8][8] = {};
        Move path{s, s, {}};
        extend(lifted, piece, path, taken, jumps);
        for (int dc = -1; dc <= 1; dc += 2)
            for (int dr = -1; dr <= 1; dr += 2)
                if (allowed(piece, dr) && onBoard(s.column + dc, s.row + dr) &&
                    board.cell[s.column + dc][s.row + dr] == EMPTY)
                    steps.push_back({s, {s.column + dc, s.row + dr}, {}});
    }
    return jumps.empty() ? steps : jumps;
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
    next.cell[move.to.column][move.to.row] = move.to.row == farRow(piece) ? piece + 1 : piece;
    return next;
}

Bitboards bitboardsOf(const Board& board) {
    uint32_t sets[5] = {};
    for (int bit = 0; bit < 32; ++bit) sets[board.cell[squareOfBit(bit).column][squareOfBit(bit).row]] |= 1u << bit;
    return {sets[WHITE_MAN], sets[WHITE_KING], sets[BLACK_MAN], sets[BLACK_KING]};
}

Board boardOf(const Bitboards& sets) {
    Board board;
    const uint32_t bySet[5] = {0, sets.wm, sets.wk, sets.bm, sets.bk};
    for (int bit = 0; bit < 32; ++bit)
        for (int kind = WHITE_MAN; kind <= BLACK_KING; ++kind)
            if (bySet[kind] >> bit & 1) board.cell[squareOfBit(bit).column][squareOfBit(bit).row] = kind;
    return board;
}

Board colourReversed(const Board& board) {
    static constexpr int SWAPPED[5] = {EMPTY, BLACK_MAN, BLACK_KING, WHITE_MAN, WHITE_KING};
    Board out;
    for (int column = 0; column < 8; ++column)
        for (int row = 0; row < 8; ++row) out.cell[7 - column][7 - row] = SWAPPED[board.cell[column][row]];
    return out;
}

bool forcesWin(const Board& board, bool white, int plies) {
    for (const Move& move : legalMoves(board, white)) {
        const Board after = play(board, move);
        const std::vector<Move> replies = legalMoves(after, !white);
        bool all = true;  // no reply at all: won
        for (std::size_t i = 0; i < replies.size() && all; ++i)
            all = plies >= 3 && forcesWin(play(after, replies[i]), white, plies - 2);
        if (all) return true;
    }
    return false;
}

}  // namespace tarnvel::reference
