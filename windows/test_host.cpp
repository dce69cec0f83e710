// Loads an engine DLL (Tarnvel.dll or Tarnvel2.dll, named on the command
// line) the way a Windows host board program does: LoadLibrary,
// GetProcAddress by the plain names, its own __stdcall pointer types. Checks
// the commands, plays games checking that every board the engine returns is
// a legal successor, and on 32-bit Windows checks the stack pointer around
// every call. Exit status 0 when all checks pass.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/movestack.h"
#include "board/notation.h"
#include "board/perft.h"
#include "board/position.h"
#include "interface/hostboard.h"
#include "interface/postext.h"
#include "tarnvel/tarnvel.h"

namespace {

// The entry points as a host program declares them, independent of the
// engine's header: the callee removes 36 and 8 bytes of arguments.
using GetMoveFn = int(__stdcall*)(int[8][8], int, double, char*, int*, int, int, int);
using EngineCommandFn = int(__stdcall*)(const char*, char*);

GetMoveFn getmoveEntry = nullptr;
EngineCommandFn enginecommandEntry = nullptr;
int failures = 0;

// What tells the engines apart to a host: the help page each names, its
// evaluation terms of B:W29:B4. (null for Tarnvel 2, whose learned network's
// score changes when it is fitted again) and whether its report line ends
// with the principal variation.
struct KnownEngine {
    const char* name;
    const char* helpFile;
    const char* evaluationTerms;
    bool reportsVariation;
    bool takesThreads;  // "set threads N"
};
constexpr const char* V13_TERMS = "material = 0\ndefense  = 0\nattack   = 22\nSCORE    = 22\n";
constexpr KnownEngine KNOWN_ENGINES[] = {
    {"Tarnvel v1.3", "Tarnvel.htm", V13_TERMS, false, false},
    {"Tarnvel 2.0", "Tarnvel2.htm", nullptr, true, true},
};

unsigned long stackBalancedCalls = 0;
unsigned long stackDriftedCalls = 0;

#if defined(__i386__)
// A caller and a callee that disagree about who pops the arguments leave
// the stack pointer moved after the call. It is saved in globals (never
// addressed through the stack pointer) by an asm statement just before the
// call and compared just after it; the "memory" clobbers keep the call
// between the two. After the comparison the stack pointer is put back where
// this caller expects it, so that a drift is counted instead of crashing.
constexpr bool STACK_CHECKED = true;
uintptr_t stackBefore = 0;
uintptr_t stackAfter = 0;

inline __attribute__((always_inline)) void markStack() {
    asm volatile("movl %%esp, %0" : "=m"(stackBefore) : : "memory");
}

inline __attribute__((always_inline)) void checkStack() {
    asm volatile("movl %%esp, %0\n\tmovl %1, %%esp"
                 : "=m"(stackAfter)
                 : "m"(stackBefore)
                 : "memory");
    if (stackAfter == stackBefore) ++stackBalancedCalls;
    else ++stackDriftedCalls;
}
#else
// x86-64 has one calling convention, in which the caller pops.
constexpr bool STACK_CHECKED = false;
inline void markStack() {}
inline void checkStack() {}
#endif

int callGetmove(int board[8][8], int color, double seconds, char* text, int* playNow, int info) {
    markStack();
    const int result = getmoveEntry(board, color, seconds, text, playNow, info, 0, 0);
    checkStack();
    return result;
}

int callEnginecommand(const char* command, char* reply) {
    markStack();
    const int result = enginecommandEntry(command, reply);
    checkStack();
    return result;
}

// GetProcAddress returns a generic function pointer; the detour through
// void* tells the compiler the signature change is intended.
template <typename Fn>
Fn entryPoint(HMODULE library, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

void check(bool ok, const char* what, const std::string& detail = "") {
    std::printf("%s: %s%s%s\n", ok ? "ok" : "FAIL", what, detail.empty() ? "" : " -- ",
                detail.c_str());
    if (!ok) ++failures;
}

std::string command(const char* text, int* result) {
    char reply[TARNVEL_REPLY_CAPACITY] = {};
    *result = callEnginecommand(text, reply);
    return reply;
}

void expectReply(const char* text, const char* expected) {
    int result = 0;
    const std::string reply = command(text, &result);
    check(result == 1 && reply == expected, text, "reply \"" + reply + "\"");
}

// The standard notation of the legal move of `side` that turns `before`
// into `after`, judged by this host's own copy of the rules; "" for none.
std::string playedMove(int before[8][8], int after[8][8], int side) {
    tarnvel::importHostBoard(before);
    const uint32_t n = tarnvel::generateLegalMoves(side, 0);
    const tarnvel::Position start = tarnvel::position;
    for (uint32_t i = 0; i < n; ++i) {
        tarnvel::position = start;
        tarnvel::makeMove(i);
        int board[8][8];
        std::memcpy(board, before, sizeof board);
        tarnvel::exportHostBoard(board);
        if (!std::memcmp(board, after, sizeof board)) return tarnvel::moveNotation(start, i);
    }
    return "";
}

constexpr int NON_PLAYABLE_MARK = 0x7E7E7E7E;  // must survive every call

struct GameRecord {
    int plies = 0;
    bool legal = true;
    bool untouched = true;
    std::string firstReport;
    std::string firstMove;
};

// The engine plays both sides from the initial arrangement for at most
// `plies` moves of `seconds` each, starting a new game.
GameRecord playGame(int plies, double seconds) {
    GameRecord game;
    int side = 0;
    tarnvel::parsePosition("B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.",
                           &side);
    int board[8][8];
    for (auto& column : board)
        for (int& square : column) square = NON_PLAYABLE_MARK;
    tarnvel::exportHostBoard(board);
    int playNow = 0;
    for (; game.plies < plies; ++game.plies) {
        int before[8][8];
        std::memcpy(before, board, sizeof board);
        char text[TARNVEL_TEXT_CAPACITY] = {};
        const int result =
            callGetmove(board, side ? 1 : 2, seconds, text, &playNow, game.plies == 0 ? 1 : 0);
        if (game.plies == 0) game.firstReport = text;
        if (result == TARNVEL_LOSS) break;
        const std::string move = playedMove(before, board, side);
        if (game.plies == 0) game.firstMove = move;
        game.legal = game.legal && !move.empty();
        for (int c = 0; c < 8; ++c)
            for (int r = 0; r < 8; ++r)
                if ((c + r) % 2 && board[c][r] != NON_PLAYABLE_MARK) game.untouched = false;
        side = !side;
    }
    return game;
}

// The engine's page, opened from its folder by the board program, is named
// after its DLL: Tarnvel.dll's Tarnvel.htm, Tarnvel2.dll's Tarnvel2.htm.
std::string pageNamedAfter(const std::string& dll) {
    const std::string file = dll.substr(dll.find_last_of("\\/") + 1);
    return file.substr(0, file.rfind('.')) + ".htm";
}

long reportedMilliseconds(const std::string& report) {
    const size_t at = report.find("  time=");
    return at == std::string::npos ? -1 : std::strtol(report.c_str() + at + 7, nullptr, 10);
}

}  // namespace

int main(int argc, char** argv) {
    const char* dll = nullptr;
    bool expectDatabase = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--expect-db")) expectDatabase = true;
        else dll = argv[i];
    }
    if (!dll) {
        std::printf("usage: tarnvel-windows-host DLL [--expect-db]\n");
        return 2;
    }
    HMODULE library = LoadLibraryA(dll);
    if (!library) {
        std::printf("FAIL: cannot load %s (error %lu)\n", dll, GetLastError());
        return 1;
    }
    getmoveEntry = entryPoint<GetMoveFn>(library, "getmove");
    enginecommandEntry = entryPoint<EngineCommandFn>(library, "enginecommand");
    check(getmoveEntry != nullptr, "GetProcAddress(\"getmove\")");
    check(enginecommandEntry != nullptr, "GetProcAddress(\"enginecommand\")");
    if (!getmoveEntry || !enginecommandEntry) return 1;

