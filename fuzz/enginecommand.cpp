// enginecommand on arbitrary command texts, with a small database open so
// that evaluations of arbitrary positions also probe it.
#include "fuzz_support.h"
#include "interface/engine_state.h"
#include "v13/search/tt.h"

using namespace tarnvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::enterScratchDirectory(true);
    if (!ttAllocate(1)) std::abort();
    char text[TARNVEL_TEXT_CAPACITY];
    dbPieceLimit = static_cast<uint32_t>(openDatabase(1, text));
    if (dbPieceLimit == 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* command = fuzz::terminatedCopy(data, size);
    // "set hashsize" kept at 4 MB or less: one digit below 5 per number, no minus.
    if (std::strncmp(command, "set hashsize", 12) == 0)
        for (size_t i = 12, afterDigit = 0; i < size; ++i) {
            char& c = command[i];
            const bool digit = c >= '0' && c <= '9';
            if (digit) c = afterDigit ? 'x' : static_cast<char>('0' + (c - '0') % 5);
            if (c == '-') c = '+';
            afterDigit = digit;
        }
    // Exactly the promised capacity, on the heap: one byte more is caught.
    char* reply = new char[TARNVEL_REPLY_CAPACITY];
    std::memset(reply, 'x', TARNVEL_REPLY_CAPACITY);
    reply[0] = '\0';
    const int result = enginecommand(command, reply);
    if ((result != 0 && result != 1) || !std::memchr(reply, 0, TARNVEL_REPLY_CAPACITY)) std::abort();
    if ((result == 0 && std::strcmp(reply, "?") != 0) || ttMegabytes == 0 || ttMegabytes > 4 || !ttEntries) std::abort();
    delete[] reply;
    delete[] command;
    return 0;
}
