// The command channel and the position texts it reads.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "board/position.h"
#include "egdb/database.h"
#include "interface/engine_state.h"
#include "interface/history.h"
#include "interface/postext.h"
#include "v13/search/tt.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {
namespace {

class EngineCommand : public ::testing::Test {
protected:
    char buffer[TARNVEL_REPLY_CAPACITY + 64];  // room past the capacity to catch overruns
    int result = -1;
    const uint32_t savedRequested = requestedDbMegabytes, savedLimit = dbPieceLimit;
    const int32_t savedBlocks = cacheBlocks;
    char savedDetails[DATABASE_DETAILS_SIZE];

    void SetUp() override {
        ASSERT_TRUE(ttAllocate(2));
        std::memcpy(savedDetails, DatabaseDetails, sizeof savedDetails);
    }
    void TearDown() override {
        requestedDbMegabytes = savedRequested;
        dbPieceLimit = savedLimit;
        cacheBlocks = savedBlocks;
        std::memcpy(DatabaseDetails, savedDetails, sizeof savedDetails);
    }

    std::string send(const char* command, const char* prefill = "") {
        std::memset(buffer, '#', sizeof buffer);
        std::strcpy(buffer, prefill);
        result = enginecommand(command, buffer);
        EXPECT_EQ(std::string(buffer + TARNVEL_REPLY_CAPACITY, 64), std::string(64, '#')) << command;
        return buffer;
    }
};

// Only exact commands match; "set dbmbytes" reads like "%u" and keeps the request without a number.
TEST_F(EngineCommand, Replies) {
    cacheBlocks = 262144 + 1023;
    const std::string requested = "MB EGTB requested\n(takes effect on first move)";
    const std::tuple<const char*, std::string, int> cases[] = {
        {"name", "Tarnvel v1.3", 1}, {"help", "Tarnvel.htm", 1}, {"get protocolversion", "2", 1},
        {"get gametype", "21", 1}, {"get hashsize", "2", 1}, {"get dbmbytes", "256", 1}, {"Name", "?", 0},
        {"set dbmbytes 64", "64" + requested, 1}, {"set dbmbytes", "64" + requested, 1}, {"", "?", 0},
        {"set dbmbytes -1", "4294967295" + requested, 1}, {"get dbmbytes", "256", 1}, {"staticeval", "?", 0}};
    for (const auto& [command, reply, code] : cases) {
        EXPECT_EQ(send(command), reply);
        EXPECT_EQ(result, code) << command;
    }
    EXPECT_EQ(enginecommand(nullptr, buffer), 0);
    EXPECT_STREQ(buffer, "?");
    EXPECT_EQ(enginecommand("set dbmbytes 12", nullptr), 1);
    EXPECT_EQ(requestedDbMegabytes, 12u);
}

// Unterminated details are cut, and the whole reply at the reply's capacity.
TEST_F(EngineCommand, AboutText) {
    cacheBlocks = 64 * 1024;
    dbPieceLimit = 6;
    std::strcpy(DatabaseDetails, "db/db2-4.idx\ndb/db5.idx\n");
    EXPECT_EQ(send("about"),
              "Tarnvel v1.3 by the Tarnvel developers\nhttps://tarnvel.example.org\n\n"
              "2MB transposition table (8-byte)\n\n64MB endgames cache (6-piece)\n"
              "(endgame database access by the Tarnvel developers)\n\nDatabase Details:\n"
              "db/db2-4.idx\ndb/db5.idx\n");
    EXPECT_EQ(result, 1);
    std::memset(DatabaseDetails, 'x', DATABASE_DETAILS_SIZE);
    EXPECT_EQ(send("about").size(), static_cast<size_t>(TARNVEL_REPLY_CAPACITY - 1));
}

// Rounds down to a power of two up to 1024; no number or 0 keeps the table.
TEST_F(EngineCommand, SetHashSize) {
    const std::pair<const char*, const char*> cases[] = {
        {"set hashsize  +8", "8"}, {"set hashsize 3000", "1024"}, {"set hashsize 700", "512"},
        {"set hashsize 99999999999", "1024"}, {"set hashsize 1", "1"}, {"set hashsize 3", "2"},
        {"set hashsize 0", "2"}, {"set hashsize", "2"}, {"set hashsize x12", "2"}};
    for (const auto& [command, size] : cases) {  // stops at the first wrong size: a bad rounding may loop on 0
        EXPECT_EQ(send(command, "untouched"), "untouched") << command;
        EXPECT_EQ(result, 1);
        ASSERT_EQ(send("get hashsize"), size) << command;
    }
}

TEST_F(EngineCommand, StaticEvaluation) {
    EXPECT_EQ(send("staticevaluation B:W18,24,27,28,K10,K15:B12,16,20,K22,K25,K29."),
              "Tarnvel v1.3's evaluation with black to move:\n\nmaterial = 40\ndefense  = 0\n"
              "attack   = 7\nSCORE    = 47\nEGTB     = unknown\n");
    EXPECT_EQ(result, 1);
    // Refused texts, read from exact-size heap copies, leave the history alone.
    for (const std::string text : {"", "X", " W:", " W:W5,", " W:W5 .", " W:W5,b6.", " W:W5:B6;", " W:W0.", " W:W33.",
                                   " W:W999999999999999999999999999999.", " W:W5,K", " W:w21.", " B:W18,K10:B12,33.",
                                   " W:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12"}) {
        gameHistory.length = 3;
        const std::string command = "staticevaluation" + text;
        const std::vector<char> exact(command.c_str(), command.c_str() + command.size() + 1);
        EXPECT_EQ(send(exact.data()), "cannot parse: " + command);
        EXPECT_EQ(result, 1);
        EXPECT_EQ(gameHistory.length, 3u) << command;
    }
}

TEST(PositionText, Accepted) {
    const std::tuple<const char*, const char*, uint32_t, uint32_t> cases[] = {
        {"B:W18,24,27,28,K10,K15:B12,16,20,K22,K25,K29.", "B:WK10,K15,18,24,27,28:B12,16,20,K22,K25,K29.", 6, 6},
        {"x5.", "B:W5:B.", 1, 0},  // the first character is only the side ('W' or Black); then White's
        {"B:WK10K15:B1.", "B:WK10,K15:B1.", 2, 1},  // the king flag lasts until a separator or colour
        {"B:WK10B1.garbage", "B:WK10:B1.", 1, 1},  // nothing after the period is read
        {"W:W5,5:B5.", "W:W5:B5.", 2, 1},  // neither repeated squares nor men on crowning rows are checked
        {"W:W032.", "W:W32:B.", 1, 0},
        {"W:W1,K6:B32,K28.", "W:W1,K6:BK28,32.", 2, 2},
    };
    for (const auto& [text, canonical, wcount, bcount] : cases) {
        historyPush(0);
        position.reversiblePlies = 9;  // a parse resets both
        const std::vector<char> exact(text, text + std::strlen(text) + 1);  // the sanitizer sees reads past it
        int side = 7;
        ASSERT_TRUE(parsePosition(exact.data(), &side)) << text;
        EXPECT_EQ(positionText(position, side), canonical);
        EXPECT_EQ(position.wcount * 100 + position.bcount, wcount * 100 + bcount) << text;
        EXPECT_EQ(position.key, keyFromScratch(position, side)) << text;
        EXPECT_EQ(position.reversiblePlies + gameHistory.length, 0u);
    }
    EXPECT_EQ((std::array{position.wm, position.wk, position.bm, position.bk}),  // square 1 is bit 3
              (std::array{1u << 3, 1u << 6, 1u << 28, 1u << 24}));
}

}  // namespace
}  // namespace tarnvel
