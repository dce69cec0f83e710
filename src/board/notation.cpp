#include "board/notation.h"

#include "board/movegen.h"
#include "board/movestack.h"
#include "board/squares.h"

namespace tarnvel {

namespace {

constexpr int jumpDelta[4] = {7, 9, -9, -7};

// Depth-first search for a jump path from `from` that takes exactly the
// pieces of `remaining` and ends on `target`.
bool findPath(int from, Bitboard remaining, Bitboard occupied, int target, int firstDir,
              int lastDir, std::vector<int>& path) {
    if (!remaining) return from == target;
    for (int d = firstDir; d <= lastDir; ++d) {
        const Bitboard over = Neighbour[d][from];
        const Bitboard land = Jump[d][from];
        if (!(over & remaining) || !land || (land & occupied)) continue;
        path.push_back(from + jumpDelta[d]);
        if (findPath(from + jumpDelta[d], remaining & ~over, occupied, target, firstDir, lastDir,
                     path))
            return true;
        path.pop_back();
    }
    return false;
}

}  // namespace

std::vector<int> movePath(const Position& before, const MoveRecord& m) {
    const uint32_t kind = m.flags & KIND_MASK;
    const bool white = kind == KIND_WHITE_MAN || kind == KIND_WHITE_KING;
    const Bitboard own = white ? before.wm | before.wk : before.bm | before.bk;
    const Bitboard cleared = m.cleared;
    const Bitboard originBit = cleared & own;
    const int origin = lowestBit(originBit);
    const int target = lowestBit(m.to);
    std::vector<int> path{origin};
    if (m.flags & CAPTURE_COUNT_MASK) {
        const bool king = kind == KIND_WHITE_KING || kind == KIND_BLACK_KING;
        const int first = king ? UP_LEFT : white ? DOWN_LEFT : UP_LEFT;
        const int last = king ? DOWN_RIGHT : first + 1;
        // The mover's origin is free for the rest of its journey.
        const Bitboard occupied = (before.wm | before.wk | before.bm | before.bk) & ~originBit;
        findPath(origin, cleared & ~originBit, occupied, target, first, last, path);
    } else {
        path.push_back(target);
    }
    for (int& s : path) s = squareNumber[s];
    return path;
}

std::vector<int> movePath(const Position& before, uint32_t index) {
    return movePath(before, {moveStack.flags[index], moveStack.to[index], moveStack.cleared[index]});
}

std::string moveNotation(const Position& before, const MoveRecord& m) {
    const std::vector<int> path = movePath(before, m);
    const char separator = (m.flags & CAPTURE_COUNT_MASK) ? 'x' : '-';
    std::string text = std::to_string(path.front());
    for (size_t i = 1; i < path.size(); ++i) text += separator + std::to_string(path[i]);
    return text;
}

std::string moveNotation(const Position& before, uint32_t index) {
    return moveNotation(before, {moveStack.flags[index], moveStack.to[index], moveStack.cleared[index]});
}

}  // namespace tarnvel
