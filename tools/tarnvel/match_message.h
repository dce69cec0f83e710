// A finished game as a worker process hands it to the match: bytes that
// only this program's own build writes and reads.
#pragma once

#include <string>
#include <string_view>

#include "match_game.h"

namespace tarnvel::cli {

std::string encodeGame(const PlayedGame& game);

// False when the bytes are not a whole game (a worker that wrote garbage).
bool decodeGame(std::string_view bytes, PlayedGame& game);

}  // namespace tarnvel::cli
