// Writing the solved results as database files.
#pragma once

#include <string>

namespace tarnvel::egdbtool {

// Creates the directory when missing; false (with the reason) when it
// cannot be created or is not a directory.
bool prepareOutput(const std::string& dir, std::string* problem);

// Writes db2.idx/db2.cpr … dbN.idx/dbN.cpr into dir from the solved
// results (gathered on `threads` threads) and prints the size of each file
// and the blocks of all against the cap of a database of that size.
bool writeDatabases(const std::string& dir, int pieces, int threads, std::string* problem);

}  // namespace tarnvel::egdbtool
