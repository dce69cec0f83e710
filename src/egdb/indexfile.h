// Reading one index file into the SliceTable.
#pragma once

#include <cstdint>

namespace tarnvel {

// Reads the records of the index file at `path`; their blocks are counted
// from global block `blockOffset`, their compressed file is dbfp[fileSlot].
// Returns the number of blocks of the compressed file, −1 when the file
// cannot be opened, −2 when it is malformed or memory runs out, 0 on a
// record with an unknown body. A file that fails part-way keeps only its
// single-value records: with its block count unknown, its block records
// could point into the next file's blocks.
int32_t readIndexFile(const char* path, uint32_t blockOffset, int32_t fileSlot);

}  // namespace tarnvel
