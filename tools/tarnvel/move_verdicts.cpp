#include "move_verdicts.h"

#include <algorithm>
#include <string>

#include "interface/postext.h"

namespace tarnvel::cli {

namespace {

// Captures settle within a few plies where a database reaches; past these
// bounds a move stays unknown rather than the request taking long.
constexpr int MAX_POSITIONS = 4096;
constexpr int MAX_PLIES = 8;

Verdict reversed(Verdict v) {
    return v == Verdict::WIN ? Verdict::LOSS : v == Verdict::LOSS ? Verdict::WIN : v;
}

// The word of the "EGTB     = word" line of the engine's static evaluation.
std::string databaseWord(const EngineLibrary& engine, const Position& p, int whiteToMove) {
    const std::string report =
        engineCommand(engine, ("staticevaluation " + positionText(p, whiteToMove)).c_str());
    const size_t at = report.find("\nEGTB");
    const size_t value = report.find("= ", at);
    if (at == std::string::npos || value == std::string::npos) return {};
    return report.substr(value + 2, report.find('\n', value) - value - 2);
}

// For the side to move: the database's verdict where it has one; where a
// capture is pending, best play over the moves, the database asked again
// at the positions they reach, at most `plies` deep.
Verdict resultFor(const EngineLibrary& engine, const Position& p, int whiteToMove, int plies,
                  int& budget) {
    const std::vector<LegalMove> moves = legalMoves(p, whiteToMove);
    if (moves.empty()) return Verdict::LOSS;
    if (--budget < 0) return Verdict::UNKNOWN;
    // When one move captures, all do, and the database is not asked.
    if (moves.front().notation.find('x') == std::string::npos) {
        const std::string word = databaseWord(engine, p, whiteToMove);
        if (word == "win") return Verdict::WIN;
        if (word == "loss") return Verdict::LOSS;
        if (word == "draw") return Verdict::DRAW;
        if (word != "wild") return Verdict::UNKNOWN;
    }
    if (plies == 0) return Verdict::UNKNOWN;
    Verdict best = Verdict::LOSS;
    for (const LegalMove& m : moves) {
        const Verdict v = reversed(resultFor(engine, m.after, !whiteToMove, plies - 1, budget));
        if (v == Verdict::WIN) return v;
        if (v == Verdict::UNKNOWN || best == Verdict::UNKNOWN)
            best = Verdict::UNKNOWN;
        else if (v == Verdict::DRAW)
            best = Verdict::DRAW;
    }
    return best;
}

}  // namespace

const char* verdictWord(Verdict verdict) {
    switch (verdict) {
        case Verdict::WIN:
            return "win";
        case Verdict::DRAW:
            return "draw";
        case Verdict::LOSS:
            return "loss";
        case Verdict::UNKNOWN:
            break;
    }
    return "unknown";
}

std::vector<MoveVerdict> moveVerdicts(const EngineLibrary& engine, const Position& p,
                                      int whiteToMove) {
    std::vector<MoveVerdict> verdicts;
    int budget = MAX_POSITIONS;
    for (const LegalMove& m : legalMoves(p, whiteToMove))
        verdicts.push_back(
            {m, reversed(resultFor(engine, m.after, !whiteToMove, MAX_PLIES, budget))});
    std::ranges::stable_sort(verdicts, {}, &MoveVerdict::verdict);
    return verdicts;
}

}  // namespace tarnvel::cli
