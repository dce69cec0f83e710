// Portable Draughts Notation: reading games (tags, numbered moves,
// comments, results, several games per file) and writing them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "game.h"
#include "game_tree.h"

namespace tarnvel::cli {

struct PdnTag {
    std::string name, value;
};

struct PdnMove {
    std::string text;  // as written, annotation marks removed
    int line;
    // Lines written in parentheses after this move, each played instead of it.
    std::vector<std::vector<PdnMove>> variations;
};

struct PdnGame {
    std::vector<PdnTag> tags;
    std::vector<PdnMove> moves;
    std::string result;  // the closing result, else the Result tag, else "*"
};

// Splits PDN text into games. On a syntax error returns false with
// "line N: what" in `error`.
bool readPdn(std::string_view text, std::vector<PdnGame>& games, std::string& error);

// The value of a tag, or null.
const std::string* findTag(const PdnGame& game, std::string_view name);

// Plays the moves from the FEN tag's position (else the initial
// arrangement) into `record`. At the first move that is not legal returns
// false with "move N (Black|White): illegal move X" in `error`; `record`
// then holds the game up to that move.
bool replayPdnGame(const PdnGame& game, GameRecord& record, std::string& error);

// The same into a tree, with every variation: its moves must be legal too.
bool replayPdnTree(const PdnGame& game, GameTree& tree, std::string& error);

// "move 3 (White)": the standard numbering of ply `ply` (0-based).
std::string moveLabel(const GameRecord& record, size_t ply);

// One game: the tags given, then Result and, for any other start than the
// initial arrangement with Black to move, FEN; the numbered moves, an
// optional comment before the result, the result and an empty line.
std::string writePdnGame(const std::vector<PdnTag>& tags, const GameRecord& record,
                         const std::string& comment, const std::string& result);
// A tree's game: its first children as the moves, the other children as
// variations in parentheses after the move they replace.
std::string writePdnGame(const std::vector<PdnTag>& tags, const GameTree& tree,
                         const std::string& comment, const std::string& result);

// Today as PDN writes dates, "2024.05.31".
std::string pdnDate();

}  // namespace tarnvel::cli
