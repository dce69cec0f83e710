// getmove on arbitrary host boards (any 32-bit values, any colour, any
// info bits) under a tiny depth limit: the board comes back as a legal
// successor of the imported position, or unchanged with result 2, and the
// entries that are not playable are never written.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "board/movegen.h"
#include "board/movestack.h"
#include "board/position.h"
#include "fuzz_support.h"
#include "interface/history.h"
#include "interface/hostboard.h"
#include "search/search.h"
#include "tarnvel/tarnvel.h"

using namespace tarnvel;

namespace {

constexpr int PIECE_CODES[] = {TARNVEL_EMPTY, TARNVEL_WHITE_MAN, TARNVEL_WHITE_KING, TARNVEL_BLACK_MAN,
                               TARNVEL_BLACK_KING};
constexpr uint32_t DEEPEST_LIMIT = 3;

struct Pieces {
    uint32_t wm, wk, bm, bk;
    bool operator==(const Pieces&) const = default;
};

bool isPlayable(int column, int row) { return (column + row) % 2 == 0; }

// The board read directly: entry [c][r] is bit 4r + c/2.
Pieces piecesOf(const int board[8][8]) {
    Pieces p{};
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 8; ++r) {
            if (!isPlayable(c, r)) continue;
            const uint32_t bit = 1u << (4 * r + c / 2);
            switch (board[c][r]) {
                case TARNVEL_WHITE_MAN: p.wm |= bit; break;
                case TARNVEL_WHITE_KING: p.wk |= bit; break;
                case TARNVEL_BLACK_MAN: p.bm |= bit; break;
                case TARNVEL_BLACK_KING: p.bk |= bit; break;
                default: break;
            }
        }
    return p;
}

// Every position the side to move can reach, by the engine's own
// generator, leaving the engine's state as it was.
std::vector<Pieces> legalSuccessors(const int board[8][8], int whiteToMove) {
    const Position saved = position;
    const uint32_t savedLength = gameHistory.length;
    importHostBoard(board);
    const Position imported = position;
    plyBase = 0;
    moveCount = 0;
    const Bitboard empty = ~(position.wm | position.wk | position.bm | position.bk);
    if (!generateCaptures(whiteToMove, empty)) generateNonCaptures(whiteToMove, empty);
    std::vector<Pieces> successors;
    for (uint32_t i = 0; i < moveCount; ++i) {
        makeMove(i);
        successors.push_back({position.wm, position.wk, position.bm, position.bk});
        position = imported;
        gameHistory.length = savedLength;
    }
    position = saved;
    return successors;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::silenceStandardOutput();
    fuzz::enterScratchDirectory();
    fuzz::writeSmallDatabase(3);
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
            board[c][r] = choice < 240 ? PIECE_CODES[choice % 5] : in.ConsumeIntegral<int32_t>();
        }
    const int color = in.ConsumeBool() ? in.ConsumeIntegral<int>() : 1 + in.ConsumeIntegralInRange(0, 1);
    const int info = in.ConsumeIntegral<int>();
    searchDepthLimit = in.ConsumeIntegralInRange<uint32_t>(1, DEEPEST_LIMIT);

    int before[8][8];
    std::memcpy(before, board, sizeof before);
    const std::vector<Pieces> successors = legalSuccessors(board, color == 1);
    char* text = new char[TARNVEL_TEXT_CAPACITY];
    text[0] = '\0';
    int* playNow = new int(0);

    const int result = getmove(board, color, 0.01, text, playNow, info, 0, 0);

    if (result < TARNVEL_DRAW || result > TARNVEL_UNKNOWN) std::abort();
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 8; ++r) {
            if (!isPlayable(c, r)) {
                if (board[c][r] != before[c][r]) std::abort();
            } else if (board[c][r] != before[c][r] &&
                       std::find(std::begin(PIECE_CODES), std::end(PIECE_CODES), board[c][r]) ==
                           std::end(PIECE_CODES)) {
                std::abort();
            }
        }
    if (successors.empty()) {
        if (result != TARNVEL_LOSS || piecesOf(board) != piecesOf(before)) std::abort();
    } else {
        if (result == TARNVEL_LOSS) std::abort();
        if (std::find(successors.begin(), successors.end(), piecesOf(board)) == successors.end()) std::abort();
    }
    if (!fuzz::isTerminatedWithin(text, TARNVEL_TEXT_CAPACITY)) std::abort();
    delete playNow;
    delete[] text;
    delete[] board;
    return 0;
}
