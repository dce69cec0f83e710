// The probe on arbitrary compressed bytes behind a valid 3-piece index, with
// a 3-block cache so that probes evict.
#include "fuzz_support.h"
#include "platform/vmem.h"

using namespace tarnvel;

static std::vector<DbQuery> positions;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::enterScratchDirectory(true);
    platform::limitMemoryRequests(4 * 1024);
    positions = fuzz::probePositions(1500);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::writeFile("db/db3.cpr", data, size);
    if (fuzz::openAndProbe(positions) != 4) std::abort();
    return 0;
}
