// File-system details that differ between Windows and POSIX.
#pragma once

#include <cstdint>
#include <cstdio>

namespace tarnvel::platform {

// Separator between a directory and a file name in the paths the engine
// builds and prints.
#ifdef _WIN32
constexpr const char* PATH_SEPARATOR = "\\";
#else
constexpr const char* PATH_SEPARATOR = "/";
#endif

// Positions `file` at byte `offset` from its start; false on failure.
// Offsets may pass 2 GB, beyond what fseek's long reaches on Windows.
bool seekFile(FILE* file, int64_t offset);

}  // namespace tarnvel::platform