    int result = 0;
    const std::string name = command("name", &result);
    const KnownEngine* engine = nullptr;
    for (const KnownEngine& known : KNOWN_ENGINES)
        if (name == known.name) engine = &known;
    check(result == 1 && engine, "name is one of the known engines", "reply \"" + name + "\"");
    if (!engine) return 1;
    expectReply("help", engine->helpFile);
    check(pageNamedAfter(dll) == engine->helpFile, "the help page is named after the DLL", dll);
    expectReply("get protocolversion", "2");
    expectReply("get gametype", "21");
    expectReply("get hashsize", "256");
    // The database is opened by the first getmove, so this report's verdict
    // is still "unknown"; the same report after the games shows the database's.
    const std::string heading = name + "'s evaluation with black to move:\n\n";
    const std::string terms = engine->evaluationTerms ? engine->evaluationTerms : "";
    // The database's verdict, when the reply is this engine's evaluation.
    const auto verdictOf = [&](const std::string& reply) {
        const size_t at = reply.find("EGTB     = ");
        const bool ours = reply.rfind(heading + terms, 0) == 0 && at != std::string::npos;
        return ours ? reply.substr(at + 11) : std::string("(not this engine's evaluation)");
    };
    {
        const std::string reply = command("staticevaluation B:W29:B4.", &result);
        check(result == 1 && verdictOf(reply) == "unknown\n", "staticevaluation B:W29:B4.",
              "reply \"" + reply + "\"");
    }
    int unknown = 1;
    command("name ", &unknown);
    check(unknown == 0, "unknown command answers 0");

