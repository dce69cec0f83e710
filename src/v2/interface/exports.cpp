// The library's two entry points, and its set-up when it is loaded.
#include "tarnvel/tarnvel.h"
#include "v2/interface/engine.h"

#ifdef _WIN32
#include <windows.h>
#endif

extern "C" TARNVEL_API int TARNVEL_CALL getmove(int board[8][8], int color, double seconds,
                                                char* text, int* playNow, int info, int, int) {
    return tarnvel::v2::getMove(board, color, seconds, text, playNow, info);
}

extern "C" TARNVEL_API int TARNVEL_CALL enginecommand(const char* command, char* reply) {
    return tarnvel::v2::engineCommand(command, reply);
}

#ifdef _WIN32
// Every notification runs the same code; the table is kept at detach.
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    tarnvel::v2::attach();
    return TRUE;
}
#else
__attribute__((constructor)) static void onLibraryLoad() { tarnvel::v2::attach(); }
#endif
