/* A host built against an installed Tarnvel: one engine move from the
 * initial arrangement must change exactly two squares and return 0…3. */
#include <stdio.h>
#include <tarnvel/tarnvel.h>

int main(void) {
    int board[8][8];
    int before[8][8];
    for (int c = 0; c < 8; ++c) {
        for (int r = 0; r < 8; ++r) {
            const int playable = (c + r) % 2 == 0;
            board[c][r] = !playable ? TARNVEL_EMPTY
                          : r < 3   ? TARNVEL_BLACK_MAN
                          : r > 4   ? TARNVEL_WHITE_MAN
                                    : TARNVEL_EMPTY;
            before[c][r] = board[c][r];
        }
    }
    char reply[TARNVEL_REPLY_CAPACITY] = "";
    char text[TARNVEL_TEXT_CAPACITY] = "";
    int playNow = 0;
    enginecommand("set hashsize 16", reply);
    enginecommand("name", reply);
    const int result = getmove(board, 2, 0.1, text, &playNow, 1, 0, 0);
    int changed = 0;
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 8; ++r)
            changed += board[c][r] != before[c][r];
    printf("%s: %sresult %d, %d squares changed\n", reply, text, result, changed);
    return changed == 2 && result >= TARNVEL_DRAW && result <= TARNVEL_UNKNOWN ? 0 : 1;
}
