#include "v2/interface/game_track.h"

#include "v2/search/movelist.h"

namespace tarnvel::v2 {

GameTrack gameTrack;

namespace {

bool samePieces(const Position& a, const Position& b) {
    return a.wm == b.wm && a.wk == b.wk && a.bm == b.bm && a.bk == b.bk;
}

}  // namespace

void GameTrack::newGame() {
    keys.clear();
    following = false;
}

void GameTrack::arrive(Position& now, int side) {
    now.key = keyFromScratch(now, side);
    now.reversiblePlies = 0;
    if (!following) {
        keys.clear();
        return;
    }
    // Asked again where the engine left off: it plays both sides, or the
    // host repeats its question.
    if (side == leftSide && samePieces(now, left)) {
        now.reversiblePlies = left.reversiblePlies;
        return;
    }
    // One move of the opponent's from there continues the game.
    if (side != leftSide) {
        MoveList replies;
        generateLegal(left, leftSide, replies);
        for (int i = 0; i < replies.count; ++i) {
            Position after = left;
            applyMove(after, replies.move[i]);
            if (samePieces(after, now)) {
                keys.push_back(left.key);
                now.reversiblePlies = after.reversiblePlies;
                return;
            }
        }
    }
    // Any other board starts a game of its own.
    keys.clear();
    following = false;
}

void GameTrack::played(const Position& before, const Position& after, int sideAfter) {
    keys.push_back(before.key);
    left = after;
    leftSide = sideAfter;
    following = true;
}

}  // namespace tarnvel::v2
