// The index-file reader on arbitrary files: the first byte picks 2 … 6
// pieces, the rest is db2.idx over random compressed bytes.
#include "fuzz_support.h"

using namespace tarnvel;

static std::vector<DbQuery> positions;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::enterScratchDirectory(false);
    std::mt19937 rng(99);
    std::vector<uint8_t> blocks(12 * 1024);
    for (uint8_t& b : blocks) b = static_cast<uint8_t>(rng());
    fuzz::writeFile("db/db2.cpr", blocks.data(), blocks.size());
    positions = fuzz::probePositions(300);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    fuzz::writeFile("db/db2.idx", data + 1, size - 1);
    for (int n = 3; n <= 6; ++n) {
        const std::string path = "db/db" + std::to_string(n) + ".idx";
        if (n <= 2 + data[0] % 5) fuzz::writeFile(path.c_str(), nullptr, 0);
        else std::remove(path.c_str());
    }
    const int32_t limit = fuzz::openAndProbe(positions);
    if (limit < 0 || limit > 8) std::abort();
    return 0;
}
