#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <string>

#include "egdb/database.h"
#include "interface/engine_state.h"
#include "interface/history.h"
#include "platform/memory.h"
#include "search/tt.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {
namespace {

constexpr char GUARD = '#';

class EngineCommand : public ::testing::Test {
protected:
    // Room past the reply's capacity to catch overruns.
    char buffer[TARNVEL_REPLY_CAPACITY + 64];
    int result = -1;

    void SetUp() override {
        ASSERT_TRUE(ttAllocate(2));
        savedRequested = requestedDbMegabytes;
        savedBlocks = cacheBlocks;
        savedLimit = dbPieceLimit;
        std::memcpy(savedDetails, DatabaseDetails, sizeof savedDetails);
    }
    void TearDown() override {
        requestedDbMegabytes = savedRequested;
        cacheBlocks = savedBlocks;
        dbPieceLimit = savedLimit;
        std::memcpy(DatabaseDetails, savedDetails, sizeof savedDetails);
    }

    std::string send(const char* command, const char* prefill = "") {
        std::memset(buffer, GUARD, sizeof buffer);
        std::strcpy(buffer, prefill);
        result = enginecommand(command, buffer);
        for (size_t i = TARNVEL_REPLY_CAPACITY; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], GUARD);
        return buffer;
    }

private:
    uint32_t savedRequested = 0, savedLimit = 0;
    int32_t savedBlocks = 0;
    char savedDetails[DATABASE_DETAILS_SIZE];
};

TEST_F(EngineCommand, FixedReplies) {
    EXPECT_EQ(send("name"), "Tarnvel v1.3");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(send("help"), "Tarnvel.htm");
    EXPECT_EQ(send("get protocolversion"), "2");
    EXPECT_EQ(send("get gametype"), "21");
    EXPECT_EQ(send("get hashsize"), "2");
    cacheBlocks = 262144 + 1023;
    EXPECT_EQ(send("get dbmbytes"), "256");
    EXPECT_EQ(result, 1);
}

TEST_F(EngineCommand, UnknownAndInexactCommands) {
    for (const char* command : {"name ", "Name", "", "get", "about me", "set", "staticeval"}) {
        EXPECT_EQ(send(command), "?") << command;
        EXPECT_EQ(result, 0) << command;
    }
}

TEST_F(EngineCommand, AboutText) {
    cacheBlocks = 64 * 1024;
    dbPieceLimit = 6;
    std::strcpy(DatabaseDetails, "db/db2-4.idx\ndb/db5.idx\n");
    EXPECT_EQ(send("about"),
              "Tarnvel v1.3 by the Tarnvel developers\n"
              "https://tarnvel.example.org\n"
              "\n"
              "2MB transposition table (8-byte)\n"
              "\n"
              "64MB endgames cache (6-piece)\n"
              "(endgame database access by the Tarnvel developers)\n"
              "\n"
              "Database Details:\n"
              "db/db2-4.idx\ndb/db5.idx\n");
    EXPECT_EQ(result, 1);
}

// A description that fills (or overfills) its buffer is cut at 1024
// characters for its part, and the whole reply at the reply's capacity.
TEST_F(EngineCommand, AboutTextIsBounded) {
    std::memset(DatabaseDetails, 'x', DATABASE_DETAILS_SIZE);  // not even terminated
    const std::string reply = send("about");
    EXPECT_EQ(reply.size(), static_cast<size_t>(TARNVEL_REPLY_CAPACITY - 1));
    const size_t details = reply.find("\nDatabase Details:\n");
    ASSERT_NE(details, std::string::npos);
    EXPECT_EQ(reply.find_first_not_of('x', details + 19), std::string::npos);
}

TEST_F(EngineCommand, SetHashSizeRoundsDownAndLeavesTheReplyAlone) {
    const std::pair<const char*, const char*> cases[] = {
        {"set hashsize 3000", "1024"}, {"set hashsize 700", "512"}, {"set hashsize 300", "256"},
        {"set hashsize 5", "4"},       {"set hashsize 1", "1"},     {"set hashsize  +8", "8"},
        {"set hashsize 99999999999", "1024"},
    };
    for (const auto& [command, size] : cases) {
        EXPECT_EQ(send(command, "untouched"), "untouched") << command;
        EXPECT_EQ(result, 1);
        EXPECT_EQ(send("get hashsize"), size) << command;
    }
    ASSERT_TRUE(ttAllocate(2));
}

TEST_F(EngineCommand, SameHashSizeKeepsTheEntries) {
    ttStore(0xABCDEF0123ull, 77, 9, BOUND_LOWER, 3);
    send("set hashsize 3");  // rounds to the current 2
    ASSERT_NE(ttProbe(0xABCDEF0123ull), nullptr);
    EXPECT_EQ(ttProbe(0xABCDEF0123ull)->score, 77);
    send("set hashsize 4");
    EXPECT_EQ(ttProbe(0xABCDEF0123ull), nullptr);
}

