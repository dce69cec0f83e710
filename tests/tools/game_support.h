// Host games set up from position texts and played from written moves.
#pragma once

#include <gtest/gtest.h>

#include "game.h"

namespace tarnvel::cli {

inline GameRecord gameFrom(const std::string& text) {
    Position p{};
    int side = 0;
    std::string error;
    EXPECT_TRUE(parseFen(text, p, side, error)) << text << ": " << error;
    return newGame(p, side);
}

inline void play(GameRecord& g, const std::string& written) {
    const std::vector<LegalMove> moves = legalMoves(currentPosition(g), sideToMove(g));
    const std::vector<size_t> m = matchMove(moves, parseMoveSquares(written));
    ASSERT_EQ(m.size(), 1u) << written;
    playMove(g, moves[m[0]]);
}

}  // namespace tarnvel::cli
