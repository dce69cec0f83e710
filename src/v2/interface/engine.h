// Tarnvel 2's answers to the host's two calls; exports.cpp gives them the
// exported names in the library, tools and tests call them directly.
#pragma once

#include <cstdint>

namespace tarnvel::v2 {

int getMove(int board[8][8], int color, double seconds, char* text, int* playNow, int info);
int engineCommand(const char* command, char* reply);

// Allocates the default table unless one exists (at library attach).
void attach();

}  // namespace tarnvel::v2
