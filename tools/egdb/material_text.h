// Materials as users write them: black's pieces, then white's, each as
// Nm, Nk or NmMk (N, M = 1…4), e.g. 4k2k (four black kings against two
// white kings) or 2m1k3m.
#pragma once

#include <optional>
#include <string>

#include "pieces.h"

namespace tarnvel::egdbtool {

// The material a text names; none when it breaks the grammar or a side has
// no piece or more than MAX_PER_SIDE.
std::optional<Material> parseMaterial(const std::string& text);

// The text of a material in that grammar.
std::string materialText(const Material& m);

}  // namespace tarnvel::egdbtool
