// Tarnvel 2 as a host sees it: its replies, its moves, and the game it
// follows from one board to the next.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "board/position.h"
#include "interface/engine_state.h"
#include "interface/postext.h"
#include "support/board_fixtures.h"
#include "tarnvel/tarnvel.h"
#include "v2/interface/engine.h"
#include "v2/interface/game_track.h"
#include "v2/search/fixed_depth.h"

namespace tarnvel::v2 {
namespace {

std::string reply(const char* command, int* known = nullptr) {
    char text[TARNVEL_REPLY_CAPACITY] = "";
    const int result = engineCommand(command, text);
    if (known) *known = result;
    return text;
}

struct Exchange {
    const char* command;
    const char* reply;  // exact, or the start when it ends in '*'
    int known;
};

TEST(Tarnvel2Commands, AnswerAsTheTableSays) {
    engineCommand("set hashsize 1", nullptr);
    attach();  // keeps that table
    const Exchange exchanges[] = {
        {"name", "Tarnvel 2.0", 1},
        {"help", "Tarnvel2.htm", 1},
        {"get protocolversion", "2", 1},
        {"get gametype", "21", 1},
        {"name ", "?", 0},
        {"set hashsize 3", "", 1},  // rounds down to 2 MB
        {"get hashsize", "2", 1},
        {"set hashsize 0", "", 1},  // keeps the table
        {"set hashsize", "", 1},
        {"get hashsize", "2", 1},
        {"get threads", "1", 1},
        {"set threads 3", "", 1},
        {"get threads", "3", 1},
        {"set threads 0", "", 1},  // keeps the threads
        {"set threads two", "", 1},
        {"get threads", "3", 1},
        {"set threads 1000", "", 1},
        {"get threads", "64", 1},
        {"set threads 1", "", 1},
        {"get threads", "1", 1},
        {"about", "Tarnvel 2.0 by the Tarnvel developers\n*", 1},
        {"staticevaluation W:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.",
         "Tarnvel 2.0's evaluation with white to move:\n\nnetwork  = *", 1},
        {"staticevaluation W:W21", "cannot parse: staticevaluation W:W21", 1},
    };
    for (const Exchange& e : exchanges) {
        int known = -1;
        const std::string text = reply(e.command, &known);
        const std::string expected = e.reply;
        if (!expected.empty() && expected.back() == '*')
            EXPECT_EQ(text.substr(0, expected.size() - 1), expected.substr(0, expected.size() - 1)) << e.command;
        else
            EXPECT_EQ(text, expected) << e.command;
        EXPECT_EQ(known, e.known) << e.command;
    }
    EXPECT_NE(reply("about").find("2MB transposition table (10-byte entries, 3 to a 32-byte bucket)"),
              std::string::npos);
}

// Self-play through getMove: every board handed back is one legal move on.
TEST(Tarnvel2Moves, EveryBoardIsALegalSuccessor) {
    engineCommand("set hashsize 1", nullptr);  // small tables are quick to set up
    searchDepthLimit = 3;
    std::mt19937 rng(7);
    reference::Board board = support::initialBoard();
    bool white = false;
    for (int ply = 0; ply < 80; ++ply) {
        const std::vector<reference::Move> moves = reference::legalMoves(board, white);
        int host[8][8];
        support::toHostBoard(board, host, 77);
        char text[TARNVEL_TEXT_CAPACITY] = "";
        int playNow = 0;
        const int result = getMove(host, white ? 1 : 2, 10.0, text, &playNow, ply == 0);
        if (moves.empty()) {
            EXPECT_EQ(result, TARNVEL_LOSS);
            break;
        }
        bool legal = false;
        for (const reference::Move& m : moves) {
            int expected[8][8];
            support::toHostBoard(reference::play(board, m), expected, 77);
            if (!std::memcmp(expected, host, sizeof host)) {
                legal = true;
                // Half the time the opponent's reply is random, not the engine's.
                board = rng() % 2 ? reference::play(board, m) : reference::play(board, moves[rng() % moves.size()]);
            }
        }
        ASSERT_TRUE(legal) << "ply " << ply << ": " << text;
        EXPECT_EQ(std::strncmp(text, "Tarnvel 2.0 => ", 15), 0) << text;
        white = !white;
    }
    searchDepthLimit = 0;
}

// A host that sets the play-now word before a day-long allowance still gets
// a move, from one search thread or several.
TEST(Tarnvel2Moves, PlayNowAndNoMove) {
    engineCommand("set hashsize 1", nullptr);  // small tables are quick to set up
    int host[8][8];
    char text[TARNVEL_TEXT_CAPACITY] = "untouched";
    int playNow = 1;
    for (const char* threads : {"set threads 3", "set threads 1"}) {
        engineCommand(threads, nullptr);
        support::toHostBoard(support::initialBoard(), host);
        EXPECT_EQ(getMove(host, 2, 86400.0, text, &playNow, 1), TARNVEL_UNKNOWN) << threads;
    }
    support::toHostBoard(reference::boardOf({0x3, 0, 0x110000, 0}), host);  // W:W3,4:B20,24.: stuck
    int before[8][8];
    std::memcpy(before, host, sizeof host);
    std::strcpy(text, "untouched");
    EXPECT_EQ(getMove(host, 1, 1.0, text, &playNow, 1), TARNVEL_LOSS);
    EXPECT_EQ(std::memcmp(before, host, sizeof host), 0);
}

Position parsed(const char* text) {
    int side = 0;
    EXPECT_TRUE(parsePosition(text, &side));
    return position;
}

// The record follows king moves (counting them), restarts after a man
// move, continues when the engine plays both sides and forgets a board
// that no reply reaches.
TEST(Tarnvel2GameTrack, FollowsTheGameFromBoards) {
    GameTrack track;
    track.newGame();
    Position now = parsed("W:WK1,K2,20:BK31,K32.");
    track.arrive(now, 1);
    Position after = parsed("B:WK6,K2,20:BK31,K32.");
    after.key = keyFromScratch(after, 0);
    after.reversiblePlies = 1;
    track.played(now, after, 0);
    Position reply = parsed("W:WK6,K2,20:BK27,K32.");  // a king move
    track.arrive(reply, 1);
    EXPECT_EQ(track.keys.size(), 2u);
    EXPECT_EQ(reply.reversiblePlies, 2u);
    EXPECT_EQ(reply.key, keyFromScratch(reply, 1));
    track.played(reply, after, 0);
    Position same = after;
    track.arrive(same, 0);  // asked again with the side it left to move
    EXPECT_EQ(track.keys.size(), 3u);
    EXPECT_EQ(same.reversiblePlies, 1u);
    Position manMove = parsed("W:WK6,K2,16:BK31,K32.");  // not Black's move: a new game
    track.arrive(manMove, 1);
    EXPECT_TRUE(track.keys.empty());
    EXPECT_FALSE(track.following);
}

}  // namespace
}  // namespace tarnvel::v2
