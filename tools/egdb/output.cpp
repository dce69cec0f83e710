#include "output.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "egdb/database.h"
#include "egdb/limits.h"
#include "egdb/sliceindex.h"
#include "egdb/tables.h"
#include "egdb/writer.h"
#include "material_text.h"
#include "moves.h"
#include "parallel.h"
#include "progress.h"
#include "store.h"

namespace tarnvel::egdbtool {

namespace {

namespace fs = std::filesystem;

// The writer puts its files into "db" under the working directory; they
// are made in this directory inside the output and moved up from there.
constexpr const char* STAGING = ".tarnvel-egdb-staging";
constexpr uint64_t BLOCK_BYTES = 1024;

// Part of a slice's results from the store; positions that are not quiet
// are never probed, so the writer may give them any value. A
// large slice takes minutes: the part that reports moves the progress line.
void fillSlice(SliceResults& s, uint32_t begin, uint32_t end, bool reports) {
    if (begin >= end) return;
    SliceWalk walk;
    startSliceWalk(s.key, begin, &walk);
    for (uint32_t i = begin; i < end; ++i, stepSliceWalk(&walk)) {
        if (reports && ((i - begin) & 0xFFFFF) == 0) progressShare(static_cast<double>(i - begin) / (end - begin));
        DbQuery q;
        if (!walkPosition(walk, &q)) continue;
        const Pieces p{q.bm, q.bk, q.wm, q.wk};
        if (!quiet(p)) continue;
        s.results[i] = storedValue(p, s.key.side);
    }
}

// A side without pieces has lost: such slices need no solving.
bool solved(const SliceKey& k, const std::vector<Material>& materials) {
    Material m{k.nbm, k.nbk, k.nwm, k.nwk};
    if (blackCount(m) == 0 || whiteCount(m) == 0) return true;
    if (!isStored(m)) m = colourReversed(m);
    return std::find(materials.begin(), materials.end(), m) != materials.end();
}

// Every slice of the solved materials, one at a time into the draft.
WriteReport draftDatabase(int pieces, const std::vector<Material>& materials, int threads) {
    buildLookupTables();  // slice sizes and positions are counted with them
    std::vector<SliceKey> keys;
    uint64_t positions = 0;
    for (int n = 2; n <= pieces; ++n)
        for (const SliceKey& k : canonicalSlices(n, pieces))
            if (solved(k, materials)) {
                keys.push_back(k);
                positions += sliceSize(k);
            }
    progressStart(positions);
    DatabaseDraft draft = startDatabase(pieces);
    SliceResults s{};
    for (const SliceKey& k : keys) {
        progressStep("writing " + materialText({k.nbm, k.nbk, k.nwm, k.nwk}), sliceSize(k));
        s.key = k;
        s.results.assign(sliceSize(k), RESULT_ANY);
        const uint32_t size = sliceSize(k);
        onThreads(threads, [&](int t) {
            fillSlice(s, static_cast<uint32_t>(shareBegin(size, t, threads)),
                      static_cast<uint32_t>(shareBegin(size, t + 1, threads)), t == 0);
        });
        const std::string error = addSlice(draft, s);
        if (!error.empty()) return {false, 0, error};
    }
    progressStep("writing files", 0);
    return finishDatabase(draft);
}

uint64_t fileSize(const fs::path& path) {
    std::error_code error;
    const uintmax_t size = fs::file_size(path, error);
    return error ? 0 : size;
}

}  // namespace

bool prepareOutput(const std::string& dir, std::string* problem) {
    std::error_code error;
    fs::create_directories(dir, error);
    if (!fs::is_directory(dir)) {
        *problem = "cannot create directory '" + dir + "'" + (error ? ": " + error.message() : "");
        return false;
    }
    return true;
}

bool writeDatabases(const std::string& dir, int pieces, const std::vector<Material>& materials, int threads,
                    std::string* problem) {
    std::error_code error;
    const fs::path out = fs::absolute(dir, error);
    const fs::path staging = out / STAGING;
    const fs::path home = fs::current_path(error);
    fs::remove_all(staging, error);
    fs::create_directories(staging / "db", error);
    if (error) {
        *problem = "cannot create '" + staging.string() + "': " + error.message();
        return false;
    }

    fs::current_path(staging, error);
    WriteReport report = draftDatabase(pieces, materials, threads);
    fs::current_path(home, error);
    progressFinish();

    std::vector<std::string> names;
    for (int n = 2; n <= pieces; ++n)
        for (const char* ending : {".idx", ".cpr"}) names.push_back("db" + std::to_string(n) + ending);
    if (report.ok)
        for (const std::string& name : names) {
            fs::rename(staging / "db" / name, out / name, error);
            if (error) {
                report = {false, 0,
                          "cannot move " + name + " into '" + out.string() + "': " + error.message()};
                break;
            }
        }
    fs::remove_all(staging, error);
    if (!report.ok) {
        *problem = report.error;
        return false;
    }

    uint64_t bytes = 0;
    for (int n = 2; n <= pieces; ++n) {
        const std::string base = "db" + std::to_string(n);
        const uint64_t indexBytes = fileSize(out / (base + ".idx"));
        const uint64_t compressedBytes = fileSize(out / (base + ".cpr"));
        bytes += indexBytes + compressedBytes;
        std::printf("%s.cpr %9llu bytes (%6llu blocks)   %s.idx %8llu bytes\n", base.c_str(),
                    static_cast<unsigned long long>(compressedBytes),
                    static_cast<unsigned long long>(compressedBytes / BLOCK_BYTES), base.c_str(),
                    static_cast<unsigned long long>(indexBytes));
    }
    const int32_t cap = limitsForPieces(pieces).maxBlocks;
    std::printf("wrote %llu bytes to %s: %d blocks of the %d a %d-piece database may take (margin %d)\n",
                static_cast<unsigned long long>(bytes), out.string().c_str(), report.blocks, cap, pieces,
                cap - report.blocks);
    return true;
}

}  // namespace tarnvel::egdbtool
