// The probe on arbitrary compressed bytes: a valid 3-piece index with the
// fuzz input as its compressed file (short, long, corrupted). Every probe
// must answer a result code and stay inside the cache.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "egdb/database.h"
#include "fuzz_support.h"
#include "platform/vmem.h"
#include "tarnvel/tarnvel.h"

using namespace tarnvel;

namespace {

constexpr size_t PROBES = 1500;
// Room for a cache of 3 blocks, far fewer than the file has, so that
// probes evict and read blocks instead of finding everything preloaded.
constexpr size_t MEMORY_REQUEST_LIMIT = 4 * 1024;

std::vector<DbQuery>& positions() {
    static std::vector<DbQuery> p = fuzz::probePositions(PROBES);
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::silenceStandardOutput();
    fuzz::enterScratchDirectory();
    fuzz::writeSmallDatabase(3);
    platform::limitMemoryRequests(MEMORY_REQUEST_LIMIT);
    positions();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::writeFile("db/db3.cpr", data, size);
    char* text = new char[TARNVEL_TEXT_CAPACITY];
    text[0] = '\0';
    if (openDatabase(1, text) != 4) std::abort();
    if (!fuzz::isTerminatedWithin(text, TARNVEL_TEXT_CAPACITY)) std::abort();
    // Uncached blocks first (conditional probes answer nolook for them),
    // then everything read from the file.
    for (const int32_t conditional : {1, 0})
        for (const DbQuery& q : positions()) {
            const int32_t r = probeDatabase(&q, conditional);
            if (r < DB_UNKNOWN || r > DB_NOLOOK) std::abort();
        }
    closeDatabase();
    delete[] text;
    return 0;
}
