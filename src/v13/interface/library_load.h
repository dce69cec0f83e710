// What v1.3 does when its library is attached to a process.
#pragma once

namespace tarnvel {

// Allocates the default transposition table unless one exists. The loader
// runs it on attach; a host that links the engine statically calls it
// itself before its first request.
void attachLibrary();

}  // namespace tarnvel
