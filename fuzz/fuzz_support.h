// Pieces shared by the fuzz targets: a private working directory with a
// small valid database in "db", and a fixed spread of positions to probe.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "egdb/database.h"
#include "egdb/sliceindex.h"
#include "egdb/writer.h"

namespace tarnvel::fuzz {

// Deterministic, so that every run sees the same database and positions.
struct Lcg {
    uint64_t state;
    uint32_t next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    }
};

inline void writeFile(const char* path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) std::abort();
}

// A fresh current directory with "db" in it, removed at exit. Standard
// output (the database's messages) is silenced: at thousands of runs a
// second it would drown libFuzzer's lines.
inline void enterScratchDirectory() {
    static char pattern[] = "/tmp/tarnvel-fuzz-XXXXXX";
    if (!std::freopen("/dev/null", "w", stdout) || !mkdtemp(pattern)) std::abort();
    std::filesystem::current_path(pattern);
    std::filesystem::create_directory("db");
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(pattern, ignored);
    });
}

// Every slice of exactly three pieces, runs and mixed stretches, so that
// the files hold several blocks and every kind of code byte.
inline void writeSmallDatabase() {
    std::vector<SliceResults> slices;
    Lcg rng{1};
    for (const SliceKey& k : canonicalSlices(3, 4)) {
        std::vector<uint8_t> r(sliceSize(k));
        for (uint32_t i = 0; i < r.size();) {
            const bool mixed = rng.next() % 2;
            const auto value = static_cast<uint8_t>(1 + rng.next() % 3);
            for (uint32_t end = i + 1 + rng.next() % (mixed ? 200 : 3000); i < end && i < r.size(); ++i)
                r[i] = mixed ? static_cast<uint8_t>(1 + rng.next() % 3) : value;
        }
        slices.push_back({k, r});
    }
    if (!writeDatabase(slices).ok) std::abort();
}

// Positions of 2 to 4 pieces, both sides to move, men on their crowning
// rows and sides of four included (no slice holds those).
inline std::vector<DbQuery> probePositions(size_t count) {
    Lcg rng{0x7A3Eu};
    std::vector<DbQuery> positions(count);
    for (DbQuery& q : positions) {
        q.side = 1 + rng.next() % 2;
        uint32_t* kinds[] = {&q.bm, &q.bk, &q.wm, &q.wk};
        for (uint32_t i = 0, pieces = 2 + rng.next() % 3, occupied = 0; i < pieces; ++i) {
            uint32_t bit;
            do bit = 1u << (rng.next() % 32);
            while (occupied & bit);
            occupied |= bit;
            *kinds[rng.next() % 4] |= bit;
        }
    }
    return positions;
}

// The text exactly as long as the input plus its NUL, on the heap, so that
// a read past the end is caught.
inline char* terminatedCopy(const uint8_t* data, size_t size) {
    char* text = new char[size + 1];
    std::copy(data, data + size, text);
    text[size] = '\0';
    return text;
}

}  // namespace tarnvel::fuzz
