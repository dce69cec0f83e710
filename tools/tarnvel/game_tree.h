// A game with its variations, for studying it: every move played from any
// position of it is kept, and one node is the position shown.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine_report.h"
#include "game.h"

namespace tarnvel::cli {

struct GameNode {
    int parent;                        // -1 for the start
    std::string move;                  // the move that led here ("" at the start)
    Position position;
    std::vector<int> children;         // children[0] continues the line; the others are variations
    std::optional<EngineScore> score;  // the last engine search from this position
};

struct GameTree {
    std::vector<GameNode> nodes;  // nodes[0] is the start
    int startWhiteToMove;
    int shown = 0;
};

GameTree newTree(const Position& start, int whiteToMove);

// The game from the start to `node`, for adjudication and the engine.
GameRecord lineTo(const GameTree& tree, int node);

// `node`, then its first children to the end of that line.
std::vector<int> lineFrom(const GameTree& tree, int node);

int plyOf(const GameTree& tree, int node);
int sideToMoveAt(const GameTree& tree, int node);  // 1 White, 0 Black

// Plays `move` at the shown node and shows its result. A move played there
// before is gone to again; a new one becomes the first child, so the line
// it starts is the main one and the old continuation stays as a variation.
void playShown(GameTree& tree, const LegalMove& move);

// The child of `parent` that `move` leads to, added as its last child
// when it is new.
int addMove(GameTree& tree, int parent, const LegalMove& move);

// Takes back the shown node's move: shows its parent and forgets the
// shown node with everything after it. False at the start.
bool takeBackShown(GameTree& tree);

}  // namespace tarnvel::cli