// None of these may end the host's process: the table stays as it was.
TEST_F(EngineCommand, BadHashSizesKeepTheTable) {
    ttStore(0xABCDEF0123ull, 77, 9, BOUND_LOWER, 3);
    for (const char* command : {"set hashsize 0", "set hashsize", "set hashsize ", "set hashsizeX",
                                "set hashsize x12", "set hashsize -"}) {
        EXPECT_EQ(send(command, "untouched"), "untouched") << command;
        EXPECT_EQ(result, 1);
        EXPECT_EQ(send("get hashsize"), "2") << command;
    }
    platform::failNextAllocations(1);
    send("set hashsize 16");
    EXPECT_EQ(send("get hashsize"), "2");
    EXPECT_NE(ttProbe(0xABCDEF0123ull), nullptr);
}

TEST_F(EngineCommand, SetDbMegabytesTakesEffectLater) {
    cacheBlocks = 32 * 1024;
    EXPECT_EQ(send("set dbmbytes 64"), "64MB EGTB requested\n(takes effect on first move)");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(requestedDbMegabytes, 64u);
    EXPECT_EQ(send("get dbmbytes"), "32");
    // No number: the request stays and the reply still comes.
    for (const char* command : {"set dbmbytes", "set dbmbytes ", "set dbmbytes many"})
        EXPECT_EQ(send(command), "64MB EGTB requested\n(takes effect on first move)") << command;
    EXPECT_EQ(send("set dbmbytes 0"), "0MB EGTB requested\n(takes effect on first move)");
    EXPECT_EQ(send("set dbmbytes -1"), "4294967295MB EGTB requested\n(takes effect on first move)");
    EXPECT_EQ(send("set dbmbytes 123456789012"),
              "4294967295MB EGTB requested\n(takes effect on first move)");
}

TEST_F(EngineCommand, StaticEvaluationReports) {
    gameHistory.length = 3;
    EXPECT_EQ(send("staticevaluation B:W18,24,27,28,K10,K15:B12,16,20,K22,K25,K29."),
              "Tarnvel v1.3's evaluation with black to move:\n\nmaterial = 40\ndefense  = 0\n"
              "attack   = 7\nSCORE    = 47\nEGTB     = unknown\n");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(gameHistory.length, 0u);
    EXPECT_EQ(send("staticevaluation W:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,"
                   "11,12."),
              "Tarnvel v1.3's evaluation with white to move:\n\nmaterial = 0\ndefense  = 0\n"
              "attack   = 0\nSCORE    = 0\nEGTB     = unknown\n");
}

TEST_F(EngineCommand, StaticEvaluationRefusesBadText) {
    const char* bad[] = {
        "staticevaluation W:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12",
        "staticevaluation W:w21.",
        "staticevaluation",
        "staticevaluation ",
        "staticevaluationX",
        "staticevaluation W:W33.",
    };
    for (const char* command : bad) {
        EXPECT_EQ(send(command), std::string("cannot parse: ") + command);
        EXPECT_EQ(result, 1);
    }
}

TEST_F(EngineCommand, NullArgumentsAreAbsent) {
    EXPECT_EQ(enginecommand(nullptr, buffer), 0);
    EXPECT_STREQ(buffer, "?");
    EXPECT_EQ(enginecommand("name", nullptr), 1);
    EXPECT_EQ(enginecommand("set dbmbytes 12", nullptr), 1);
    EXPECT_EQ(requestedDbMegabytes, 12u);
}

// The library as a host loads it: the table is there from the start, and
// the two entry points are reachable by their plain names.
TEST(EngineLibrary, LoadAllocatesTheTableAndExportsBothEntryPoints) {
    void* library = dlopen(TARNVEL_BINARY_DIR "/libTarnvel.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    using Command = int (*)(const char*, char*);
    const auto command = reinterpret_cast<Command>(dlsym(library, "enginecommand"));
    ASSERT_NE(command, nullptr);
    EXPECT_NE(dlsym(library, "getmove"), nullptr);
    EXPECT_EQ(dlsym(library, "_ZN7tarnvel10rootSearchEi"), nullptr);  // internals stay hidden
    char reply[TARNVEL_REPLY_CAPACITY] = "";
    EXPECT_EQ(command("get hashsize", reply), 1);
    EXPECT_STREQ(reply, "256");
    // Stays loaded, as hosts keep it: the table lives until the process ends.
}

}  // namespace
}  // namespace tarnvel
