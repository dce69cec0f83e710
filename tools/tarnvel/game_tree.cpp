#include "game_tree.h"

#include <algorithm>
#include <iterator>

namespace tarnvel::cli {

GameTree newTree(const Position& start, int whiteToMove) {
    const GameRecord record = newGame(start, whiteToMove);
    return {{{-1, "", record.positions.front(), {}, std::nullopt}}, whiteToMove, 0};
}

GameRecord lineTo(const GameTree& tree, int node) {
    std::vector<int> path;
    for (int n = node; n > 0; n = tree.nodes[n].parent) path.push_back(n);
    GameRecord record{{tree.nodes[0].position}, {}, tree.startWhiteToMove};
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
        record.positions.push_back(tree.nodes[*it].position);
        record.moves.push_back(tree.nodes[*it].move);
    }
    return record;
}

std::vector<int> lineFrom(const GameTree& tree, int node) {
    std::vector<int> line{node};
    while (!tree.nodes[line.back()].children.empty())
        line.push_back(tree.nodes[line.back()].children.front());
    return line;
}

int plyOf(const GameTree& tree, int node) {
    int ply = 0;
    for (int n = node; n > 0; n = tree.nodes[n].parent) ++ply;
    return ply;
}

int addMove(GameTree& tree, int parent, const LegalMove& move) {
    for (int child : tree.nodes[parent].children)
        if (samePieces(tree.nodes[child].position, move.after)) return child;
    const int child = static_cast<int>(tree.nodes.size());
    tree.nodes.push_back({parent, move.notation, move.after, {}, std::nullopt});
    tree.nodes[parent].children.push_back(child);
    return child;
}

int sideToMoveAt(const GameTree& tree, int node) {
    return (tree.startWhiteToMove + plyOf(tree, node)) % 2;
}

void playShown(GameTree& tree, const LegalMove& move) {
    const bool known = std::ranges::any_of(tree.nodes[tree.shown].children, [&](int child) {
        return samePieces(tree.nodes[child].position, move.after);
    });
    const int child = addMove(tree, tree.shown, move);
    std::vector<int>& children = tree.nodes[tree.shown].children;
    // The new line becomes the main line: its node moves to the front.
    if (!known) std::rotate(children.begin(), std::prev(children.end()), children.end());
    tree.shown = child;
}

bool takeBackShown(GameTree& tree) {
    const int gone = tree.shown;
    if (gone == 0) return false;
    // A node comes after its parent, so one pass finds the subtree; the
    // other nodes keep their order.
    std::vector<int> newIndex(tree.nodes.size(), -1);
    std::vector<bool> removed(tree.nodes.size(), false);
    std::vector<GameNode> kept;
    for (size_t n = 0; n < tree.nodes.size(); ++n) {
        const int parent = tree.nodes[n].parent;
        removed[n] = static_cast<int>(n) == gone || (parent >= 0 && removed[parent]);
        if (removed[n]) continue;
        newIndex[n] = static_cast<int>(kept.size());
        kept.push_back(tree.nodes[n]);
    }
    for (GameNode& node : kept) {
        if (node.parent >= 0) node.parent = newIndex[node.parent];
        std::erase(node.children, gone);
        for (int& child : node.children) child = newIndex[child];
    }
    tree.shown = newIndex[tree.nodes[gone].parent];
    tree.nodes = std::move(kept);
    return true;
}

}  // namespace tarnvel::cli
