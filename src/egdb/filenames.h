// Names of the database files and the fixed order of the 8-piece splits.
#pragma once

#include <cstddef>

namespace tarnvel {

constexpr int FIRST_SINGLE_FILE_PIECES = 2;
constexpr int LAST_SINGLE_FILE_PIECES = 7;
constexpr int SPLIT_PIECES = 8;  // piece count from which files go per split
constexpr int FIRST_SPLIT_SLOT = LAST_SINGLE_FILE_PIECES - FIRST_SINGLE_FILE_PIECES + 1;

// Material of one split file.
struct SplitName {
    int bm, bk, wm, wk;
};
constexpr int MAX_SPLITS = 44;  // dbfp slots left after the single files

// Lists the split names for the limits, in enumeration order; returns how
// many (never more than MAX_SPLITS).
int enumerateSplits(int maxPieces, int maxPerSide, SplitName* names);

// "db<sep>db<n><extension>" and "db<sep>db8_<bm><bk><wm><wk><extension>";
// extension is ".idx" or ".cpr".
void singleFilePath(char* out, size_t size, int pieces, const char* extension);
void splitFilePath(char* out, size_t size, const SplitName& split, const char* extension);

constexpr size_t PATH_CAPACITY = 64;

constexpr int singleFileSlot(int pieces) { return pieces - FIRST_SINGLE_FILE_PIECES; }
constexpr int splitFileSlot(int position) { return FIRST_SPLIT_SLOT + position; }

}  // namespace tarnvel
