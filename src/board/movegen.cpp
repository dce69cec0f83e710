#include "board/movegen.h"

#include "board/movegen_core.h"
#include "board/movestack.h"
#include "board/position.h"

namespace tarnvel {

namespace {

// Appends to the global move stack's current list; records past the
// block's end are dropped.
struct StackSink {
    void add(uint32_t flags, Bitboard to, Bitboard cleared) {
        if (moveCount >= MOVES_PER_PLY) return;
        const uint32_t i = plyBase + moveCount++;
        moveStack.flags[i] = flags;
        moveStack.to[i] = to;
        moveStack.cleared[i] = cleared;
    }
};

}  // namespace

bool captureExists() { return movegen::eitherCanCapture(position); }

bool generateCaptures(int whiteToMove, Bitboard empty) {
    StackSink sink;
    movegen::captures(position, whiteToMove, empty, sink);
    return moveCount != 0;
}

bool generateNonCaptures(int whiteToMove, Bitboard empty) {
    StackSink sink;
    movegen::nonCaptures(position, whiteToMove, empty, sink);
    return moveCount != 0;
}

}  // namespace tarnvel
