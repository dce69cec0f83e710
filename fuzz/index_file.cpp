// The index-file reader on arbitrary index files: the first byte picks the
// database size (2 … 6 pieces), the rest is db2.idx, whose slices then
// point into a fixed compressed file. Every probe must answer a result
// code.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "egdb/database.h"
#include "fuzz_support.h"
#include "tarnvel/tarnvel.h"

using namespace tarnvel;

namespace {

constexpr int SMALLEST_SIZE = 2;
constexpr int SIZES = 5;
constexpr size_t COMPRESSED_BLOCKS = 12;
constexpr size_t PROBES = 600;

std::vector<DbQuery>& positions() {
    static std::vector<DbQuery> p = fuzz::probePositions(PROBES);
    return p;
}

void writeEmptyIndex(int pieces) {
    char path[32];
    std::snprintf(path, sizeof path, "db/db%d.idx", pieces);
    fuzz::writeFile(path, nullptr, 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::silenceStandardOutput();
    fuzz::enterScratchDirectory();
    // Blocks of every kind of code byte; the slices' idx lists decide what
    // is read where.
    fuzz::Lcg rng{99};
    std::vector<uint8_t> blocks(COMPRESSED_BLOCKS * 1024);
    for (uint8_t& b : blocks) b = static_cast<uint8_t>(rng.next());
    fuzz::writeFile("db/db2.cpr", blocks.data(), blocks.size());
    positions();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int pieces = SMALLEST_SIZE + data[0] % SIZES;
    fuzz::writeFile("db/db2.idx", data + 1, size - 1);
    for (int n = SMALLEST_SIZE + 1; n < SMALLEST_SIZE + SIZES; ++n) {
        char path[32];
        std::snprintf(path, sizeof path, "db/db%d.idx", n);
        if (n <= pieces) writeEmptyIndex(n);
        else std::remove(path);
    }
    char* text = new char[TARNVEL_TEXT_CAPACITY];
    text[0] = '\0';
    const int32_t limit = openDatabase(1, text);
    if (limit < 0 || limit > 8) std::abort();
    if (!fuzz::isTerminatedWithin(text, TARNVEL_TEXT_CAPACITY)) std::abort();
    if (!fuzz::isTerminatedWithin(DatabaseDetails, DATABASE_DETAILS_SIZE)) std::abort();
    int32_t conditional = 0;
    for (const DbQuery& q : positions()) {
        const int32_t r = probeDatabase(&q, conditional);
        if (r < DB_UNKNOWN || r > DB_NOLOOK) std::abort();
        conditional ^= 1;
    }
    closeDatabase();
    delete[] text;
    return 0;
}
