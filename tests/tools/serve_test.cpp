// tarnvel serve's API through a real HTTP client, against the server run in
// this process on a free loopback port with two instances of the built
// engine library, and the built 4-piece database in ./db.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <numeric>
#include <random>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "engine_library.h"
#include "pdn_io.h"
#include "serve_api.h"
#include "serve_http.h"
#include "tools/cli_run.h"
#include "tools/game_support.h"

namespace {

using nlohmann::json;
using namespace tarnvel::cli;
using Clock = std::chrono::steady_clock;

struct Reply {
    int status;
    json body;
};

// Each engine counts its searches, then passes them on to its own library.
EngineLibrary libraries[2];
int searches[2];

template <int I>
int TARNVEL_CALL countedGetmove(int board[8][8], int color, double seconds, char* text,
                                int* playNow, int info, int reserved1, int reserved2) {
    ++searches[I];
    return libraries[I].getmove(board, color, seconds, text, playNow, info, reserved1, reserved2);
}

class ServeApi : public tarnvel::testing::FourPieces {
protected:
    void SetUp() override {
        FourPieces::SetUp();
        searches[0] = searches[1] = 0;
        std::string error;
        const std::string path = TARNVEL_BINARY_DIR "/libTarnvel.so";
        ASSERT_TRUE(openEngineLibrary(path, libraries[0], error)) << error;
        ASSERT_TRUE(openEngineLibrary(path, libraries[1], error, &libraries[0])) << error;
        std::vector<EngineLibrary> engines(libraries, libraries + 2);
        engines[0].getmove = countedGetmove<0>;
        engines[1].getmove = countedGetmove<1>;
        state = std::make_unique<ServeState>(engines);
        routeRequests(server, *state);
        const int port = server.bind_to_any_port("127.0.0.1");
        ASSERT_GT(port, 0);
        listener = std::thread([this] { server.listen_after_bind(); });
        client = std::make_unique<httplib::Client>("127.0.0.1", port);
    }
    void TearDown() override {
        server.stop();
        if (listener.joinable()) listener.join();
        state.reset();
        FourPieces::TearDown();
    }

    Reply send(const std::string& method, const std::string& path, const std::string& body = "") {
        const httplib::Result r = method == "GET"  ? client->Get(path.c_str())
                                  : method == "PUT" ? client->Put(path.c_str(), body, "application/json")
                                                    : client->Post(path.c_str(), body, "application/json");
        if (!r) {
            ADD_FAILURE() << method << " " << path << ": no reply";
            return {0, {}};
        }
        return {r->status, json::parse(r->body, nullptr, false)};
    }

    // The state once `done` holds for it, or no search runs (polled, at most 60 s).
    json settled(bool (*done)(const json&) = nullptr) {
        const auto end = Clock::now() + std::chrono::seconds(60);
        json s = send("GET", "/api/state").body;
        while ((done ? !done(s) : s.value("searching", false)) && Clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            s = send("GET", "/api/state").body;
        }
        return s;
    }

