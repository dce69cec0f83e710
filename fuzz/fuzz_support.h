// Pieces shared by the fuzz targets: a private working directory (the
// database lives in "db" under the current directory), a small valid
// database, and a fixed spread of positions to probe.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "egdb/database.h"
#include "egdb/sliceindex.h"
#include "egdb/writer.h"

namespace tarnvel::fuzz {

// The engine prints database messages on standard output; at tens of
// thousands of runs a second they would drown libFuzzer's own lines
// (which go to standard error).
inline void silenceStandardOutput() {
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
}

inline std::filesystem::path& scratchDirectory() {
    static std::filesystem::path dir;
    return dir;
}

// A fresh directory with an empty "db" in it becomes the current
// directory until the process ends.
inline void enterScratchDirectory() {
    char pattern[] = "/tmp/tarnvel-fuzz-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    scratchDirectory() = pattern;
    std::filesystem::current_path(pattern);
    std::filesystem::create_directory("db");
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(scratchDirectory(), ignored);
    });
}

inline void writeFile(const char* path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) std::abort();
}

inline std::vector<uint8_t> readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Deterministic generator, so that every run of a target sees the same
// database and the same positions.
struct Lcg {
    uint64_t state;
    uint32_t next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    }
};

// Results with long runs and short mixed stretches, so that the files use
// every kind of code byte and several blocks.
inline std::vector<uint8_t> mixedResults(uint32_t size, uint32_t seed) {
    Lcg rng{seed};
    std::vector<uint8_t> r(size);
    for (uint32_t i = 0; i < size;) {
        const bool mixed = rng.next() % 2 == 0;
        const uint32_t length = mixed ? 1 + rng.next() % 200 : 1 + rng.next() % 3000;
        const auto value = static_cast<uint8_t>(1 + rng.next() % 3);
        for (uint32_t j = 0; j < length && i + j < size; ++j)
            r[i + j] = mixed ? static_cast<uint8_t>(1 + rng.next() % 3) : value;
        i += length;
    }
    return r;
}

// Writes a valid database of every slice with exactly `pieces` pieces
// (db2 … db<pieces>, the smaller files empty).
inline void writeSmallDatabase(int pieces) {
    std::vector<SliceResults> slices;
    uint32_t seed = 1;
    for (const SliceKey& k : canonicalSlices(pieces, 4)) slices.push_back({k, mixedResults(sliceSize(k), seed++)});
    const WriteReport report = writeDatabase(slices);
    if (!report.ok) {
        std::fprintf(stderr, "cannot write the fuzz database: %s\n", report.error.c_str());
        std::abort();
    }
}

// Positions of 2 to 4 pieces on distinct squares, both sides to move,
// including men on their crowning rows and sides of four, which no slice
// holds.
inline std::vector<DbQuery> probePositions(size_t count) {
    Lcg rng{0x7A3Eu};
    std::vector<DbQuery> positions;
    while (positions.size() < count) {
        DbQuery q{0, 0, 0, 0, 1 + rng.next() % 2};
        const uint32_t pieces = 2 + rng.next() % 3;
        uint32_t occupied = 0;
        for (uint32_t i = 0; i < pieces; ++i) {
            uint32_t bit;
            do bit = 1u << (rng.next() % 32);
            while (occupied & bit);
            occupied |= bit;
            uint32_t* kinds[] = {&q.bm, &q.bk, &q.wm, &q.wk};
            *kinds[rng.next() % 4] |= bit;
        }
        positions.push_back(q);
    }
    return positions;
}

// The copy of a text the engine sees: exactly as long as the input plus
// its terminating NUL, on the heap, so that a read past the end is caught.
inline char* terminatedCopy(const uint8_t* data, size_t size) {
    char* text = new char[size + 1];
    for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>(data[i]);
    text[size] = '\0';
    return text;
}

inline bool isTerminatedWithin(const char* text, size_t capacity) {
    for (size_t i = 0; i < capacity; ++i)
        if (text[i] == '\0') return true;
    return false;
}

}  // namespace tarnvel::fuzz
