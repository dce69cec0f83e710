// The requests `tarnvel serve` answers: the page and its files, and a small
// JSON API over the game and the engine. Independent of sockets, so the
// HTTP server only routes every request here and a fuzzer can call it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "serve_state.h"

namespace tarnvel::cli {

// Larger bodies are refused (413); a long game's PDN fits easily.
constexpr size_t MAX_REQUEST_BODY = 64 * 1024;

struct HttpReply {
    int status;
    std::string contentType;
    std::string body;
};

// GET  /, /board.css, /board.js      the page
// GET  /api/state                    position, legal moves with their paths, PDN, result, search
// GET  /api/analysis                 the static evaluation report and the database's verdict
// POST /api/new                      the initial arrangement
// POST /api/position                 {"position": "B:W18:B14."} or {"pdn": "1. 11-15 ..."}
// POST /api/move                     {"path": [11, 15]} or {"move": "11-15"}
// POST /api/undo                     take back one ply
// POST /api/search                   {"seconds": 1}: the engine moves for the side to move (202)
// POST /api/stop                     the running search plays now
// Errors are {"error": "one line"}: 400 bad request, 404 unknown route,
// 405 wrong method, 409 not now (a search runs, the game is over), 413.
HttpReply handleRequest(ServeState& state, std::string_view method, std::string_view path,
                        std::string_view body);

}  // namespace tarnvel::cli
