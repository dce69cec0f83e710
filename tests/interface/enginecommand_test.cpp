#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <string>

#include "egdb/database.h"
#include "interface/engine_state.h"
#include "interface/history.h"
#include "search/tt.h"
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

// Replies and return codes of the fixed commands; only exact commands match.
TEST_F(EngineCommand, FixedRepliesAndUnknownCommands) {
    cacheBlocks = 262144 + 1023;
    const std::pair<const char*, const char*> cases[] = {
        {"name", "Tarnvel v1.3"}, {"help", "Tarnvel.htm"}, {"get protocolversion", "2"},
        {"get gametype", "21"},   {"get hashsize", "2"},   {"get dbmbytes", "256"}};
    for (const auto& [command, reply] : cases) {
        EXPECT_EQ(send(command), reply);
        EXPECT_EQ(result, 1) << command;
    }
    for (const char* command : {"name ", "Name", "", "get", "about me", "set", "staticeval"}) {
        EXPECT_EQ(send(command), "?") << command;
        EXPECT_EQ(result, 0) << command;
    }
    EXPECT_EQ(enginecommand(nullptr, buffer), 0);
    EXPECT_STREQ(buffer, "?");
    EXPECT_EQ(enginecommand("name", nullptr), 1);
    EXPECT_EQ(enginecommand("set dbmbytes 12", nullptr), 1);
    EXPECT_EQ(requestedDbMegabytes, 12u);
}

// The about text; details that overfill their buffer (not even terminated)
// are cut, and the whole reply at the reply's capacity.
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
    const std::string reply = send("about");
    EXPECT_EQ(reply.size(), static_cast<size_t>(TARNVEL_REPLY_CAPACITY - 1));
    const size_t details = reply.find("\nDatabase Details:\n");
    ASSERT_NE(details, std::string::npos);
    EXPECT_EQ(reply.find_first_not_of('x', details + 19), std::string::npos);
}

// "set hashsize" rounds down to a power of two up to 1024 and leaves the
// reply alone; a missing number or 0 keeps the table (the host's process is
// never ended), and so does the same size.
TEST_F(EngineCommand, SetHashSize) {
    const std::pair<const char*, const char*> cases[] = {
        {"set hashsize 3000", "1024"}, {"set hashsize 700", "512"}, {"set hashsize 300", "256"},
        {"set hashsize 5", "4"},       {"set hashsize 1", "1"},     {"set hashsize  +8", "8"},
        {"set hashsize 99999999999", "1024"}, {"set hashsize 3", "2"}};
    for (const auto& [command, size] : cases) {
        EXPECT_EQ(send(command, "untouched"), "untouched") << command;
        EXPECT_EQ(result, 1);
        EXPECT_EQ(send("get hashsize"), size) << command;
    }
    ttStore(0xABCDEF0123ull, 77, 9, BOUND_LOWER, 3);
    for (const char* command : {"set hashsize 0", "set hashsize", "set hashsize ", "set hashsizeX",
                                "set hashsize x12", "set hashsize -", "set hashsize 2", "set hashsize 3"}) {
        EXPECT_EQ(send(command, "untouched"), "untouched") << command;
        EXPECT_EQ(send("get hashsize"), "2") << command;
    }
    ASSERT_NE(ttProbe(0xABCDEF0123ull), nullptr);
    send("set hashsize 4");
    EXPECT_EQ(ttProbe(0xABCDEF0123ull), nullptr);
}

// The cache size only takes effect at the next move; a missing number keeps
// the request, which reads like "%u".
TEST_F(EngineCommand, SetDbMegabytes) {
    cacheBlocks = 32 * 1024;
    const std::pair<const char*, const char*> cases[] = {
        {"set dbmbytes 64", "64"},   {"set dbmbytes", "64"},  {"set dbmbytes ", "64"},
        {"set dbmbytes many", "64"}, {"set dbmbytes 0", "0"}, {"set dbmbytes -1", "4294967295"},
        {"set dbmbytes 123456789012", "4294967295"}};
    for (const auto& [command, megabytes] : cases) {
        EXPECT_EQ(send(command), std::string(megabytes) + "MB EGTB requested\n(takes effect on first move)");
        EXPECT_EQ(result, 1);
        EXPECT_EQ(std::to_string(requestedDbMegabytes), megabytes);
    }
    EXPECT_EQ(send("get dbmbytes"), "32");
}

TEST_F(EngineCommand, StaticEvaluation) {
    gameHistory.length = 3;
    EXPECT_EQ(send("staticevaluation B:W18,24,27,28,K10,K15:B12,16,20,K22,K25,K29."),
              "Tarnvel v1.3's evaluation with black to move:\n\nmaterial = 40\ndefense  = 0\n"
              "attack   = 7\nSCORE    = 47\nEGTB     = unknown\n");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(gameHistory.length, 0u);
    for (const char* command : {"staticevaluation W:W21,22:B1,2", "staticevaluation W:w21.", "staticevaluation",
                                "staticevaluation ", "staticevaluationX", "staticevaluation W:W33."}) {
        EXPECT_EQ(send(command), std::string("cannot parse: ") + command);
        EXPECT_EQ(result, 1);
    }
}

// The library as a host loads it: the table is there from the start, and
// the entry points are reachable by their plain names, internals are not.
TEST(EngineLibrary, LoadAllocatesTheTable) {
    void* library = dlopen(TARNVEL_BINARY_DIR "/libTarnvel.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto command = reinterpret_cast<int (*)(const char*, char*)>(dlsym(library, "enginecommand"));
    ASSERT_NE(command, nullptr);
    EXPECT_NE(dlsym(library, "getmove"), nullptr);
    EXPECT_EQ(dlsym(library, "_ZN7tarnvel10rootSearchEi"), nullptr);
    char reply[TARNVEL_REPLY_CAPACITY] = "";
    EXPECT_EQ(command("get hashsize", reply), 1);
    EXPECT_STREQ(reply, "256");  // stays loaded, as hosts keep it
}

}  // namespace
}  // namespace tarnvel
