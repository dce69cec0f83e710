#include <cmath>
#include <cstdint>

#include "board/position.h"
#include "interface/database_open.h"
#include "interface/engine_state.h"
#include "interface/history.h"
#include "interface/hostboard.h"
#include "platform/clock.h"
#include "v13/search/search.h"
#include "v13/search/tt.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel {

namespace {

constexpr int INFO_NEW_GAME = 1;
constexpr int HOST_COLOR_WHITE = 1;
constexpr double MS_PER_SECOND_WITH_MARGIN = 1100.0;  // 1.1 × the allowance

// 1.1 × seconds in ms, truncated toward zero; NaN and negative allowances
// give 0 and huge ones the largest 32-bit budget instead of overflowing.
int64_t budgetFromSeconds(double seconds) {
    const double ms = MS_PER_SECOND_WITH_MARGIN * seconds;
    if (std::isnan(ms) || ms <= 0.0) return 0;
    if (ms >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    return static_cast<int32_t>(ms);
}

}  // namespace

}  // namespace tarnvel

extern "C" TARNVEL_API int TARNVEL_CALL getmove(int board[8][8], int color, double seconds,
                                                char* text, int* playNow, int info, int, int) {
    using namespace tarnvel;
    // A host that passes no text buffer still gets the database opened;
    // its progress lines go nowhere.
    char discardedText[TARNVEL_TEXT_CAPACITY] = "";
    reopenDatabaseIfResized(text ? text : discardedText);

    // The move's clock starts here, so that it counts the new game's table
    // clear as the host counts it. Opening the database at the first move
    // stays outside, as the table's allocation at load does.
    const int64_t startMs = platform::monotonicMs();
    if (info & INFO_NEW_GAME) {
        ttClear();
        position.reversiblePlies = 0;
        gameHistory.length = 0;
    }
    timeBudgetMs = budgetFromSeconds(seconds);
    hostText = text;
    playNowFlag = playNow;

    const int whiteToMove = color == HOST_COLOR_WHITE ? 1 : 0;
    importHostBoard(board);
    historyParityStep(whiteToMove);
    position.key = keyFromScratch(position, whiteToMove);

    const int result = rootSearch(whiteToMove, startMs);
    exportHostBoard(board);
    // The buffers belong to the host again once the call returns.
    hostText = nullptr;
    playNowFlag = nullptr;
    return result;
}
