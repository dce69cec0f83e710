#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "eval/evaluate.h"
#include "interface/about.h"
#include "interface/engine_name.h"
#include "interface/engine_state.h"
#include "interface/postext.h"
#include "search/score.h"
#include "search/tt.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {

namespace {

void writeReply(char* reply, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(reply, TARNVEL_REPLY_CAPACITY, format, args);
    va_end(args);
}

// A command with an argument matches on its first `length` characters; the
// argument starts after one more (normally a blank). When the command ends
// there, the argument is empty rather than past the text's end.
bool matchesPrefix(const char* command, const char* word, const char** argument) {
    const size_t length = std::strlen(word);
    if (std::strncmp(command, word, length) != 0) return false;
    *argument = command[length] ? command + length + 1 : command + length;
    return true;
}

// Reads an unsigned decimal number the way "%u" does with a 32-bit
// unsigned long (leading blanks, a sign, digits; a minus sign negates
// modulo 2^32), except that a magnitude beyond 32 bits saturates instead
// of being undefined. False when there are no digits.
bool readUnsigned(const char* text, uint32_t* value) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    if (*text < '0' || *text > '9') return false;
    uint64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        magnitude = 10 * magnitude + static_cast<uint64_t>(*text - '0');
        if (magnitude > UINT32_MAX) {
            *value = UINT32_MAX;
            return true;
        }
    }
    const auto result = static_cast<uint32_t>(magnitude);
    *value = negative ? 0u - result : result;
    return true;
}

// The table keeps its size when the number is missing, rounds to 0 or
// cannot be allocated: the host's process is never ended for a setting.
void setHashSize(const char* argument) {
    uint32_t requested;
    if (!readUnsigned(argument, &requested)) return;
    const uint32_t megabytes = ttRoundMegabytes(requested);
    if (megabytes != 0) ttAllocate(megabytes);
}

void setDbMegabytes(const char* argument, char* reply) {
    uint32_t requested;
    if (readUnsigned(argument, &requested)) requestedDbMegabytes = requested;
    writeReply(reply, "%uMB EGTB requested\n(takes effect on first move)", requestedDbMegabytes);
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
