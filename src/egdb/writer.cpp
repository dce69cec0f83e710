#include "egdb/writer.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "egdb/cache.h"
#include "egdb/database.h"
#include "egdb/filenames.h"
#include "egdb/limits.h"
#include "egdb/sliceindex.h"

namespace tarnvel {

namespace {

int piecesOf(const SliceKey& k) { return k.nbm + k.nbk + k.nwm + k.nwk; }

std::string describe(const SliceKey& k) {
    char text[64];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d,%d,%c", k.nbm, k.nbk, k.nwm, k.nwk, k.bmrank, k.wmrank,
                  k.side ? 'w' : 'b');
    return text;
}

// Results with the slots no position maps to (a black and a white man on
// one square) made wildcards. Only the men's part of an index decides it.
std::vector<uint8_t> withoutEmptySlots(const SliceResults& s) {
    std::vector<uint8_t> r = s.results;
    if (s.key.nbm == 0 || s.key.nwm == 0) return r;
    SliceKey menOnly = s.key;
    menOnly.nbk = menOnly.nwk = 0;
    const uint32_t period = sliceSize(menOnly);
    DbQuery q;
    for (uint32_t m = 0; m < period; ++m) {
        if (positionAtIndex(menOnly, m, &q)) continue;
        for (size_t i = m; i < r.size(); i += period) r[i] = RESULT_ANY;
    }
    return r;
}

std::string checkSlice(const SliceResults& s, const DatabaseLimits& limits) {
    const SliceKey& k = s.key;
    if (piecesOf(k) < FIRST_SINGLE_FILE_PIECES || !isCanonicalSlice(k) || k.nbm + k.nbk > limits.maxPerSide || k.nwm + k.nwk > limits.maxPerSide)
        return "slice " + describe(k) + " is never probed";
    if (s.results.size() != sliceSize(k))
        return "slice " + describe(k) + " needs " + std::to_string(sliceSize(k)) + " results, not " +
               std::to_string(s.results.size());
    for (const uint8_t r : s.results)
        if (r != RESULT_ANY && r != DB_WIN && r != DB_LOSS && r != DB_DRAW)
            return "slice " + describe(k) + " holds the result " + std::to_string(r);
    return "";
}

// Appends one slice to its file image; an error text when it cannot go in.
std::string appendSlice(const SliceResults& s, const DatabaseLimits& limits, FileImage& file) {
    const SliceKey& k = s.key;
    char head[64];
    std::snprintf(head, sizeof head, "BASE%s:", describe(k).c_str());
    file.index += head;
    const std::vector<uint8_t> results = withoutEmptySlots(s);
    uint8_t single = RESULT_ANY;
    bool uniform = true;
    for (const uint8_t r : results) {
        if (r == RESULT_ANY || r == single) continue;
        if (single != RESULT_ANY) {
            uniform = false;
            break;
        }
        single = r;
    }
    if (uniform) {
        file.index += "?+-="[single == RESULT_ANY ? static_cast<uint8_t>(DB_DRAW) : single];
        file.index += '\n';
        return "";
    }
    const EncodedSlice e = encodeSlice(results, file.compressed);
    if (static_cast<int64_t>(e.idx.size()) > limits.maxidx - 1)
        return "slice " + describe(k) + " takes " + std::to_string(e.idx.size()) + " blocks; its index record holds " +
               std::to_string(limits.maxidx - 1);
    char numbers[32];
    std::snprintf(numbers, sizeof numbers, "%u/%u", e.firstBlock, e.startByte);
    file.index += numbers;
    for (size_t i = 1; i < e.idx.size(); ++i) {
        std::snprintf(numbers, sizeof numbers, i % 16 ? " %u" : "\n%u", e.idx[i]);
        file.index += numbers;
    }
    file.index += '\n';
    return "";
}

bool writeFile(const std::string& path, const void* data, size_t size, const char* mode) {
    FILE* f = std::fopen(path.c_str(), mode);
    if (!f) return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && written;
}

bool hasFourASide(const SliceKey& k) { return k.nbm + k.nbk == 4 || k.nwm + k.nwk == 4; }

}  // namespace

