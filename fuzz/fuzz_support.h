// Pieces shared by the fuzz targets: a scratch directory with a small valid
// database in "db", positions to probe, and inputs as terminated texts.
#pragma once

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "egdb/database.h"
#include "egdb/sliceindex.h"
#include "egdb/writer.h"
#include "tarnvel/tarnvel.h"

namespace tarnvel::fuzz {

inline void writeFile(const char* path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size))) std::abort();
}

// Every 3-piece slice in runs and mixed stretches: several blocks and every
// kind of code byte. Seeded, so every run sees the same database.
inline void writeSmallDatabase() {
    std::vector<SliceResults> slices;
    std::mt19937 rng(1);
    for (const SliceKey& k : canonicalSlices(3, 4)) {
        std::vector<uint8_t> r(sliceSize(k));
        for (uint32_t i = 0; i < r.size();) {
            const bool mixed = rng() % 2;
            const auto value = static_cast<uint8_t>(1 + rng() % 3);
            for (uint32_t end = i + 1 + rng() % (mixed ? 200 : 3000); i < end && i < r.size(); ++i)
                r[i] = mixed ? static_cast<uint8_t>(1 + rng() % 3) : value;
        }
        slices.push_back({k, r});
    }
    if (!writeDatabase(slices).ok) std::abort();
}

// Standard output (the database's messages) would drown libFuzzer's lines.
inline void enterScratchDirectory(bool withDatabase) {
    static char pattern[] = "/tmp/tarnvel-fuzz-XXXXXX";
    if (!std::freopen("/dev/null", "w", stdout) || !mkdtemp(pattern)) std::abort();
    std::filesystem::current_path(pattern);
    std::filesystem::create_directory("db");
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(pattern, ignored);
    });
    if (withDatabase) writeSmallDatabase();
}

// 2 to 4 pieces anywhere, either side to move: men on their crowning rows
// and sides of four (in no slice) included.
inline std::vector<DbQuery> probePositions(size_t count) {
    std::mt19937 rng(0x7A3E);
    std::vector<DbQuery> positions(count);
    for (DbQuery& q : positions) {
        q.side = 1 + rng() % 2;
        uint32_t* kinds[] = {&q.bm, &q.bk, &q.wm, &q.wk};
        for (uint32_t pieces = 2 + rng() % 3, occupied = 0; std::popcount(occupied) < static_cast<int>(pieces);) {
            const uint32_t bit = 1u << (rng() % 32);
            *kinds[rng() % 4] |= bit & ~occupied;
            occupied |= bit;
        }
    }
    return positions;
}

// Conditional probes first, while blocks are uncached; every answer a result code.
inline int32_t openAndProbe(const std::vector<DbQuery>& positions) {
    char* text = new char[TARNVEL_TEXT_CAPACITY];
    text[0] = '\0';
    const int32_t limit = openDatabase(1, text);
    if (!std::memchr(text, 0, TARNVEL_TEXT_CAPACITY) || !std::memchr(DatabaseDetails, 0, DATABASE_DETAILS_SIZE)) std::abort();
    for (const int32_t conditional : {1, 0})
        for (const DbQuery& q : positions) {
            const int32_t r = probeDatabase(&q, conditional);
            if (r < DB_UNKNOWN || r > DB_NOLOOK) std::abort();
        }
    closeDatabase();
    delete[] text;
    return limit;
}

// Exactly as long as the input plus its NUL, on the heap: a read past it is caught.
inline char* terminatedCopy(const uint8_t* data, size_t size) {
    char* text = new char[size + 1];
    std::copy(data, data + size, text);
    text[size] = '\0';
    return text;
}

}  // namespace tarnvel::fuzz
