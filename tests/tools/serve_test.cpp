// tarnvel serve's API through a real HTTP client, against the server run in
// this process on a free loopback port with the built engine library.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "engine_library.h"
#include "pdn_io.h"
#include "serve_api.h"
#include "serve_http.h"

namespace {

using nlohmann::json;
using namespace tarnvel::cli;
using Clock = std::chrono::steady_clock;

struct Reply {
    int status;
    json body;
};

class ServeApi : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(openEngineLibrary(TARNVEL_BINARY_DIR "/libTarnvel.so", engine, error)) << error;
        state = std::make_unique<ServeState>(std::vector{engine});
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

    EngineLibrary engine;
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
    const json first = settled([](const json& s) { return s["report"] != ""; });
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

}  // namespace
