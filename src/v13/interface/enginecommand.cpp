#include <cstdint>
#include <cstdio>
#include <cstring>

#include "v13/eval/evaluate.h"
#include "v13/interface/about.h"
#include "v13/interface/engine_name.h"
#include "interface/command_args.h"
#include "interface/engine_state.h"
#include "interface/postext.h"
#include "v13/search/score.h"
#include "v13/search/tt.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {

namespace {

// The table keeps its size when the number is missing, rounds to 0 or
// cannot be allocated: the host's process is never ended for a setting.
void setHashSize(const char* argument) {
    uint32_t requested;
    if (!readUnsigned(argument, &requested)) return;
    const uint32_t megabytes = ttRoundMegabytes(requested);
    if (megabytes != 0) ttAllocate(megabytes);
}

void staticEvaluation(const char* command, const char* argument, char* reply) {
    int whiteToMove = 0;
    if (!parsePosition(argument, &whiteToMove)) {
        writeReply(reply, "cannot parse: %s", command);
        return;
    }
    evaluate(whiteToMove, -SCORE_INFINITE, SCORE_INFINITE, reply, TARNVEL_REPLY_CAPACITY);
}

int answer(const char* command, char* reply) {
    const char* argument = nullptr;
    if (!std::strcmp(command, "name")) writeReply(reply, "%s", ENGINE_NAME);
    else if (!std::strcmp(command, "about")) writeAboutText(reply, TARNVEL_REPLY_CAPACITY);
    else if (!std::strcmp(command, "help")) writeReply(reply, "Tarnvel.htm");
    else if (!std::strcmp(command, "get protocolversion")) writeReply(reply, "2");
    else if (!std::strcmp(command, "get gametype")) writeReply(reply, "21");
    else if (!std::strcmp(command, "get hashsize")) writeReply(reply, "%u", ttMegabytes);
    else if (!std::strcmp(command, "get dbmbytes"))
        writeReply(reply, "%d", cacheMegabytesInUse());
    else if (matchesPrefix(command, "set hashsize", &argument)) setHashSize(argument);
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

}  // namespace tarnvel

extern "C" TARNVEL_API int TARNVEL_CALL enginecommand(const char* command, char* reply) {
    // Without a reply buffer the command still runs; its reply goes nowhere.
    char discardedReply[TARNVEL_REPLY_CAPACITY];
    char* out = reply ? reply : discardedReply;
    if (!command) {
        tarnvel::writeReply(out, "?");
        return 0;
    }
    return tarnvel::answer(command, out);
}
