// Database probes from any of the search's threads.
#pragma once

#include <cstdint>

#include "egdb/database.h"

namespace tarnvel::v2 {

// probeDatabase, one thread at a time: the block cache's recently-used list
// changes on every probe.
int32_t probeDatabaseLocked(const DbQuery& query, int32_t conditional);

}  // namespace tarnvel::v2
