#include <algorithm>
#include <cstdio>
#include <cstring>

#include "egdb/database.h"
#include "interface/command_args.h"
#include "interface/engine_state.h"
#include "interface/postext.h"
#include "tarnvel/tarnvel.h"
#include "v2/eval/evaluate.h"
#include "v2/interface/engine.h"
#include "v2/interface/engine_name.h"
#include "v2/search/search.h"
#include "v2/search/tt.h"

namespace tarnvel::v2 {

namespace {

constexpr uint32_t DEFAULT_TABLE_MEGABYTES = 256;
constexpr uint32_t LARGEST_TABLE_MEGABYTES = 1024;
constexpr const char* HELP_FILE = "Tarnvel2.htm";
constexpr const char* WEB_ADDRESS = "https://tarnvel.example.org";
constexpr size_t DETAILS_PART_SIZE = 1024;

// The largest power of two MB not above the request and the limit; 0 for 0.
uint32_t roundedMegabytes(uint32_t requested) {
    uint32_t size = LARGEST_TABLE_MEGABYTES;
    while (size > requested) size /= 2;
    return size;
}

// A request that rounds to nothing or cannot be had keeps the table.
void setHashSize(const char* argument) {
    uint32_t requested;
    if (!readUnsigned(argument, &requested)) return;
    const uint32_t megabytes = roundedMegabytes(requested);
    if (megabytes != 0) tt.resize(megabytes);
}

// 0 or a word that is not a number keeps the threads; more than the most
// gives the most.
void setThreads(const char* argument) {
    uint32_t requested;
    if (!readUnsigned(argument, &requested) || requested == 0) return;
    setSearchThreads(static_cast<int>(std::min<uint32_t>(requested, MAX_SEARCH_THREADS)));
}

void writeAbout(char* reply) {
    char details[DETAILS_PART_SIZE];
    const void* end = std::memchr(DatabaseDetails, '\0', DATABASE_DETAILS_SIZE);
    const int detailsLength = end ? static_cast<int>(static_cast<const char*>(end) - DatabaseDetails)
                                  : DATABASE_DETAILS_SIZE;
    std::snprintf(details, sizeof details, "\nDatabase Details:\n%.*s", detailsLength,
                  DatabaseDetails);
    writeReply(reply,
               "%s by the Tarnvel developers\n%s\n\n"
               "Principal-variation search with aspiration windows, a bucketed\n"
               "transposition table, killer and history move ordering,\n"
               "late-move reductions, probability cuts and static pruning;\n"
               "an evaluation learned from self-play games and endgame\n"
               "databases.\n\n"
               "%uMB transposition table (%d-byte entries, %d to a %d-byte bucket)\n\n"
               "%dMB endgames cache (%u-piece)\n%s",
               ENGINE_NAME, WEB_ADDRESS, tt.megabytes(), static_cast<int>(sizeof(TTEntry)),
               TT_BUCKET_ENTRIES, static_cast<int>(sizeof(TTBucket)), cacheMegabytesInUse(),
               dbPieceLimit, details);
}

void staticEvaluation(const char* command, const char* argument, char* reply) {
    int whiteToMove = 0;
    if (!parsePosition(argument, &whiteToMove)) {
        writeReply(reply, "cannot parse: %s", command);
        return;
    }
    writeEvaluationReport(position, whiteToMove, reply, TARNVEL_REPLY_CAPACITY);
}

int answer(const char* command, char* reply) {
    const char* argument = nullptr;
    if (!std::strcmp(command, "name")) writeReply(reply, "%s", ENGINE_NAME);
    else if (!std::strcmp(command, "about")) writeAbout(reply);
    else if (!std::strcmp(command, "help")) writeReply(reply, "%s", HELP_FILE);
    else if (!std::strcmp(command, "get protocolversion")) writeReply(reply, "2");
    else if (!std::strcmp(command, "get gametype")) writeReply(reply, "21");
    else if (!std::strcmp(command, "get hashsize")) writeReply(reply, "%u", tt.megabytes());
    else if (!std::strcmp(command, "get dbmbytes")) writeReply(reply, "%d", cacheMegabytesInUse());
    else if (!std::strcmp(command, "get threads")) writeReply(reply, "%d", searchThreads());
    else if (matchesPrefix(command, "set hashsize", &argument)) setHashSize(argument);
    else if (matchesPrefix(command, "set threads", &argument)) setThreads(argument);
    else if (matchesPrefix(command, "set dbmbytes", &argument)) setDbMegabytes(argument, reply);
    else if (matchesPrefix(command, "staticevaluation", &argument))
        staticEvaluation(command, argument, reply);
    else {
        writeReply(reply, "?");
        return 0;
    }
    return 1;
}

}  // namespace

int engineCommand(const char* command, char* reply) {
    // Without a reply buffer the command still runs; its reply goes nowhere.
    char discardedReply[TARNVEL_REPLY_CAPACITY];
    char* out = reply ? reply : discardedReply;
    if (!command) {
        writeReply(out, "?");
        return 0;
    }
    return answer(command, out);
}

void attach() {
    if (tt.megabytes() == 0) tt.resize(DEFAULT_TABLE_MEGABYTES);
}

}  // namespace tarnvel::v2
