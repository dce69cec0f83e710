#include "serve_api.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <vector>

#include "arguments.h"
#include "board_view.h"
#include "engine_turn.h"
#include "interface/postext.h"
#include "pdn_io.h"
#include "web_assets.h"

namespace tarnvel::cli {

namespace {

using nlohmann::json;

constexpr const char* JSON_TYPE = "application/json";
// No move visits more squares than the board has.
constexpr size_t MAX_PATH_SQUARES = 32;

// Texts from requests may hold any bytes; invalid UTF-8 is replaced rather
// than thrown on.
HttpReply reply(int status, const json& value) {
    return {status, JSON_TYPE, value.dump(-1, ' ', false, json::error_handler_t::replace)};
}

// One line, whatever a request's text quoted in it holds.
HttpReply error(int status, std::string message) {
    for (char& c : message)
        if (static_cast<unsigned char>(c) < ' ') c = ' ';
    return reply(status, json{{"error", message}});
}

const char* sideWord(int white) { return white ? "white" : "black"; }

json stateJson(const ServeState& s) {
    const Position& now = currentPosition(s.game);
    const int side = sideToMove(s.game);
    std::string board;
    for (int square = 1; square <= 32; ++square) board += pieceChar(now, square);
    json moves = json::array();
    for (const LegalMove& m : legalMoves(now, side))
        moves.push_back({{"notation", m.notation}, {"path", m.path}});
    const Adjudication a = adjudicate(s.game);
    json last = json::array();
    if (!s.game.moves.empty()) last = parseMoveSquares(s.game.moves.back());
    const std::vector<PdnTag> tags = {{"Event", "Tarnvel serve"}, {"Date", pdnDate()}};
    return {{"position", positionText(now, side)},
            {"board", board},
            {"sideToMove", sideWord(side)},
            {"ply", s.game.moves.size()},
            {"moves", moves},
            {"lastMove", last},
            {"over", a.outcome != Outcome::ONGOING},
            {"outcome", outcomeText(a.outcome)},
            {"reason", a.reason},
            {"result", pdnResult(a.outcome)},
            {"pdn", writePdnGame(tags, s.game, a.reason, pdnResult(a.outcome))},
            {"searching", s.searching},
            {"report", s.searching ? liveReport(s) : s.report},
            {"engine", s.engineName},
            {"engineError", s.engineError}};
}

HttpReply stateReply(const ServeState& s) { return reply(200, stateJson(s)); }

// The game changed under the engine: its next search starts a new game.
void replaceGame(ServeState& s, GameRecord game) {
    s.game = std::move(game);
    s.engineNewGame = true;
    s.engineError.clear();
    s.report.clear();
}

std::optional<std::string> stringField(const json& body, const char* name) {
    const auto it = body.find(name);
    if (it == body.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

HttpReply setPosition(ServeState& s, const json& body) {
    if (const auto text = stringField(body, "position")) {
        Position p{};
        int whiteToMove = 0;
        std::string why;
        if (!parseFen(*text, p, whiteToMove, why))
            return error(400, "cannot parse position '" + *text + "': " + why);
        replaceGame(s, newGame(p, whiteToMove));
        return stateReply(s);
    }
    if (const auto text = stringField(body, "pdn")) {
        std::vector<PdnGame> games;
        std::string why;
        if (!readPdn(*text, games, why)) return error(400, "PDN " + why);
        if (games.empty()) return error(400, "the PDN holds no game");
        GameRecord record;
        if (!replayPdnGame(games.front(), record, why)) return error(400, "PDN " + why);
        replaceGame(s, std::move(record));
        return stateReply(s);
    }
    return error(400, "expects {\"position\": TEXT} or {\"pdn\": TEXT}");
}

HttpReply playPersonMove(ServeState& s, const json& body) {
    std::vector<int> squares;
    std::string written;
    if (const auto text = stringField(body, "move")) {
        written = *text;
        squares = parseMoveSquares(written);
    } else if (const auto it = body.find("path"); it != body.end() && it->is_array()) {
        if (it->size() < 2 || it->size() > MAX_PATH_SQUARES)
            return error(400, "a path names 2 to 32 squares");
        for (const json& square : *it) {
            if (!square.is_number_integer() || square.get<long>() < 1 || square.get<long>() > 32)
                return error(400, "a path names squares 1 to 32");
            squares.push_back(square.get<int>());
            written += (written.empty() ? "" : "-") + std::to_string(squares.back());
        }
    } else {
        return error(400, "expects {\"path\": [FROM, ..., TO]} or {\"move\": \"11-15\"}");
    }
    if (squares.empty()) return error(400, "'" + written + "' is no move");
    if (adjudicate(s.game).outcome != Outcome::ONGOING) return error(409, "the game is over");
    const std::vector<LegalMove> moves = legalMoves(currentPosition(s.game), sideToMove(s.game));
    const std::vector<size_t> matches = matchMove(moves, squares);
    if (matches.size() > 1) {
        std::string candidates;
        for (size_t i : matches) candidates += " " + moves[i].notation;
        return error(400, "ambiguous move " + written + ": it could be" + candidates);
    }
    if (matches.empty())
        return error(400, "illegal move " + written + "; legal moves: " + moveList(moves));
    playMove(s.game, moves[matches.front()]);
    s.engineError.clear();
    return stateReply(s);
}

HttpReply search(ServeState& s, const json& body) {
    const auto it = body.find("seconds");
    if (it == body.end() || !it->is_number() || !(it->get<double>() > 0) ||
        it->get<double>() > MAX_SECONDS_PER_MOVE)
        return error(400, "expects {\"seconds\": S}, S above 0 and at most 86400");
    if (adjudicate(s.game).outcome != Outcome::ONGOING) return error(409, "the game is over");
    startSearch(s, it->get<double>());
    return reply(202, json{{"searching", true}});
}

HttpReply analysis(ServeState& s) {
    const Position& now = currentPosition(s.game);
    const std::string text = positionText(now, sideToMove(s.game));
    // The engine opens its database at its first move; one move with no
    // time to think, on a copy of the board, does that here.
    if (!s.databaseOpened) {
        int board[8][8] = {};
        hostBoardOf(now, board);
        std::vector<char> report(ENGINE_TEXT_SIZE, '\0');
        int playNow = 0;
        s.engine.getmove(board, HOST_BLACK, 0.0, report.data(), &playNow, NEW_GAME_FLAG, 0, 0);
        s.databaseOpened = true;
    }
    const std::string evaluation = engineCommand(s.engine, ("staticevaluation " + text).c_str());
    // The evaluation overwrites the engine's position and ends its game.
    s.engineNewGame = true;
    std::string verdict = "no database";
    const size_t at = evaluation.find("EGTB");
    if (at != std::string::npos) {
        const size_t value = evaluation.find("= ", at);
        const size_t end = evaluation.find('\n', at);
        if (value != std::string::npos && value < end)
            verdict = evaluation.substr(value + 2, end - value - 2);
    }
    return reply(200, json{{"position", text}, {"evaluation", evaluation}, {"verdict", verdict}});
}

struct Route {
    std::string_view method, path;
    // Engine calls and game changes wait for a running search to end.
    bool refusedWhileSearching;
    std::function<HttpReply(ServeState&, const json&)> run;
};

const std::vector<Route>& routes() {
    static const std::vector<Route> table = {
        {"GET", "/api/state", false, [](ServeState& s, const json&) { return stateReply(s); }},
        {"GET", "/api/analysis", true, [](ServeState& s, const json&) { return analysis(s); }},
        {"POST", "/api/new", true,
         [](ServeState& s, const json&) {
             replaceGame(s, newGame(initialPosition(), 0));
             return stateReply(s);
         }},
        {"POST", "/api/position", true, setPosition},
        {"POST", "/api/move", true, playPersonMove},
        {"POST", "/api/undo", true,
         [](ServeState& s, const json&) {
             if (s.game.moves.empty()) return error(409, "nothing to undo");
             GameRecord game = s.game;
             takeBack(game);
             replaceGame(s, std::move(game));
             return stateReply(s);
         }},
        {"POST", "/api/search", true, search},
        {"POST", "/api/stop", false,
         [](ServeState& s, const json&) {
             stopSearch(s);
             return reply(200, json{{"searching", s.searching}});
         }},
    };
    return table;
}

}  // namespace

HttpReply handleRequest(ServeState& state, std::string_view method, std::string_view path,
                        std::string_view body) {
    if (body.size() > MAX_REQUEST_BODY) return error(413, "request body over 64 KiB");
    if (const WebAsset* asset = findWebAsset(path)) {
        if (method != "GET") return error(405, "only GET here");
        return {200, std::string(asset->contentType), std::string(asset->bytes)};
    }
    const Route* route = nullptr;
    bool knownPath = false;
    for (const Route& r : routes()) {
        if (r.path != path) continue;
        knownPath = true;
        if (r.method == method) route = &r;
    }
    if (!route) return knownPath ? error(405, "wrong method for " + std::string(path))
                                 : error(404, "no such page: " + std::string(path));
    json parsed = json::object();
    if (!body.empty()) {
        parsed = json::parse(body, nullptr, false);
        if (parsed.is_discarded() || !parsed.is_object())
            return error(400, "the body is not a JSON object");
    }
    std::lock_guard lock(state.mutex);
    if (route->refusedWhileSearching && state.searching)
        return error(409, "the engine is thinking; stop it or wait");
    return route->run(state, parsed);
}

}  // namespace tarnvel::cli
