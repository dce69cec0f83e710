// The "about" text: who wrote the engine and what it has loaded.
#pragma once

#include <cstddef>

#include "egdb/database.h"

namespace tarnvel {

// Writes the text into reply (capacity bytes, NUL included), truncating
// when it does not fit.
void writeAboutText(char* reply, size_t capacity);

}  // namespace tarnvel
