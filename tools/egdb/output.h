// Writing the solved results as database files.
#pragma once

#include <string>
#include <vector>

#include "pieces.h"

namespace tarnvel::egdbtool {

// Creates the directory when missing; false (with the reason) when it
// cannot be created or is not a directory.
bool prepareOutput(const std::string& dir, std::string* problem);

// Writes db2.idx/db2.cpr … dbN.idx/dbN.cpr (N = pieces, the database's
// size) into dir with the slices of the solved materials (gathered on
// `threads` threads) and prints the size of each file and the blocks of
// all against the cap of a database of that size.
bool writeDatabases(const std::string& dir, int pieces, const std::vector<Material>& materials, int threads,
                    std::string* problem);

}  // namespace tarnvel::egdbtool
