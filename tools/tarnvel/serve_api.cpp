#include "serve_api.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <vector>

#include "arguments.h"
#include "board_view.h"
#include "engine_turn.h"
#include "interface/postext.h"
#include "move_verdicts.h"
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

json scoreJson(const std::optional<EngineScore>& score) {
    if (!score) return nullptr;
    return {{"text", score->text}, {"forBlack", score->forBlack}, {"decided", score->decided}};
}

json nodesJson(const GameTree& tree) {
    json nodes = json::array();
    for (const GameNode& n : tree.nodes)
        nodes.push_back({{"move", n.move},
                         {"parent", n.parent},
                         {"children", n.children},
                         {"score", scoreJson(n.score)}});
    return nodes;
}

json stateJson(const ServeState& s) {
    const GameTree& tree = s.game;
    const Position& now = tree.nodes[tree.shown].position;
    const int side = sideToMoveAt(tree, tree.shown);
    std::string board;
    for (int square = 1; square <= 32; ++square) board += pieceChar(now, square);
    json moves = json::array();
    for (const LegalMove& m : legalMoves(now, side))
        moves.push_back({{"notation", m.notation}, {"path", m.path}});
    const Adjudication a = adjudicate(lineTo(tree, tree.shown));
    // The record ends where the main line does.
    const Adjudication end = adjudicate(lineTo(tree, lineFrom(tree, 0).back()));
    std::vector<int> line = lineFrom(tree, tree.shown);
    for (int n = tree.nodes[tree.shown].parent; n >= 0; n = tree.nodes[n].parent)
        line.insert(line.begin(), n);
    const std::vector<PdnTag> tags = {{"Event", "Tarnvel serve"}, {"Date", pdnDate()}};
    json engines = json::array();
    for (const ServeEngine& e : s.engines) engines.push_back(e.name);
    const std::string report = s.searching ? liveReport(s) : s.report;
    return {{"position", positionText(now, side)},
            {"board", board},
            {"sideToMove", sideWord(side)},
            {"ply", plyOf(tree, tree.shown)},
            {"moves", moves},
            {"lastMove", parseMoveSquares(tree.nodes[tree.shown].move)},
            {"over", a.outcome != Outcome::ONGOING},
            {"outcome", outcomeText(a.outcome)},
            {"reason", a.reason},
            {"result", pdnResult(end.outcome)},
            {"pdn", writePdnGame(tags, tree, end.reason, pdnResult(end.outcome))},
            {"nodes", nodesJson(tree)},
            {"shown", tree.shown},
            {"startSide", sideWord(tree.startWhiteToMove)},
            {"line", line},
            {"searching", s.searching},
            {"searchEngine", s.searchEngine},
            {"searchPlays", s.searchPlays},
            {"report", report},
            {"pv", readPrincipalVariation(report)},
            {"engine", s.engines[s.searchEngine].name},
            {"engines", engines},
            {"engineError", s.engineError}};
}

HttpReply stateReply(const ServeState& s) { return reply(200, stateJson(s)); }

// The game changed under the engines: their next searches start a new game.
void replaceGame(ServeState& s, GameTree game) {
    s.game = std::move(game);
    restartEngines(s);
    s.engineError.clear();
    s.report.clear();
}

