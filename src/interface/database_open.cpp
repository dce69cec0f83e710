#include "interface/database_open.h"

#include <cstdint>

#include "egdb/database.h"
#include "interface/engine_state.h"

namespace tarnvel {

void reopenDatabaseIfResized(char* text, bool preload) {
    if (requestedDbMegabytes == activeDbMegabytes) return;
    if (dbPieceLimit != 0) closeDatabase();
    activeDbMegabytes = requestedDbMegabytes;
    // The size is a signed 32-bit number: a request of 2^31 MB or more is
    // negative, which gives a 7- or 8-piece database the smallest cache.
    const auto megabytes = static_cast<int32_t>(requestedDbMegabytes);
    const int32_t limit = openDatabase(megabytes, text, preload);
    dbPieceLimit = limit > 0 ? static_cast<uint32_t>(limit) : 0;
}

}  // namespace tarnvel
