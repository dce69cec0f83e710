// What `tarnvel serve` keeps between requests: the game with its
// variations, and the engines, whose searches run on a worker thread.
//
// An engine's state is global and not re-entrant, and each engine is a
// library instance of its own. One search runs at a time: getmove only
// while `searching` (set under the mutex), and enginecommand only under
// the mutex while not searching. The play-now word is the one thing
// another thread touches during a search.
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine_library.h"
#include "game_tree.h"

namespace tarnvel::cli {

struct ServeEngine {
    EngineLibrary library;
    std::string name;
    bool newGame = true;          // its history no longer matches the game
    bool databaseOpened = false;  // its first getmove opens its database
};

struct ServeState {
    explicit ServeState(const std::vector<EngineLibrary>& libraries);
    ~ServeState();  // stops a running search and waits for it
    ServeState(const ServeState&) = delete;
    ServeState& operator=(const ServeState&) = delete;

    // Guards every member below, and the host's own (static) engine tables
    // that legality and notation use.
    std::mutex mutex;
    std::vector<ServeEngine> engines;  // at least one
    GameTree game;
    std::string report;       // the last finished search's report line
    std::string engineError;  // set when an engine handed back an illegal board

    bool searching = false;
    size_t searchEngine = 0;  // the engine searching, or that searched last
    bool searchPlays = true;  // its move is played when it ends (else it analyses)
    std::thread worker;
    int playNow = 0;         // the engine reads it while searching
    std::vector<char> text;  // the engine rewrites its report line here while searching
};

// Starts engine `engine`'s search in the shown position (the caller holds
// the mutex, no search runs and the side to move has a move). When it ends
// its score is kept with the position and, when `play`, its move played.
void startSearch(ServeState& state, size_t engine, double seconds, bool play);

// Asks a running search to play now. Safe from any thread, with or without
// the mutex.
void stopSearch(ServeState& state);

// The engine's report line as it is now, while a search runs.
std::string liveReport(const ServeState& state);

// Stops a running search and waits for its thread (without the mutex).
void finishSearch(ServeState& state);

// The game changed other than by a move played on: each engine's next
// search starts a new game.
void restartEngines(ServeState& state);

// Opens the engine's database, which it does at its first getmove, so
// that commands may ask it (the caller holds the mutex, no search runs).
void openDatabase(ServeEngine& engine, const Position& p);

}  // namespace tarnvel::cli
