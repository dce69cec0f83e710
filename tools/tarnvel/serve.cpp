// tarnvel serve: a local web page to play and analyse against an engine
// library, and the JSON API behind it.
#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "engine_library.h"
#include "serve_http.h"

namespace tarnvel::cli {

namespace {

constexpr const char* HELP =
    "usage: tarnvel serve [--listen ADDR:PORT] [--engine LIB]... [--hash MB] [--threads N]\n"
    "Serves a page to play and analyse in a web browser, and prints its\n"
    "address. Stop with Ctrl-C.\n"
    "  --listen ADDR:PORT  where to listen (default 127.0.0.1:8080; port 0\n"
    "                      picks a free one)\n"
    "  --engine LIB        engine library: v1.3, 2 or a path (default v1.3); given\n"
    "                      more than once, the page chooses which plays or analyses\n"
    "  --hash MB           each engine's transposition table size, 1-1024 MB\n"
    "  --threads N         search threads of each engine that takes them (Tarnvel 2)\n";

constexpr const char* DEFAULT_LISTEN = "127.0.0.1:8080";
constexpr int MAX_PORT = 65535;

// A library loaded twice would be one instance with one global state:
// a second load of a file already open is a private copy.
bool openSeparateEngine(const std::string& path, const std::vector<EngineLibrary>& open,
                        EngineLibrary& engine, std::string& error) {
    if (!openEngineLibrary(path, engine, error)) return false;
    for (const EngineLibrary& other : open) {
        if (other.handle != engine.handle) continue;
        dlclose(engine.handle);
        return openEngineLibrary(path, engine, error, &other);
    }
    return true;
}

bool splitListen(const std::string& listen, std::string& host, int& port) {
    const size_t colon = listen.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    host = listen.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    const std::string digits = listen.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    port = std::stoi(digits);
    return port <= MAX_PORT;
}

int serveCommand(int argc, char** argv) {
    CommandLine line("serve", HELP);
    std::string listen = DEFAULT_LISTEN;
    std::vector<std::string> libraries;
    long hash = 0, threads = 0;
    line.app.add_option("--listen", listen);
    line.app.add_option("--engine", libraries)->take_all()->allow_extra_args(false);
    addHash(line.app, hash);
    addThreads(line.app, threads);
    if (const int status = line.parse(argc, argv); status != PARSED) return status;
    std::string host;
    int port = 0;
    if (!splitListen(listen, host, port))
        return line.fail("--listen must be ADDRESS:PORT, not '" + listen + "'");
    if (libraries.empty()) libraries.push_back("v1.3");

    std::vector<EngineLibrary> engines;
    for (const std::string& name : libraries) {
        std::string error;
        EngineLibrary engine;
        if (!openSeparateEngine(engineLibraryPath(name), engines, engine, error)) {
            std::fprintf(stderr, "tarnvel serve: %s\n", error.c_str());
            return EXIT_FAILED;
        }
        if (hash) engineCommand(engine, ("set hashsize " + std::to_string(hash)).c_str());
        if (threads) engineCommand(engine, ("set threads " + std::to_string(threads)).c_str());
        engines.push_back(engine);
    }

    // Ctrl-C and SIGTERM are taken by one thread, so that the server stops
    // between requests and a running search is ended before the process.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    ServeState state(engines);
    httplib::Server server;
    routeRequests(server, state);
    const int bound = port ? (server.bind_to_port(host, port) ? port : -1)
                           : server.bind_to_any_port(host);
    if (bound < 0) {
        std::fprintf(stderr, "tarnvel serve: cannot listen on %s\n", listen.c_str());
        return EXIT_FAILED;
    }
    const bool ipv6 = host.find(':') != std::string::npos;
    std::string names;
    for (const ServeEngine& e : state.engines) names += (names.empty() ? "" : ", ") + e.name;
    std::printf("tarnvel serve: %s on http://%s%s%s:%d/ (Ctrl-C to stop)\n", names.c_str(),
                ipv6 ? "[" : "", host.c_str(), ipv6 ? "]" : "", bound);
    std::fflush(stdout);

    std::thread stopper([&] {
        int signal = 0;
        sigwait(&signals, &signal);
        stopSearch(state);
        server.stop();
    });
    server.listen_after_bind();
    finishSearch(state);
    // When the server ended by itself, the stopper is still waiting.
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    std::printf("tarnvel serve: stopped\n");
    return 0;
}

const bool registered = registerCommand(
    {"serve", serveCommand,
     "serve [--listen ADDR:PORT] [--engine LIB]...  play and study in a web browser", 55});

}  // namespace

}  // namespace tarnvel::cli
