/* Tarnvel — English checkers engine. The two entry points a host board
 * program calls. Hosts include only this header. */
#ifndef TARNVEL_TARNVEL_H
#define TARNVEL_TARNVEL_H

#include <stdint.h>

#if defined(_WIN32)
#define TARNVEL_CALL __stdcall
#define TARNVEL_API
#else
#define TARNVEL_CALL
#define TARNVEL_API __attribute__((visibility("default")))
#endif

/* The host does not pass its buffers' sizes, so these are the contract:
 * getmove writes at most TARNVEL_TEXT_CAPACITY bytes (NUL included) into
 * its text buffer, enginecommand at most TARNVEL_REPLY_CAPACITY bytes into
 * its reply. Longer texts are truncated. */
#define TARNVEL_TEXT_CAPACITY 256
#define TARNVEL_REPLY_CAPACITY 1024

/* Piece codes of the host board, indexed board[column][row]. */
#define TARNVEL_EMPTY 0
#define TARNVEL_WHITE_MAN 5
#define TARNVEL_WHITE_KING 9
#define TARNVEL_BLACK_MAN 6
#define TARNVEL_BLACK_KING 10

/* Result codes of getmove, for the side to move. */
#define TARNVEL_DRAW 0
#define TARNVEL_WIN 1
#define TARNVEL_LOSS 2
#define TARNVEL_UNKNOWN 3

#ifdef __cplusplus
extern "C" {
#endif

/* Plays one move: reads the position from board (color 1 = White to move,
 * anything else Black), searches for about seconds, writes the position
 * after the move back into board and a one-line summary into text.
 * *playNow may be set by another thread to stop the search early.
 * Bit 0 of info starts a new game. */
TARNVEL_API int TARNVEL_CALL getmove(int board[8][8], int color, double seconds, char* text,
                                     int* playNow, int info, int reserved1, int reserved2);

/* Answers one text command ("name", "about", "get hashsize", ...) into
 * reply. Returns 1 for a known command, 0 otherwise. */
TARNVEL_API int TARNVEL_CALL enginecommand(const char* command, char* reply);

#ifdef __cplusplus
}
#endif

#endif
