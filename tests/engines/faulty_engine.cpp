// An engine library that fails on purpose, as TARNVEL_FAULT says: "kill"
// dies at its first move, "hang" never answers; otherwise it hands the
// board back unchanged, which no legal move gives.
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "tarnvel/tarnvel.h"

extern "C" TARNVEL_API int TARNVEL_CALL getmove(int[8][8], int, double, char* text, int*, int, int,
                                                int) {
    const char* fault = std::getenv("TARNVEL_FAULT");
    if (fault && std::strcmp(fault, "kill") == 0) raise(SIGKILL);
    while (fault && std::strcmp(fault, "hang") == 0) pause();
    std::strcpy(text, "faulty => value=7");
    return TARNVEL_UNKNOWN;
}

extern "C" TARNVEL_API int TARNVEL_CALL enginecommand(const char*, char* reply) {
    reply[0] = '\0';
    return 0;
}
