#include "v2/search/database_probe.h"

#include <atomic>

namespace tarnvel::v2 {

namespace {
// A probe is short next to a thread switch, so waiters spin.
std::atomic_flag probing = ATOMIC_FLAG_INIT;
}  // namespace

int32_t probeDatabaseLocked(const DbQuery& query, int32_t conditional) {
    while (probing.test_and_set(std::memory_order_acquire)) {
    }
    const int32_t result = probeDatabase(&query, conditional);
    probing.clear(std::memory_order_release);
    return result;
}

}  // namespace tarnvel::v2
