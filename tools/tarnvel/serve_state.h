// What `tarnvel serve` keeps between requests: the game on the board and
// one engine, whose searches run on a worker thread.
//
// The engine's state is global and not re-entrant, so it runs one call at
// a time: getmove only while `searching` (set under the mutex), and
// enginecommand only under the mutex while not searching. The play-now
// word is the one thing another thread touches during a search.
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine_library.h"
#include "game.h"

namespace tarnvel::cli {

struct ServeState {
    explicit ServeState(const EngineLibrary& library);
    ~ServeState();  // stops a running search and waits for it
    ServeState(const ServeState&) = delete;
    ServeState& operator=(const ServeState&) = delete;

    // Guards every member below, and the host's own (static) engine tables
    // that legality and notation use.
    std::mutex mutex;
    EngineLibrary engine;
    std::string engineName;
    GameRecord game;
    bool engineNewGame = true;   // the engine's history no longer matches the game
    bool databaseOpened = false;  // the engine's first getmove opens its database
    std::string report;           // the last finished search's report line
    std::string engineError;      // set when the engine handed back an illegal board

    bool searching = false;
    std::thread worker;
    int playNow = 0;         // the engine reads it while searching
    std::vector<char> text;  // the engine rewrites its report line here while searching
};

// Starts the engine's search for the side to move (the caller holds the
// mutex, no search runs and the side to move has a move). When it ends its
// move is played.
void startSearch(ServeState& state, double seconds);

// Asks a running search to play now. Safe from any thread, with or without
// the mutex.
void stopSearch(ServeState& state);

// The engine's report line as it is now, while a search runs.
std::string liveReport(const ServeState& state);

// Stops a running search and waits for its thread (without the mutex).
void finishSearch(ServeState& state);

}  // namespace tarnvel::cli
