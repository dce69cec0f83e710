// The page `tarnvel serve` shows, built into the program from
// tools/tarnvel/web/ (cmake/embed_web.cmake), so it runs from any directory
// and no request names a file.
#pragma once

#include <string_view>

namespace tarnvel::cli {

struct WebAsset {
    std::string_view path;  // as requested: "/", "/board.js"
    std::string_view contentType;
    std::string_view bytes;
};

// The file served at `path`, or null.
const WebAsset* findWebAsset(std::string_view path);

}  // namespace tarnvel::cli
