#include "game.h"

#include <cctype>

#include "board/movestack.h"
#include "board/notation.h"
#include "board/perft.h"
#include "board/squares.h"
#include "interface/history.h"

namespace tarnvel::cli {

namespace {

Position withCounts(Position p, int whiteToMove) {
    p.wcount = static_cast<uint32_t>(popCount(p.wm | p.wk));
    p.bcount = static_cast<uint32_t>(popCount(p.bm | p.bk));
    p.reversiblePlies = 0;
    p.key = keyFromScratch(p, whiteToMove);
    return p;
}

// A man moved or a piece was taken: such a move can never be repeated.
bool irreversible(const Position& before, const Position& after) {
    return before.wm != after.wm || before.bm != after.bm ||
           popCount(before.wk | before.bk) != popCount(after.wk | after.bk);
}

size_t skipBlanks(std::string_view text, size_t i) {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    return i;
}

}  // namespace

bool samePieces(const Position& a, const Position& b) {
    return a.wm == b.wm && a.wk == b.wk && a.bm == b.bm && a.bk == b.bk;
}

bool parseFen(std::string_view text, Position& p, int& whiteToMove, std::string& error) {
    Position q{};
    size_t i = skipBlanks(text, 0);
    if (i >= text.size() || (text[i] != 'W' && text[i] != 'B')) {
        error = "a position starts with W or B (the side to move)";
        return false;
    }
    const int side = text[i] == 'W';
    i = skipBlanks(text, i + 1);
    Bitboard seen = 0;
    bool white = true, king = false;
    while (i < text.size() && text[i] != '.') {
        const char c = text[i];
        if (c == ':' || c == ',') {
            king = false;
            i = skipBlanks(text, i + 1);
        } else if (c == 'W' || c == 'B') {
            white = c == 'W';
            king = false;
            i = skipBlanks(text, i + 1);
        } else if (c == 'K') {
            king = true;
            ++i;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            int first = 0, last = 0;
            for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
                first = first > 32 ? first : 10 * first + (text[i] - '0');
            last = first;
            if (i < text.size() && text[i] == '-') {
                last = 0;
                for (++i; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
                    last = last > 32 ? last : 10 * last + (text[i] - '0');
            }
            if (first < 1 || first > 32 || last < first || last > 32) {
                error = "square numbers run from 1 to 32";
                return false;
            }
            for (int s = first; s <= last; ++s) {
                const Bitboard b = bitOf(bitOfSquareNumber(s));
                if (seen & b) {
                    error = "square " + std::to_string(s) + " is given twice";
                    return false;
                }
                seen |= b;
                Bitboard& set = white ? (king ? q.wk : q.wm) : (king ? q.bk : q.bm);
                set |= b;
            }
            i = skipBlanks(text, i);
        } else {
            error = std::string("unexpected '") + c + "'";
            return false;
        }
    }
    if (i < text.size() && skipBlanks(text, i + 1) != text.size()) {
        error = "text after the final '.'";
        return false;
    }
    p = withCounts(q, side);
    whiteToMove = side;
    return true;
}

Position initialPosition() {
    Position p{};
    int side = 0;
    std::string error;
    parseFen(INITIAL_POSITION_TEXT, p, side, error);
    return p;
}

std::vector<LegalMove> legalMoves(const Position& p, int whiteToMove) {
    const Position before = withCounts(p, whiteToMove);
    const uint32_t savedLength = gameHistory.length;
    position = before;
    const uint32_t n = generateLegalMoves(whiteToMove, 0);
    std::vector<LegalMove> moves;
    for (uint32_t i = plyBase; i < plyBase + n; ++i) {
        position = before;
        makeMove(i);
        gameHistory.length = savedLength;
        bool duplicate = false;
        for (const LegalMove& m : moves) duplicate = duplicate || samePieces(m.after, position);
        if (duplicate) continue;
        Position after = position;
        after.reversiblePlies = 0;
        moves.push_back({movePath(before, i), moveNotation(before, i), after});
    }
    position = before;
    return moves;
}

std::vector<int> parseMoveSquares(std::string_view text) {
    std::vector<int> squares;
    size_t i = 0;
    for (;;) {
        int s = 0;
        const size_t start = i;
        for (;
             i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && i - start < 2;
             ++i)
            s = 10 * s + (text[i] - '0');
        if (i == start || s < 1 || s > 32) return {};
        squares.push_back(s);
        if (i == text.size()) break;
        const char c = text[i++];
        if (c != '-' && c != 'x' && c != 'X') return {};
    }
    if (squares.size() < 2) return {};
    return squares;
}

std::vector<size_t> matchMove(const std::vector<LegalMove>& moves,
                              const std::vector<int>& squares) {
    std::vector<size_t> exact, ends;
    for (size_t i = 0; i < moves.size(); ++i) {
        const std::vector<int>& path = moves[i].path;
        if (path == squares)
            exact.push_back(i);
        else if (squares.size() == 2 && path.size() > 2 && path.front() == squares.front() &&
                 path.back() == squares.back())
            ends.push_back(i);
    }
    return exact.empty() ? ends : exact;
}

std::string moveList(const std::vector<LegalMove>& moves) {
    std::string text;
    for (const LegalMove& m : moves) text += (text.empty() ? "" : " ") + m.notation;
    return text;
}

GameRecord newGame(const Position& start, int whiteToMove) {
    return {{withCounts(start, whiteToMove)}, {}, whiteToMove};
}

int sideToMove(const GameRecord& game) {
    return (game.startWhiteToMove + static_cast<int>(game.moves.size())) % 2;
}

const Position& currentPosition(const GameRecord& game) { return game.positions.back(); }

void playMove(GameRecord& game, const LegalMove& move) {
    game.positions.push_back(move.after);
    game.moves.push_back(move.notation);
}

void takeBack(GameRecord& game) {
    if (game.moves.empty()) return;
    game.positions.pop_back();
    game.moves.pop_back();
}

Adjudication adjudicate(const GameRecord& game) {
    const int side = sideToMove(game);
    const Position& now = currentPosition(game);
    if (legalMoves(now, side).empty()) {
        const bool piecesLeft = side ? (now.wm | now.wk) : (now.bm | now.bk);
        return {side ? Outcome::BLACK_WINS : Outcome::WHITE_WINS,
                std::string(side ? "White" : "Black") +
                    (piecesLeft ? " has no legal move" : " has no pieces left")};
    }
    // Only positions since the last irreversible move can recur; those with
    // the same side to move lie an even number of plies back.
    int reversible = 0, repetitions = 1;
    for (size_t i = game.positions.size() - 1; i > 0; --i) {
        if (irreversible(game.positions[i - 1], game.positions[i])) break;
        ++reversible;
        if (reversible % 2 == 0 && samePieces(game.positions[i - 1], now)) ++repetitions;
    }
    if (repetitions >= DRAW_REPETITIONS) return {Outcome::DRAW, "threefold repetition"};
    if (reversible >= DRAW_REVERSIBLE_PLIES)
        return {Outcome::DRAW, "50 moves each without a man move or a capture"};
    return {Outcome::ONGOING, ""};
}

const char* pdnResult(Outcome outcome) {
    switch (outcome) {
        case Outcome::BLACK_WINS:
            return "2-0";
        case Outcome::WHITE_WINS:
            return "0-2";
        case Outcome::DRAW:
            return "1-1";
        case Outcome::ONGOING:
            break;
    }
    return "*";
}

const char* outcomeText(Outcome outcome) {
    switch (outcome) {
        case Outcome::BLACK_WINS:
            return "Black wins";
        case Outcome::WHITE_WINS:
            return "White wins";
        case Outcome::DRAW:
            return "draw";
        case Outcome::ONGOING:
            break;
    }
    return "game goes on";
}

}  // namespace tarnvel::cli