    // Many calls through the command channel, each answered as the first time.
    const char* repeated[] = {"name", "help", "get hashsize", "get dbmbytes", "about",
                              "staticevaluation B:W18,24,27,28,K10,K15:B12,16,20,K22,K25,K29.",
                              "no such command"};
    std::string firstReplies[std::size(repeated)];
    int firstResults[std::size(repeated)];
    bool stable = true;
    constexpr int COMMAND_CALLS = 3000;
    for (int i = 0; i < COMMAND_CALLS; ++i) {
        const size_t k = i % std::size(repeated);
        int result = 0;
        const std::string reply = command(repeated[k], &result);
        if (i < static_cast<int>(std::size(repeated))) {
            firstReplies[k] = reply;
            firstResults[k] = result;
        }
        stable = stable && reply == firstReplies[k] && result == firstResults[k];
    }
    check(stable, "3000 commands answered alike");

    GameRecord game = playGame(16, 0.05);
    check(game.legal && game.untouched && game.plies == 16,
          "16 plies of 0.05 s: legal successors, non-playable entries untouched");
    const std::string reportLine = game.firstReport.substr(0, game.firstReport.find('\n'));
    check(reportLine.rfind(name + " => ", 0) == 0 && reportedMilliseconds(reportLine) > 0,
          "a 0.05 s search reports a non-zero time", reportLine);
    const size_t variation = reportLine.find("  pv");
    if (engine->reportsVariation) {
        const std::string moves =
            variation == std::string::npos ? "" : reportLine.substr(variation + 4) + " ";
        check(!game.firstMove.empty() && moves.rfind(" " + game.firstMove + " ", 0) == 0,
              "the report line ends with the variation of the move played",
              "played " + game.firstMove);
    } else {
        check(variation == std::string::npos, "the report line shows no variation");
    }

    // Helper threads, where the engine has them: a game searched by three.
    if (engine->takesThreads) {
        expectReply("set threads 3", "");
        expectReply("get threads", "3");
        game = playGame(16, 0.05);
        check(game.legal && game.untouched && game.plies == 16, "16 plies of 0.05 s with 3 threads");
        expectReply("set threads 1", "");
    } else {
        command("set threads 3", &result);
        check(result == 0, "set threads is not one of this engine's commands");
    }

    // Short moves, many calls: a smaller table keeps each new game's clear cheap.
    expectReply("set hashsize 16", "");
    expectReply("get hashsize", "16");
    constexpr int SHORT_MOVES = 300;
    int played = 0;
    bool shortLegal = true;
    while (played < SHORT_MOVES) {
        game = playGame(std::min(60, SHORT_MOVES - played), 0.002);
        played += std::max(game.plies, 1);
        shortLegal = shortLegal && game.legal && game.untouched;
    }
    check(shortLegal, "300 moves of 0.002 s: legal successors, non-playable entries untouched");

    const std::string about = command("about", &result);
    if (expectDatabase) {
        check(about.find("Database Details:\ndb\\db2.idx\n") != std::string::npos,
              "about lists db\\db2.idx", about);
        const std::string verdict = verdictOf(command("staticevaluation B:W29:B4.", &result));
        check(verdict == "win\n" || verdict == "loss\n" || verdict == "draw\n",
              "the database answers the evaluation",
              "EGTB     = " + verdict.substr(0, verdict.find('\n')));
    }
    if (STACK_CHECKED) {
        check(stackDriftedCalls == 0, "stack pointer unchanged around every __stdcall call",
              std::to_string(stackBalancedCalls) + " balanced, " +
                  std::to_string(stackDriftedCalls) + " drifted");
    }
    std::printf("%s\n", failures ? "windows host: FAILED" : "windows host: all checks passed");
    return failures ? 1 : 0;
}
