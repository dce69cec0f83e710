#include "interface/history.h"

#include "platform/memory.h"

namespace tarnvel {

GameHistory gameHistory;

void historyPush(uint64_t key) {
    if (gameHistory.length >= gameHistory.capacity) {
        const uint64_t newCapacity = uint64_t{gameHistory.capacity} + HISTORY_GROWTH;
        if (newCapacity > UINT32_MAX) return;
        auto* grown = static_cast<uint64_t*>(
            platform::reallocArray(gameHistory.keys, newCapacity, sizeof(uint64_t)));
        if (!grown) return;
        gameHistory.keys = grown;
        gameHistory.capacity = static_cast<uint32_t>(newCapacity);
    }
    gameHistory.keys[gameHistory.length++] = key;
}

}  // namespace tarnvel
