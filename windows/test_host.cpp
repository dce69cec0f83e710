// Loads Tarnvel.dll the way a Windows host board program does (LoadLibrary,
// GetProcAddress by the plain names, __stdcall pointers), checks a few
// commands and plays a short game, checking that every board the engine
// returns is a legal successor. Exit status 0 when all checks pass.
#include <windows.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>

#include "board/movestack.h"
#include "board/perft.h"
#include "board/position.h"
#include "interface/hostboard.h"
#include "interface/postext.h"
#include "tarnvel/tarnvel.h"

namespace {

using GetMoveFn = int(__stdcall*)(int[8][8], int, double, char*, int*, int, int, int);
using EngineCommandFn = int(__stdcall*)(const char*, char*);

int failures = 0;

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

std::string command(EngineCommandFn enginecommand, const char* text, int* result) {
    char reply[TARNVEL_REPLY_CAPACITY] = {};
    *result = enginecommand(text, reply);
    return reply;
}

void expectReply(EngineCommandFn enginecommand, const char* text, const char* expected) {
    int result = 0;
    const std::string reply = command(enginecommand, text, &result);
    check(result == 1 && reply == expected, text, "reply \"" + reply + "\"");
}

// Whether `after` is the board of some legal move of `side` from `before`,
// judged by this host's own copy of the rules.
bool isLegalSuccessor(int before[8][8], int after[8][8], int side) {
    tarnvel::importHostBoard(before);
    const uint32_t n = tarnvel::generateLegalMoves(side, 0);
    const tarnvel::Position start = tarnvel::position;
    for (uint32_t i = 0; i < n; ++i) {
        tarnvel::position = start;
        tarnvel::makeMove(i);
        int board[8][8];
        std::memcpy(board, before, sizeof board);
        tarnvel::exportHostBoard(board);
        if (!std::memcmp(board, after, sizeof board)) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const char* dll = "Tarnvel.dll";
    bool expectDatabase = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--expect-db")) expectDatabase = true;
        else dll = argv[i];
    }
    HMODULE library = LoadLibraryA(dll);
    if (!library) {
        std::printf("FAIL: cannot load %s (error %lu)\n", dll, GetLastError());
        return 1;
    }
    auto getmove = entryPoint<GetMoveFn>(library, "getmove");
    auto enginecommand = entryPoint<EngineCommandFn>(library, "enginecommand");
    check(getmove != nullptr, "GetProcAddress(\"getmove\")");
    check(enginecommand != nullptr, "GetProcAddress(\"enginecommand\")");
    if (!getmove || !enginecommand) return 1;

    expectReply(enginecommand, "name", "Tarnvel v1.3");
    expectReply(enginecommand, "get protocolversion", "2");
    expectReply(enginecommand, "get gametype", "21");
    expectReply(enginecommand, "get hashsize", "256");
    // The database is opened by the first getmove, so this report's verdict
    // is still "unknown"; the same report after the game shows the database's.
    const char* evaluation =
        "Tarnvel v1.3's evaluation with black to move:\n\nmaterial = 0\ndefense  = 0\n"
        "attack   = 22\nSCORE    = 22\nEGTB     = ";
    expectReply(enginecommand, "staticevaluation B:W29:B4.",
                (std::string(evaluation) + "unknown\n").c_str());
    int unknown = 1;
    command(enginecommand, "name ", &unknown);
    check(unknown == 0, "unknown command answers 0");

    // A short game from the initial arrangement, the engine playing both sides.
    int side = 0;
    tarnvel::parsePosition("B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.",
                           &side);
    int board[8][8];
    for (auto& column : board)
        for (int& square : column) square = 0x7E7E7E7E;  // non-playable entries must survive
    tarnvel::exportHostBoard(board);
    int playNow = 0;
    bool legal = true, untouched = true;
    int plies = 0;
    for (; plies < 16; ++plies) {
        int before[8][8];
        std::memcpy(before, board, sizeof board);
        char text[TARNVEL_TEXT_CAPACITY] = {};
        const int color = side ? 1 : 2;
        const int result = getmove(board, color, 0.05, text, &playNow, plies == 0 ? 1 : 0, 0, 0);
        if (result == TARNVEL_LOSS) break;
        legal = legal && isLegalSuccessor(before, board, side);
        for (int c = 0; c < 8; ++c)
            for (int r = 0; r < 8; ++r)
                if ((c + r) % 2 && board[c][r] != 0x7E7E7E7E) untouched = false;
        if (plies == 0) check(std::strstr(text, "Tarnvel v1.3 => ") == text, "report line", text);
        side = !side;
    }
    check(legal, "every returned board is a legal successor");
    check(untouched, "non-playable entries untouched");
    check(plies == 16, "16 plies played");

    int result = 0;
    const std::string about = command(enginecommand, "about", &result);
    if (expectDatabase) {
        check(about.find("Database Details:\ndb\\db2.idx\n") != std::string::npos,
              "about lists db\\db2.idx", about);
        const std::string report = command(enginecommand, "staticevaluation B:W29:B4.", &result);
        const std::string verdict = report.substr(std::min(report.size(), std::strlen(evaluation)));
        check(report.rfind(evaluation, 0) == 0 &&
                  (verdict == "win\n" || verdict == "loss\n" || verdict == "draw\n"),
              "the database answers the evaluation", report);
    }
    std::printf("%s\n", failures ? "windows host: FAILED" : "windows host: all checks passed");
    return failures ? 1 : 0;
}
