// getmove on arbitrary host boards, colours and info bits at a tiny depth:
// the board comes back a legal successor, or unchanged with a loss, and
// unplayable entries are never written.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>

#include "board/movegen.h"
#include "board/movestack.h"
#include "board/position.h"
#include "fuzz_support.h"
#include "interface/history.h"
#include "interface/hostboard.h"
#include "v13/search/search.h"

using namespace tarnvel;

namespace {

constexpr int CODES[] = {TARNVEL_EMPTY, TARNVEL_WHITE_MAN, TARNVEL_WHITE_KING, TARNVEL_BLACK_MAN, TARNVEL_BLACK_KING};

// The board's four piece sets, read directly: entry [c][r] is bit 4r + c/2.
std::array<uint32_t, 4> piecesOf(const int board[8][8]) {
    std::array<uint32_t, 4> p{};
    for (int c = 0; c < 8; ++c)
        for (int r = (c % 2); r < 8; r += 2)
            for (int k = 1; k < 5; ++k)
                if (board[c][r] == CODES[k]) p[k - 1] |= 1u << (4 * r + c / 2);
    return p;
}

// Boards the side to move can reach, by the engine's own generator.
std::vector<std::array<uint32_t, 4>> successorsOf(const int board[8][8], int white) {
    const Position saved = position;
    const uint32_t length = gameHistory.length;
    importHostBoard(board);
    const Position imported = position;
    plyBase = 0;
    moveCount = 0;
    const Bitboard empty = ~(position.wm | position.wk | position.bm | position.bk);
    if (!generateCaptures(white, empty)) generateNonCaptures(white, empty);
    std::vector<std::array<uint32_t, 4>> successors;
    for (uint32_t i = 0; i < moveCount; ++i) {
        makeMove(i);
        successors.push_back({position.wm, position.wk, position.bm, position.bk});
        position = imported;
        gameHistory.length = length;
    }
    position = saved;
    return successors;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::enterScratchDirectory(true);
    char reply[TARNVEL_REPLY_CAPACITY];
    enginecommand("set hashsize 1", reply);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    int(*board)[8] = new int[8][8];
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 8; ++r) {
            const uint8_t choice = in.ConsumeIntegral<uint8_t>();
            board[c][r] = choice < 240 ? CODES[choice % 5] : in.ConsumeIntegral<int32_t>();
        }
    const int color = in.ConsumeBool() ? in.ConsumeIntegral<int>() : 1 + in.ConsumeIntegralInRange(0, 1);
    const int info = in.ConsumeIntegral<int>();
    searchDepthLimit = in.ConsumeIntegralInRange<uint32_t>(1, 3);
    int before[8][8];
    std::memcpy(before, board, sizeof before);
    const auto successors = successorsOf(board, color == 1);
    char* text = new char[TARNVEL_TEXT_CAPACITY];
    text[0] = '\0';
    int playNow = 0;
    const int result = getmove(board, color, 0.01, text, &playNow, info, 0, 0);
    if (result < TARNVEL_DRAW || result > TARNVEL_UNKNOWN || !std::memchr(text, 0, TARNVEL_TEXT_CAPACITY)) std::abort();
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 8; ++r)
            if (board[c][r] != before[c][r] && ((c + r) % 2 || std::find(CODES, CODES + 5, board[c][r]) == CODES + 5))
                std::abort();
    const bool moved = std::find(successors.begin(), successors.end(), piecesOf(board)) != successors.end();
    if (successors.empty() ? result != TARNVEL_LOSS || piecesOf(board) != piecesOf(before) : result == TARNVEL_LOSS || !moved)
        std::abort();
    delete[] text;
    delete[] board;
    return 0;
}
