#include "interface/command_args.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "interface/engine_state.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {

void writeReply(char* reply, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(reply, TARNVEL_REPLY_CAPACITY, format, args);
    va_end(args);
}

bool matchesPrefix(const char* command, const char* word, const char** argument) {
    const size_t length = std::strlen(word);
    if (std::strncmp(command, word, length) != 0) return false;
    *argument = command[length] ? command + length + 1 : command + length;
    return true;
}

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

void setDbMegabytes(const char* argument, char* reply) {
    uint32_t requested;
    if (readUnsigned(argument, &requested)) requestedDbMegabytes = requested;
    writeReply(reply, "%uMB EGTB requested\n(takes effect on first move)", requestedDbMegabytes);
}

}  // namespace tarnvel
