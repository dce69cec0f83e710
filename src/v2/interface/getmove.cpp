#include <cmath>
#include <cstdint>

#include "egdb/database.h"
#include "interface/database_open.h"
#include "interface/hostboard.h"
#include "platform/clock.h"
#include "tarnvel/tarnvel.h"
#include "v2/interface/engine.h"
#include "v2/interface/game_track.h"
#include "v2/search/fixed_depth.h"
#include "v2/search/search.h"

namespace tarnvel::v2 {

namespace {

constexpr int INFO_NEW_GAME = 1;
constexpr int HOST_COLOR_WHITE = 1;
constexpr double MS_PER_SECOND = 1000.0;
constexpr int64_t LONGEST_ALLOWANCE_MS = INT32_MAX;
// The database's preload may take this share of each move's allowance
// until it is done; the search reads what it needs before then.
constexpr int64_t PRELOAD_SHARE_DIVISOR = 4;

// The host's allowance in whole ms; NaN and negative allowances give 0.
int64_t allowanceMs(double seconds) {
    const double ms = MS_PER_SECOND * seconds;
    if (std::isnan(ms) || ms <= 0.0) return 0;
    if (ms >= static_cast<double>(LONGEST_ALLOWANCE_MS)) return LONGEST_ALLOWANCE_MS;
    return static_cast<int64_t>(ms);
}

}  // namespace

int getMove(int board[8][8], int color, double seconds, char* text, int* playNow, int info) {
    // The allowance runs from the host's call, database opening included.
    const int64_t startMs = platform::monotonicMs();
    const int64_t allowance = allowanceMs(seconds);
    char discardedText[TARNVEL_TEXT_CAPACITY] = "";
    char* report = text ? text : discardedText;
    reopenDatabaseIfResized(report, /*preload=*/false);
    continuePreload(startMs + allowance / PRELOAD_SHARE_DIVISOR);
    if (info & INFO_NEW_GAME) {
        startNewGame();
        gameTrack.newGame();
    }

    const int whiteToMove = color == HOST_COLOR_WHITE ? 1 : 0;
    importHostBoard(board);
    Position root = position;
    gameTrack.arrive(root, whiteToMove);

    SearchLimits limits;
    limits.startMs = startMs;
    limits.allowanceMs = allowance;
    limits.maxDepth = static_cast<int>(searchDepthLimit);
    limits.playNow = playNow;
    const GameContext game{gameTrack.keys.data(), static_cast<int>(gameTrack.keys.size())};
    const SearchResult result =
        searchPosition(root, whiteToMove, game, limits, report, TARNVEL_TEXT_CAPACITY);
    if (!result.hasMove) return result.resultCode;

    Position after = root;
    applyMove(after, result.move);
    gameTrack.played(root, after, !whiteToMove);
    position = after;
    exportHostBoard(board);
    return result.resultCode;
}

}  // namespace tarnvel::v2
