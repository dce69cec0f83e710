// parsePosition on arbitrary texts, checked against a plain reading of the
// position-text grammar.
#include <tuple>

#include "board/position.h"
#include "board/squares.h"
#include "fuzz_support.h"
#include "interface/history.h"
#include "interface/postext.h"

using namespace tarnvel;

namespace {

// The grammar, character by character; numbers are read whole and must
// name a square 1 … 32. Pieces read before a stop stay on the board.
bool referenceParse(const char* text, Position& p, int& whiteToMove) {
    if (*text == '\0') return false;
    whiteToMove = *text++ == 'W';
    bool white = true, king = false;
    for (;; ++text) {
        const char c = *text;
        if (c == '.') return true;
        if (c == 'W' || c == 'B') white = c == 'W';
        if (c == 'K') {
            king = true;
        } else if (c >= '0' && c <= '9') {
            long number = 0;
            for (; *text >= '0' && *text <= '9'; ++text) number = std::min(number * 10 + (*text - '0'), 1000l);
            if (number < 1 || number > 32) return false;
            (white ? (king ? p.wk : p.wm) : (king ? p.bk : p.bm)) |= 1u << bitOfSquareNumber(static_cast<int>(number));
            ++(white ? p.wcount : p.bcount);
            --text;
        } else if (c == ',' || c == ':' || c == 'W' || c == 'B') {
            king = false;
        } else {
            return false;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* text = fuzz::terminatedCopy(data, size);
    position.key = 0x1234;
    position.reversiblePlies = 7;
    gameHistory.length = 0;
    int whiteToMove = -1, expectedSide = -1;
    Position expected{};
    const bool ok = parsePosition(text, &whiteToMove);
    if (ok != referenceParse(text, expected, expectedSide)) std::abort();
    if (ok && (whiteToMove != expectedSide || position.key != keyFromScratch(position, whiteToMove) ||
               position.reversiblePlies != 0))
        std::abort();
    if (!ok && (position.key != 0x1234 || position.reversiblePlies != 7 || whiteToMove != -1)) std::abort();
    const auto pieces = [](const Position& p) { return std::tuple(p.wm, p.wk, p.bm, p.bk, p.wcount, p.bcount); };
    if (text[0] != '\0' && pieces(position) != pieces(expected)) std::abort();
    delete[] text;
    return 0;
}
