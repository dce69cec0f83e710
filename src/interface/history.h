// The keys of the positions already played, for repetition detection.
#pragma once

#include <cstdint>

namespace tarnvel {

struct GameHistory {
    uint64_t* keys;     // heap array, grown by HISTORY_GROWTH keys at a time
    uint32_t length;    // keys stored
    uint32_t capacity;  // keys the array can hold
};

constexpr uint32_t HISTORY_GROWTH = 256;

extern GameHistory gameHistory;

// Appends a key, growing the array when full. When the array cannot grow
// the key is not recorded (length stays); repetition detection then only
// misses that position, which is safe.
void historyPush(uint64_t key);

}  // namespace tarnvel