DatabaseDraft startDatabase(int pieces) {
    DatabaseDraft draft{pieces, {}};
    const DatabaseLimits limits = limitsForPieces(pieces);
    char path[PATH_CAPACITY];
    for (int n = FIRST_SINGLE_FILE_PIECES; n <= std::min(pieces, LAST_SINGLE_FILE_PIECES); ++n) {
        FileImage f{};
        singleFilePath(path, sizeof path, n, ".idx");
        f.indexPath = path;
        singleFilePath(path, sizeof path, n, ".cpr");
        f.compressedPath = path;
        f.used = true;  // single files are written even when empty
        draft.files.push_back(f);
    }
    SplitName splits[MAX_SPLITS];
    const int splitCount = enumerateSplits(limits.maxPieces, limits.maxPerSide, splits);
    for (int i = 0; i < splitCount; ++i) {
        FileImage f{};
        splitFilePath(path, sizeof path, splits[i], ".idx");
        f.indexPath = path;
        splitFilePath(path, sizeof path, splits[i], ".cpr");
        f.compressedPath = path;
        draft.files.push_back(f);
    }
    return draft;
}

std::string addSlice(DatabaseDraft& draft, const SliceResults& s) {
    const DatabaseLimits limits = limitsForPieces(draft.pieces);
    const std::string problem = checkSlice(s, limits);
    if (!problem.empty()) return problem;
    const SliceKey& k = s.key;
    size_t file = static_cast<size_t>(piecesOf(k) - FIRST_SINGLE_FILE_PIECES);
    if (piecesOf(k) >= SPLIT_PIECES) {
        char path[PATH_CAPACITY];
        splitFilePath(path, sizeof path, SplitName{k.nbm, k.nbk, k.nwm, k.nwk}, ".idx");
        while (file < draft.files.size() && draft.files[file].indexPath != path) ++file;
    }
    if (file >= draft.files.size()) return "slice " + describe(k) + " is never probed";
    draft.files[file].used = true;
    return appendSlice(s, limits, draft.files[file]);
}

WriteReport finishDatabase(DatabaseDraft& draft) {
    const DatabaseLimits limits = limitsForPieces(draft.pieces);
    int64_t blocks = 0;
    for (FileImage& f : draft.files) {
        // Whole blocks only, as every file of this writer ends.
        f.compressed.resize((f.compressed.size() + BLOCK_SIZE - 1) / BLOCK_SIZE * BLOCK_SIZE, 0);
        blocks += static_cast<int64_t>(f.compressed.size() / BLOCK_SIZE);
    }
    if (blocks > limits.maxBlocks)
        return {false, static_cast<int32_t>(std::min<int64_t>(blocks, INT32_MAX)),
                "the database takes " + std::to_string(blocks) + " blocks; a " + std::to_string(limits.maxPieces) +
                    "-piece database holds at most " + std::to_string(limits.maxBlocks)};

    std::error_code ignored;
    std::filesystem::create_directories("db", ignored);
    for (const FileImage& f : draft.files) {
        if (!f.used) continue;
        if (!writeFile(f.indexPath, f.index.data(), f.index.size(), "w") ||
            !writeFile(f.compressedPath, f.compressed.data(), f.compressed.size(), "wb"))
            return {false, 0, "cannot write " + f.indexPath + " or " + f.compressedPath};
    }
    return {true, static_cast<int32_t>(blocks), ""};
}

WriteReport writeDatabase(const std::vector<SliceResults>& slices) {
    int pieces = FIRST_SINGLE_FILE_PIECES;
    for (const SliceResults& s : slices)
        pieces = std::max({pieces, piecesOf(s.key), hasFourASide(s.key) ? LAST_SINGLE_FILE_PIECES : 0});
    if (pieces > SPLIT_PIECES) return {false, 0, "no database holds more than 8 pieces"};
    DatabaseDraft draft = startDatabase(pieces);
    for (const SliceResults& s : slices) {
        const std::string error = addSlice(draft, s);
        if (!error.empty()) return {false, 0, error};
    }
    return finishDatabase(draft);
}

std::vector<SliceKey> canonicalSlices(int pieces, int maxPieces) {
    const int perSide = limitsForPieces(maxPieces).maxPerSide;
    std::vector<SliceKey> keys;
    for (int nbm = 0; nbm <= MAX_OF_A_KIND; ++nbm)
        for (int nbk = 0; nbk <= MAX_OF_A_KIND; ++nbk)
            for (int nwm = 0; nwm <= MAX_OF_A_KIND; ++nwm)
                for (int nwk = 0; nwk <= MAX_OF_A_KIND; ++nwk) {
                    if (nbm + nbk + nwm + nwk != pieces || nbm + nbk > perSide || nwm + nwk > perSide) continue;
                    for (int bmrank = 0; bmrank < RANK_COUNT; ++bmrank)
                        for (int wmrank = 0; wmrank < RANK_COUNT; ++wmrank)
                            for (int side = 0; side < 2; ++side) {
                                const SliceKey k{nbm, nbk, nwm, nwk, bmrank, wmrank, side};
                                if (isCanonicalSlice(k)) keys.push_back(k);
                            }
                }
    return keys;
}

}  // namespace tarnvel
