// The probe on arbitrary compressed bytes behind a valid 3-piece index, with
// a 3-block cache so that probes evict. Every probe must answer a result code.
#include <cstring>

#include "fuzz_support.h"
#include "platform/vmem.h"
#include "tarnvel/tarnvel.h"

using namespace tarnvel;

static std::vector<DbQuery> positions;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::enterScratchDirectory();
    fuzz::writeSmallDatabase();
    platform::limitMemoryRequests(4 * 1024);
    positions = fuzz::probePositions(1500);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::writeFile("db/db3.cpr", data, size);
    char* text = new char[TARNVEL_TEXT_CAPACITY];
    text[0] = '\0';
    if (openDatabase(1, text) != 4 || !std::memchr(text, 0, TARNVEL_TEXT_CAPACITY)) std::abort();
    // Conditional probes first, while blocks are still uncached.
    for (const int32_t conditional : {1, 0})
        for (const DbQuery& q : positions) {
            const int32_t r = probeDatabase(&q, conditional);
            if (r < DB_UNKNOWN || r > DB_NOLOOK) std::abort();
        }
    closeDatabase();
    delete[] text;
    return 0;
}
