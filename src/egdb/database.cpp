#include "egdb/database.h"

namespace tarnvel {

int32_t cacheBlocks = 0;
char DatabaseDetails[DATABASE_DETAILS_SIZE];

int32_t openDatabase(int32_t, char*) {
    cacheBlocks = 2000;
    return 0;
}

int32_t closeDatabase() { return 1; }

int32_t probeDatabase(const DbQuery*, int32_t) { return DB_UNKNOWN; }

}  // namespace tarnvel
