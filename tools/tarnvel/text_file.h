// Whole-file text input and output with one-line error reasons.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnvel::cli {

bool readTextFile(const std::string& path, std::string& text, std::string& error);

// Writes (mode "w") or appends (mode "a") the text.
bool writeTextFile(const std::string& path, const std::string& text, const char* mode,
                   std::string& error);

// Appends each text to its file (created when missing) in one write, with
// interrupting signals held until all are written: a match killed by one
// never leaves a game in some files and not in others. Stops at the first
// file that fails.
bool appendTogether(const std::vector<std::pair<std::string, std::string_view>>& parts,
                    std::string& error);

}  // namespace tarnvel::cli
