// The endgame database on disk: opening, closing, probing.
#pragma once

#include <cstdint>

namespace tarnvel {

// Query words in this order; side 1 = White to move, 2 = Black (only the
// lowest bit is read).
struct DbQuery {
    uint32_t bm, bk, wm, wk;
    uint32_t side;
};

enum DbResult : int32_t { DB_UNKNOWN = 0, DB_WIN = 1, DB_LOSS = 2, DB_DRAW = 3, DB_NOLOOK = 4 };

// Finds the database files under "db", reads their indexes, sets up and
// (unless `preload` is false) preloads the block cache. Progress lines go
// into progressText (bounded by the host text capacity). Returns the
// largest piece count covered, 0 for none. Whatever an earlier opening
// still holds is released first.
int32_t openDatabase(int32_t cacheMegabytes, char* progressText, bool preload = true);

// After an opening without its preload: reads blocks in file order into
// the cache's empty slots (skipping those probes have read) until
// deadlineMs (platform::monotonicMs) passes or none is left to fill. True
// once nothing is left to read, also after an opening that preloaded.
bool continuePreload(int64_t deadlineMs);

// Releases everything openDatabase set up. Returns 1.
int32_t closeDatabase();

// Win, loss or draw for the side to move, or unknown / nolook. With
// conditional 1 only cached blocks are used.
int32_t probeDatabase(const DbQuery* query, int32_t conditional);

// Size of the block cache in 1024-byte blocks (0 before the first opening).
extern int32_t cacheBlocks;

// Whole megabytes of the database cache in use (blocks are 1 KB).
inline int cacheMegabytesInUse() { return cacheBlocks >> 10; }

// Paths of the index files found, one per line.
constexpr int DATABASE_DETAILS_SIZE = 1024;
extern char DatabaseDetails[DATABASE_DETAILS_SIZE];

}  // namespace tarnvel
