// Whole-file text input and output with one-line error reasons.
#pragma once

#include <string>

namespace tarnvel::cli {

bool readTextFile(const std::string& path, std::string& text, std::string& error);

// Writes (mode "w") or appends (mode "a") the text.
bool writeTextFile(const std::string& path, const std::string& text, const char* mode,
                   std::string& error);

}  // namespace tarnvel::cli