    std::unique_ptr<ServeState> state;
    httplib::Server server;
    std::thread listener;
    std::unique_ptr<httplib::Client> client;
};

// The person plays each first legal move by its path (after its refused reverse,
// from an empty square), the engine answers, to the end; the PDN replays.
TEST_F(ServeApi, GamePlayedToTheEndWithIllegalMovesRefused) {
    json s = send("GET", "/api/state").body;
    for (int ply = 0; ply < 1000 && !s["over"].get<bool>(); ++ply) {
        if (s["sideToMove"] == "black") {
            json backwards = s["moves"][0]["path"];
            std::reverse(backwards.begin(), backwards.end());
            EXPECT_EQ(send("POST", "/api/move", json{{"path", backwards}}.dump()).status, 400);
            const Reply r = send("POST", "/api/move", json{{"path", s["moves"][0]["path"]}}.dump());
            ASSERT_EQ(r.status, 200) << r.body;
            s = r.body;
        } else {
            ASSERT_EQ(send("POST", "/api/search", R"({"seconds": 0.01})").status, 202);
            s = settled();
            EXPECT_EQ(s["engineError"], "");
        }
    }
    ASSERT_TRUE(s["over"].get<bool>());
    EXPECT_NE(s["reason"], "");
    EXPECT_EQ(send("POST", "/api/move", json{{"path", {1, 5}}}.dump()).status, 409);
    std::vector<PdnGame> games;
    std::string error;
    ASSERT_TRUE(readPdn(s["pdn"].get<std::string>(), games, error)) << error;
    GameRecord record;
    ASSERT_TRUE(replayPdnGame(games.at(0), record, error)) << error;
    EXPECT_EQ(games[0].result, s["result"]);
    EXPECT_EQ(record.moves.size(), s["ply"].get<size_t>());
    const json reloaded = send("POST", "/api/position", json{{"pdn", s["pdn"]}}.dump()).body;
    EXPECT_EQ(reloaded["position"], s["position"]);
    EXPECT_EQ(reloaded["pdn"], s["pdn"]);
}

long reportMs(const json& state) {
    const std::string report = state["report"];
    return std::stol(report.substr(report.find("time=") + 5));
}

TEST_F(ServeApi, SecondSearchRefusedAndStopAnsweredWithin100Milliseconds) {
    ASSERT_EQ(send("POST", "/api/search", R"({"seconds": 60})").status, 202);
    // The first report line, polled for as it is written, dates the search
    // on the engine's clock: it started no later than `seen` - its time=.
    // (Lines about the database being read come before.)
    const json first = settled([](const json& s) {
        return s["report"].get<std::string>().find("time=") != std::string::npos;
    });
    const auto seen = Clock::now();
    for (const auto& [method, path, body] : {std::tuple{"POST", "/api/search", R"({"seconds": 1})"},
                                             {"POST", "/api/move", R"({"move": "11-15"})"},
                                             {"POST", "/api/new", ""},
                                             {"POST", "/api/analysis", ""}}) {
        const Reply r = send(method, path, body);
        EXPECT_EQ(r.status, 409) << path;
        EXPECT_EQ(r.body["error"], "the engine is thinking; stop it or wait") << path;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_NE(send("GET", "/api/state").body["report"], first["report"]);
    const auto stop = Clock::now();
    EXPECT_EQ(send("POST", "/api/stop", "").status, 200);
    const json s = settled();
    const auto settledAfter = Clock::now() - stop;
    EXPECT_EQ(s["ply"], 1);
    // The engine's clock: ended within 100 ms of the stop; the wall clock gets slack.
    const auto beforeStop = std::chrono::duration_cast<std::chrono::milliseconds>(stop - seen);
    EXPECT_LT(reportMs(s) - reportMs(first) - beforeStop.count(), 100) << s["report"];
    EXPECT_LT(settledAfter, std::chrono::seconds(1));
}

struct BadRequest {
    const char *method, *path;
    std::string body;
    int status;
    std::string error;
};

TEST_F(ServeApi, BadRequestsRefusedWithOneLineAndNothingChanged) {
    const BadRequest cases[] = {
        {"GET", "/nope", "", 404, "no such page: /nope"},
        {"GET", "/../CMakeCache.txt", "", 404, "no such page: /../CMakeCache.txt"},
        {"PUT", "/api/state", "{}", 405, "wrong method for /api/state"},
        {"POST", "/board.js", "{}", 405, "only GET here"},
        {"POST", "/api/move", "11-15", 400, "the body is not a JSON object"},
        {"POST", "/api/move", "[11, 15]", 400, "the body is not a JSON object"},
        {"POST", "/api/move", R"({"path": [11, 33]})", 400, "a path names squares 1 to 32"},
        {"POST", "/api/move", R"({"path": [11]})", 400, "a path names 2 to 32 squares"},
        {"POST", "/api/move", R"({"move": "eleven"})", 400, "'eleven' is no move"},
        {"POST", "/api/move", R"({"path": [11, 17]})", 400, "illegal move 11-17; legal moves: 12-16 11-16 11-15 10-15 10-14 9-14 9-13"},
        {"POST", "/api/position", R"({"position": "B:W33:B1."})", 400,
         "cannot parse position 'B:W33:B1.': square numbers run from 1 to 32"},
        {"POST", "/api/position", R"({"pdn": "1. 11-15 11-15"})", 400,
         "PDN move 1 (White): illegal move 11-15 (line 1)"},
        {"POST", "/api/position", R"({"fen": "B:W1:B2."})", 400,
         R"(expects {"position": TEXT} or {"pdn": TEXT})"},
        {"POST", "/api/search", R"({"seconds": 0})", 400, R"(expects {"seconds": S}, S above 0 and at most 86400)"},
        {"POST", "/api/search", R"({"seconds": "1"})", 400, R"(expects {"seconds": S}, S above 0 and at most 86400)"},
        {"POST", "/api/undo", "", 409, "nothing to undo"},
        {"POST", "/api/goto", R"({"node": 1})", 400, R"(expects {"node": N}, N a position of the game)"},
        {"POST", "/api/verdicts", R"({"engine": 2})", 400, R"("engine" is a number from 0 to 1)"},
        {"POST", "/api/search", R"({"seconds": 1, "engine": -1})", 400, R"("engine" is a number from 0 to 1)"},
        {"POST", "/api/search", R"({"seconds": 1, "play": 0})", 400, R"("play" is true or false)"},
        {"POST", "/api/new", std::string(MAX_REQUEST_BODY + 1, ' '), 413, "request body over 64 KiB"},
    };
    const json before = send("GET", "/api/state").body;
    for (const BadRequest& c : cases) {
        const Reply r = send(c.method, c.path, c.body);
        EXPECT_EQ(r.status, c.status) << c.method << " " << c.path << " " << c.body.substr(0, 40);
        EXPECT_EQ(r.body["error"], c.error) << c.path;
    }
    // Another site's page: a plain-text post, or a request through a name of its own.
    const httplib::Result plain = client->Post("/api/new", "", "text/plain");
    const httplib::Result rebound = client->Get("/api/state", httplib::Headers{{"Host", "rebound.example"}});
    ASSERT_TRUE(plain && rebound);
    EXPECT_EQ(plain->status, 403);
    EXPECT_EQ(rebound->status, 403);
    EXPECT_EQ(send("GET", "/api/state").body, before);
    const httplib::Result page = client->Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(page->body.find("<script src=\"board.js\"></script>"), std::string::npos);
}

json pdnMoves(const json& state) {
    const std::string pdn = state["pdn"];
    return pdn.substr(pdn.rfind("]\n") + 2);
}

// Moves played, two walked back, a new move there and another in the old
// line: the PDN holds both variations, reads back to the same tree, and
// undo drops only the shown move.
TEST_F(ServeApi, WalkedBackAndBranchedVariationsRoundTripThroughPdn) {
    json s;
    for (const char* move : {"11-15", "23-19", "8-11", "22-17"})
        s = send("POST", "/api/move", json{{"move", move}}.dump()).body;
    const json line = s["line"];
    ASSERT_EQ(line.size(), 5u);
    s = send("POST", "/api/goto", json{{"node", line[2]}}.dump()).body;
    EXPECT_EQ(s["ply"], 2);
    EXPECT_EQ(s["position"], "B:W19,21,22,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,12,15.");
    s = send("POST", "/api/move", R"({"move": "9-14"})").body;
    EXPECT_EQ(pdnMoves(s), "1. 11-15 23-19 2. 9-14 (2. 8-11 22-17) *\n\n");
    send("POST", "/api/goto", json{{"node", line[3]}}.dump());
    s = send("POST", "/api/move", R"({"move": "24-20"})").body;
    const std::string nested = "1. 11-15 23-19 2. 9-14 (2. 8-11 24-20 (2... 22-17)) *\n\n";
    EXPECT_EQ(pdnMoves(s), nested);
    EXPECT_EQ(s["line"], (json{0, line[1], line[2], line[3], 6})) << s["nodes"];
    const json reloaded = send("POST", "/api/position", json{{"pdn", s["pdn"]}}.dump()).body;
    EXPECT_EQ(reloaded["pdn"], s["pdn"]);
    EXPECT_EQ(reloaded["nodes"].size(), s["nodes"].size());
    EXPECT_EQ(reloaded["ply"], 3);  // the main line's end
    // Read back in PDN order: node 6 is 22-17.
    send("POST", "/api/goto", json{{"node", 6}}.dump());
    EXPECT_EQ(pdnMoves(send("POST", "/api/undo").body), "1. 11-15 23-19 2. 9-14 (2. 8-11 24-20) *\n\n");
}

// The engine a search names runs it, and only that one; analysing plays
// no move but keeps the score with the position.
TEST_F(ServeApi, EachRequestUsesTheEngineItNames) {
    ASSERT_EQ(send("POST", "/api/search", R"({"seconds": 60, "engine": 1, "play": false})").status, 202);
    settled([](const json& s) { return s["report"] != ""; });
    send("POST", "/api/stop");
    json s = settled();
    EXPECT_EQ(s["ply"], 0);
    EXPECT_EQ(s["searchEngine"], 1);
    const std::string score = s["nodes"][0]["score"]["text"];
    EXPECT_NE(s["report"].get<std::string>().find("> " + score + "  "), std::string::npos) << score;
    EXPECT_EQ((std::vector{searches[0], searches[1]}), (std::vector{0, 1}));
    ASSERT_EQ(send("POST", "/api/search", R"({"seconds": 0.05})").status, 202);
    s = settled();
    EXPECT_EQ(s["ply"], 1);
    EXPECT_EQ((std::vector{searches[0], searches[1]}), (std::vector{1, 1}));
    // The first verdicts open engine 0's database: no search of engine 1.
    EXPECT_EQ(send("POST", "/api/verdicts", R"({"engine": 1})").status, 200);
    EXPECT_EQ(send("POST", "/api/verdicts", "").status, 200);
    EXPECT_EQ((std::vector{searches[0], searches[1]}), (std::vector{1, 1}));
}

// Random endings of 3 and 4 pieces: the best move's verdict is the
// database's own for the position, and the colour-reversed position gets
// the mirrored verdicts. Moves into pending captures, which the database
// does not hold, are among them, and none stays unknown.
TEST_F(ServeApi, MoveVerdictsAgreeWithTheDatabaseAndTheColourReversedTwin) {
    std::mt19937 rng(22);
    int compared = 0, throughCaptures = 0;
    std::map<std::string, int> seen;
    const std::map<std::string, std::string> reversed = {{"win", "loss"}, {"loss", "win"},
                                                         {"draw", "draw"}, {"unknown", "unknown"}};
    for (int round = 0; round < 150; ++round) {
        std::vector<int> squares(32);
        std::iota(squares.begin(), squares.end(), 1);
        std::shuffle(squares.begin(), squares.end(), rng);
        std::string mine[2], twin[2];  // pieces by colour, White first
        const int pieces = 3 + round % 2;
        for (int i = 0; i < pieces; ++i) {
            const int black = i == 0 ? 0 : i == 1 ? 1 : static_cast<int>(rng() % 2);
            const bool crowning = black ? squares[i] >= 29 : squares[i] <= 4;
            const std::string king = rng() % 2 || crowning ? "K" : "";
            mine[black] += "," + king + std::to_string(squares[i]);
            twin[!black] += "," + king + std::to_string(33 - squares[i]);
        }
        const bool whiteToMove = rng() % 2;
        const auto text = [&](const std::string* p, bool white) {
            return std::string(white ? "W" : "B") + ":W" + p[0].substr(1) + ":B" + p[1].substr(1) + ".";
        };
        std::map<std::string, std::string> verdicts[2];
        for (int side = 0; side < 2; ++side) {
            const std::string position = side ? text(twin, !whiteToMove) : text(mine, whiteToMove);
            ASSERT_EQ(send("POST", "/api/position", json{{"position", position}}.dump()).status, 200);
            const json moves = send("POST", "/api/verdicts").body["moves"];
            for (const json& m : moves) {
                std::vector<int> path = m["path"];
                if (side) for (int& square : path) square = 33 - square;
                verdicts[side][json(path).dump()] = m["verdict"];
                ++seen[m["verdict"]];
            }
            const std::string own = send("POST", "/api/analysis").body["verdict"];
            if (side || !reversed.count(own) || own == "unknown" || moves.empty()) continue;
            ++compared;
            EXPECT_EQ(own, moves[0]["verdict"]) << position << " " << moves;
            for (const json& m : moves) {
                GameRecord g = gameFrom(position);
                play(g, m["notation"]);
                const auto replies = legalMoves(currentPosition(g), sideToMove(g));
                throughCaptures += !replies.empty() && replies[0].notation.find('x') != std::string::npos &&
                                   m["verdict"] != "unknown";
            }
        }
        EXPECT_EQ(verdicts[0], verdicts[1]) << text(mine, whiteToMove);
    }
    EXPECT_GT(compared, 50);
    EXPECT_GT(throughCaptures, 20);
    EXPECT_GT(seen["win"] * seen["draw"] * seen["loss"], 0);
    EXPECT_EQ(seen["unknown"], 0);
}

TEST(EngineReport, ScoresAndPrincipalVariations) {
    struct Case {
        std::string report;
        int whiteToMove;
        std::string text;
        int forBlack, decided;
        std::vector<std::vector<int>> pv;
    };
    const Case cases[] = {
        {"Tarnvel v1.3 => value=-4  depth=15/25  nodes=825886  tbhits=0  time=129   6402.2KN/s", 1,
         "value=-4", 4, 0, {}},
        {"Tarnvel 2.0 => value=12  depth=18/31  nodes=123456  tbhits=0  time=100  2345.6KN/s  pv 11-15 23-19 8-11",
         0, "value=12", 12, 0, {{11, 15}, {23, 19}, {8, 11}}},
        {"Tarnvel 2.0 => win=7  depth=9/9  pv 1x10x19 22x15 ? 9-13", 1, "win=7", 0, -1, {{1, 10, 19}, {22, 15}}},
        {"X => loss=2  depth=3/3", 1, "loss=2", 0, 1, {}},
        {"no score here  pv 9-14", 0, "", 0, 0, {{9, 14}}},
    };
    for (const Case& c : cases) {
        const auto score = readEngineScore(c.report, c.whiteToMove);
        EXPECT_EQ(score.has_value(), !c.text.empty()) << c.report;
        if (score) {
            EXPECT_EQ(score->text, c.text);
            EXPECT_EQ(score->forBlack, c.forBlack) << c.report;
            EXPECT_EQ(score->decided, c.decided) << c.report;
        }
        EXPECT_EQ(readPrincipalVariation(c.report), c.pv) << c.report;
    }
}

}  // namespace
