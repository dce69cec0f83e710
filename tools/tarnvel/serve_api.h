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
// GET  /api/state                    the shown position and its legal moves with their paths;
//                                    the game's nodes (move, parent, children, the score of
//                                    the last search there), the shown one and its line; PDN
//                                    with variations, result, engines, search, report, pv
// POST /api/new                      the initial arrangement
// POST /api/position                 {"position": "B:W18:B14."} or {"pdn": "1. 11-15 ..."}
// POST /api/move                     {"path": [11, 15]} or {"move": "11-15"}: played from the
//                                    shown position; a new move there starts the main line and
//                                    keeps the old continuation as a variation
// POST /api/goto                     {"node": N}: shows that position of the game
// POST /api/undo                     takes back the shown position's move and what followed it
// POST /api/search                   {"seconds": 1, "engine": 0, "play": true}: the engine
//                                    searches the shown position (202) and its move is played;
//                                    with "play": false it only analyses, until stopped
// POST /api/stop                     the running search ends now
// POST /api/analysis                 {"engine": 0}: the static evaluation and the database's
//                                    verdict of the shown position
// POST /api/verdicts                 {"engine": 0}: each legal move with the database's result
//                                    for its player, "win", "draw", "loss" or "unknown",
//                                    in that order
// "engine" is optional everywhere (0, the first --engine).
// Errors are {"error": "one line"}: 400 bad request, 404 unknown route,
// 405 wrong method, 409 not now (a search runs, the game is over), 413.
HttpReply handleRequest(ServeState& state, std::string_view method, std::string_view path,
                        std::string_view body);

}  // namespace tarnvel::cli
