// parsePosition on arbitrary texts, checked against a plain reading of the
// position-text grammar.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "board/position.h"
#include "board/squares.h"
#include "fuzz_support.h"
#include "interface/history.h"
#include "interface/postext.h"

using namespace tarnvel;

namespace {

struct Parsed {
    bool ok;
    int whiteToMove;
    uint32_t wm, wk, bm, bk, wcount, bcount;
};

// The grammar, character by character; numbers are read whole and must
// name a square 1 … 32.
Parsed referenceParse(const char* text) {
    Parsed p{};
    if (*text == '\0') return p;
    p.whiteToMove = *text++ == 'W';
    bool white = true, king = false;
    for (;;) {
        const char c = *text;
        if (c == '.') {
            p.ok = true;
            return p;
        }
        if (c == ',' || c == ':') {
            king = false;
        } else if (c == 'W' || c == 'B') {
            white = c == 'W';
            king = false;
        } else if (c == 'K') {
            king = true;
        } else if (c >= '0' && c <= '9') {
            long long number = 0;
            while (*text >= '0' && *text <= '9') {
                if (number < 1000) number = number * 10 + (*text - '0');
                ++text;
            }
            if (number < 1 || number > 32) return p;
            const uint32_t bit = 1u << bitOfSquareNumber(static_cast<int>(number));
            (white ? (king ? p.wk : p.wm) : (king ? p.bk : p.bm)) |= bit;
            ++(white ? p.wcount : p.bcount);
            continue;
        } else {
            return p;
        }
        ++text;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* text = fuzz::terminatedCopy(data, size);
    position.key = 0x1234;
    position.reversiblePlies = 7;
    gameHistory.length = 0;
    int whiteToMove = -1;
    const bool ok = parsePosition(text, &whiteToMove);
    const Parsed expected = referenceParse(text);
    if (ok != expected.ok) std::abort();
    if (ok) {
        if (whiteToMove != expected.whiteToMove) std::abort();
        if (position.key != keyFromScratch(position, whiteToMove) || position.reversiblePlies != 0) std::abort();
    } else if (position.key != 0x1234 || position.reversiblePlies != 7 || whiteToMove != -1) {
        std::abort();
    }
    // Accepted or not, the board holds what was read before the stop.
    if (text[0] != '\0' && (position.wm != expected.wm || position.wk != expected.wk || position.bm != expected.bm ||
                     position.bk != expected.bk || position.wcount != expected.wcount ||
                     position.bcount != expected.bcount))
        std::abort();
    delete[] text;
    return 0;
}
