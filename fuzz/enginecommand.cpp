// enginecommand on arbitrary command texts, with a small database open so
// that evaluations of arbitrary positions also probe it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "egdb/database.h"
#include "fuzz_support.h"
#include "interface/engine_state.h"
#include "search/tt.h"
#include "tarnvel/tarnvel.h"

using namespace tarnvel;

namespace {

constexpr char SET_HASHSIZE[] = "set hashsize";
constexpr size_t SET_HASHSIZE_LENGTH = sizeof SET_HASHSIZE - 1;

// Keeps "set hashsize" at 4 MB or less: the point is safety, not
// reallocating a gigabyte per run. Every digit run shrinks to one digit
// below 5, and a minus sign (which would wrap to a huge size) turns plus.
void capHashSize(char* command, size_t size) {
    if (size < SET_HASHSIZE_LENGTH || std::memcmp(command, SET_HASHSIZE, SET_HASHSIZE_LENGTH) != 0) return;
    bool afterDigit = false;
    for (size_t i = SET_HASHSIZE_LENGTH; i < size; ++i) {
        char& c = command[i];
        const bool digit = c >= '0' && c <= '9';
        if (digit) c = afterDigit ? 'x' : static_cast<char>('0' + (c - '0') % 5);
        else if (c == '-') c = '+';
        afterDigit = digit;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::silenceStandardOutput();
    fuzz::enterScratchDirectory();
    fuzz::writeSmallDatabase(3);
    if (!ttAllocate(1)) std::abort();
    char text[TARNVEL_TEXT_CAPACITY];
    dbPieceLimit = static_cast<uint32_t>(openDatabase(1, text));
    if (dbPieceLimit == 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* command = fuzz::terminatedCopy(data, size);
    capHashSize(command, size);
    // Exactly the promised capacity, on the heap: one byte more is caught.
    char* reply = new char[TARNVEL_REPLY_CAPACITY];
    std::memset(reply, 'x', TARNVEL_REPLY_CAPACITY);
    reply[0] = '\0';
    const int result = enginecommand(command, reply);
    if (result != 0 && result != 1) std::abort();
    if (!fuzz::isTerminatedWithin(reply, TARNVEL_REPLY_CAPACITY)) std::abort();
    if (result == 0 && std::strcmp(reply, "?") != 0) std::abort();
    if (ttMegabytes == 0 || ttMegabytes > 4 || !ttEntries) std::abort();
    delete[] reply;
    delete[] command;
    return 0;
}
