// Writing a database: index files and compressed files that openDatabase
// reads back, for the database-builder tool and the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "egdb/encoder.h"
#include "egdb/slicetable.h"

namespace tarnvel {

// The results of every position of one slice, by position index
// (sliceSize(key) entries): DB_WIN, DB_LOSS, DB_DRAW, or RESULT_ANY for
// positions the engine never probes (a capture on the board). Slots that
// no position maps to are treated as RESULT_ANY whatever they hold.
struct SliceResults {
    SliceKey key;
    std::vector<uint8_t> results;
};

struct WriteReport {
    bool ok;
    int32_t blocks;     // blocks in all compressed files written
    std::string error;  // why nothing was written, when !ok
};

// Writes the database of `slices` into "db" under the current directory:
// "db<n>.idx"/".cpr" for every piece count from 2 up to the database's
// size (the largest piece count given, and at least 7 when a side has four
// pieces, as only such a database holds them; files without slices stay
// empty so that the database is found), and one pair per 8-piece material
// split given. Slices lie in each file in the order given. Refuses,
// writing nothing, a slice the probe never reaches, results of the wrong
// size or value, a slice longer than its index record may be, or a
// database beyond the block limit of its size.
WriteReport writeDatabase(const std::vector<SliceResults>& slices);

// The same one slice at a time, so that only one slice's results need be
// in memory: startDatabase with the database's size, addSlice for each
// slice (an error text when it cannot go in), then finishDatabase.
struct FileImage {
    std::string indexPath, compressedPath;
    std::string index;
    std::vector<uint8_t> compressed;
    bool used;
};
struct DatabaseDraft {
    int pieces;
    std::vector<FileImage> files;  // in the order openDatabase numbers their blocks
};
DatabaseDraft startDatabase(int pieces);
std::string addSlice(DatabaseDraft& draft, const SliceResults& slice);
WriteReport finishDatabase(DatabaseDraft& draft);

// Every slice the probe can reach with `pieces` pieces in a database of up
// to `maxPieces`, by material, then ranks, then side.
std::vector<SliceKey> canonicalSlices(int pieces, int maxPieces);

}  // namespace tarnvel