std::optional<std::string> stringField(const json& body, const char* name) {
    const auto it = body.find(name);
    if (it == body.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
}

// The engine a request names by its index ("engine": 1), else the first;
// none when it names no engine.
std::optional<size_t> engineField(const ServeState& s, const json& body) {
    const auto it = body.find("engine");
    if (it == body.end()) return 0;
    if (!it->is_number_integer() || it->get<long>() < 0 ||
        it->get<unsigned long>() >= s.engines.size())
        return std::nullopt;
    return it->get<size_t>();
}

HttpReply noSuchEngine(const ServeState& s) {
    return error(400, "\"engine\" is a number from 0 to " + std::to_string(s.engines.size() - 1));
}

HttpReply setPosition(ServeState& s, const json& body) {
    if (const auto text = stringField(body, "position")) {
        Position p{};
        int whiteToMove = 0;
        std::string why;
        if (!parseFen(*text, p, whiteToMove, why))
            return error(400, "cannot parse position '" + *text + "': " + why);
        replaceGame(s, newTree(p, whiteToMove));
        return stateReply(s);
    }
    if (const auto text = stringField(body, "pdn")) {
        std::vector<PdnGame> games;
        std::string why;
        if (!readPdn(*text, games, why)) return error(400, "PDN " + why);
        if (games.empty()) return error(400, "the PDN holds no game");
        GameTree tree;
        if (!replayPdnTree(games.front(), tree, why)) return error(400, "PDN " + why);
        tree.shown = lineFrom(tree, 0).back();
        replaceGame(s, std::move(tree));
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
    GameTree& tree = s.game;
    if (adjudicate(lineTo(tree, tree.shown)).outcome != Outcome::ONGOING)
        return error(409, "the game is over");
    const std::vector<LegalMove> moves =
        legalMoves(tree.nodes[tree.shown].position, sideToMoveAt(tree, tree.shown));
    const std::vector<size_t> matches = matchMove(moves, squares);
    if (matches.size() > 1) {
        std::string candidates;
        for (size_t i : matches) candidates += " " + moves[i].notation;
        return error(400, "ambiguous move " + written + ": it could be" + candidates);
    }
    if (matches.empty())
        return error(400, "illegal move " + written + "; legal moves: " + moveList(moves));
    playShown(tree, moves[matches.front()]);
    // An analysis's report and variation were of the position before.
    if (!s.searchPlays) s.report.clear();
    s.engineError.clear();
    return stateReply(s);
}

HttpReply goTo(ServeState& s, const json& body) {
    const auto it = body.find("node");
    if (it == body.end() || !it->is_number_integer() || it->get<long>() < 0 ||
        it->get<unsigned long>() >= s.game.nodes.size())
        return error(400, "expects {\"node\": N}, N a position of the game");
    s.game.shown = it->get<int>();
    restartEngines(s);
    s.engineError.clear();
    s.report.clear();
    return stateReply(s);
}

// {"seconds": S, "engine": I, "play": false}: without "play" the move is
// played; with false the engine only analyses.
HttpReply search(ServeState& s, const json& body) {
    const auto it = body.find("seconds");
    if (it == body.end() || !it->is_number() || !(it->get<double>() > 0) ||
        it->get<double>() > MAX_SECONDS_PER_MOVE)
        return error(400, "expects {\"seconds\": S}, S above 0 and at most 86400");
    const auto engine = engineField(s, body);
    if (!engine) return noSuchEngine(s);
    const auto play = body.find("play");
    if (play != body.end() && !play->is_boolean()) return error(400, "\"play\" is true or false");
    if (adjudicate(lineTo(s.game, s.game.shown)).outcome != Outcome::ONGOING)
        return error(409, "the game is over");
    startSearch(s, *engine, it->get<double>(), play == body.end() || play->get<bool>());
    return reply(202, json{{"searching", true}});
}

HttpReply analysis(ServeState& s, const json& body) {
    const auto engine = engineField(s, body);
    if (!engine) return noSuchEngine(s);
    ServeEngine& e = s.engines[*engine];
    const Position& now = s.game.nodes[s.game.shown].position;
    const std::string text = positionText(now, sideToMoveAt(s.game, s.game.shown));
    openDatabase(e, now);
    const std::string evaluation = engineCommand(e.library, ("staticevaluation " + text).c_str());
    // The evaluation overwrites the engine's position and ends its game.
    e.newGame = true;
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

HttpReply verdicts(ServeState& s, const json& body) {
    const auto engine = engineField(s, body);
    if (!engine) return noSuchEngine(s);
    ServeEngine& e = s.engines[*engine];
    const Position& now = s.game.nodes[s.game.shown].position;
    const int side = sideToMoveAt(s.game, s.game.shown);
    openDatabase(e, now);
    json moves = json::array();
    for (const MoveVerdict& v : moveVerdicts(e.library, now, side))
        moves.push_back({{"notation", v.move.notation},
                         {"path", v.move.path},
                         {"verdict", verdictWord(v.verdict)}});
    e.newGame = true;
    return reply(200, json{{"position", positionText(now, side)}, {"moves", moves}});
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
        {"POST", "/api/analysis", true, analysis},
        {"POST", "/api/verdicts", true, verdicts},
        {"POST", "/api/new", true,
         [](ServeState& s, const json&) {
             replaceGame(s, newTree(initialPosition(), 0));
             return stateReply(s);
         }},
        {"POST", "/api/position", true, setPosition},
        {"POST", "/api/move", true, playPersonMove},
        {"POST", "/api/goto", true, goTo},
        {"POST", "/api/undo", true,
         [](ServeState& s, const json&) {
             if (!takeBackShown(s.game)) return error(409, "nothing to undo");
             restartEngines(s);
             s.engineError.clear();
             s.report.clear();
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
