// The index-file reader on arbitrary files: the first byte picks 2 … 6
// pieces, the rest is db2.idx over random compressed bytes. Every probe
// must answer a result code.
#include <cstring>

#include "fuzz_support.h"
#include "tarnvel/tarnvel.h"

using namespace tarnvel;

static std::vector<DbQuery> positions;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::enterScratchDirectory();
    std::mt19937 rng(99);
    std::vector<uint8_t> blocks(12 * 1024);
    for (uint8_t& b : blocks) b = static_cast<uint8_t>(rng());
    fuzz::writeFile("db/db2.cpr", blocks.data(), blocks.size());
    positions = fuzz::probePositions(600);
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
    char* text = new char[TARNVEL_TEXT_CAPACITY];
    text[0] = '\0';
    const int32_t limit = openDatabase(1, text);
    if (limit < 0 || limit > 8 || !std::memchr(text, 0, TARNVEL_TEXT_CAPACITY)) std::abort();
    if (!std::memchr(DatabaseDetails, 0, DATABASE_DETAILS_SIZE)) std::abort();
    for (size_t i = 0; i < positions.size(); ++i) {
        const int32_t r = probeDatabase(&positions[i], static_cast<int32_t>(i % 2));
        if (r < DB_UNKNOWN || r > DB_NOLOOK) std::abort();
    }
    closeDatabase();
    delete[] text;
    return 0;
}
