// Loading an engine library at run time and reaching its two entry points,
// so that the host can drive any library with this interface.
#pragma once

#include <string>

#include "tarnvel/tarnvel.h"

namespace tarnvel::cli {

using GetMoveFunction = int(TARNVEL_CALL*)(int board[8][8], int color, double seconds, char* text,
                                           int* playNow, int info, int reserved1, int reserved2);
using EngineCommandFunction = int(TARNVEL_CALL*)(const char* command, char* reply);

struct EngineLibrary {
    void* handle = nullptr;
    GetMoveFunction getmove = nullptr;
    EngineCommandFunction enginecommand = nullptr;
    std::string path;  // as it was named
};

// The engine library that sits beside the running executable (v1.3).
std::string defaultEngineLibraryPath();

// The library an --engine argument names: "v1.3" (or "1.3") and "2" (or
// "v2", "2.0") are the two engines built with this host, found as
// defaultEngineLibraryPath() is; anything else is a path.
std::string engineLibraryPath(const std::string& nameOrPath);

// An engine never frees its tables, so a loaded engine stays loaded until
// the process ends: unloading it would only lose that memory.
//
// Loads an engine library and finds both entry points; false with a
// one-line reason in `error`. When the system would hand back the instance
// already loaded as `separateFrom` (the same file under any name), a
// private copy is loaded instead, so the two engines share no state.
bool openEngineLibrary(const std::string& path, EngineLibrary& engine, std::string& error,
                       const EngineLibrary* separateFrom = nullptr);

// The engine's reply to a command, or "" when it does not know it.
std::string engineCommand(const EngineLibrary& engine, const char* command);

// The engine's "name", else the library's file name.
std::string engineName(const EngineLibrary& engine);

}  // namespace tarnvel::cli
