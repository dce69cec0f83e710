#include "move_verdicts.h"

#include <algorithm>
#include <string>

#include "interface/postext.h"

namespace tarnvel::cli {

namespace {

// Capture trees are small where a database reaches; a position with many
// pieces could still branch far, and stays unknown past this many positions.
constexpr int MAX_POSITIONS = 4096;

Verdict reversed(Verdict v) {
    return v == Verdict::WIN ? Verdict::LOSS : v == Verdict::LOSS ? Verdict::WIN : v;
}

// The "EGTB     = word" line of the engine's static evaluation of p.
Verdict databaseLine(const EngineLibrary& engine, const Position& p, int whiteToMove) {
    const std::string report =
        engineCommand(engine, ("staticevaluation " + positionText(p, whiteToMove)).c_str());
    const size_t at = report.find("\nEGTB");
    const size_t value = report.find("= ", at);
    if (at == std::string::npos || value == std::string::npos) return Verdict::UNKNOWN;
    const std::string word = report.substr(value + 2, report.find('\n', value) - value - 2);
    if (word == "win") return Verdict::WIN;
    if (word == "loss") return Verdict::LOSS;
    if (word == "draw") return Verdict::DRAW;
    return Verdict::UNKNOWN;
}

// For the side to move: best play over the forced captures, the database
// at quiet positions.
Verdict resultFor(const EngineLibrary& engine, const Position& p, int whiteToMove, int& budget) {
    const std::vector<LegalMove> moves = legalMoves(p, whiteToMove);
    if (moves.empty()) return Verdict::LOSS;
    if (--budget < 0) return Verdict::UNKNOWN;
    // When one move captures, all do.
    if (moves.front().notation.find('x') == std::string::npos)
        return databaseLine(engine, p, whiteToMove);
    Verdict best = Verdict::LOSS;
    for (const LegalMove& m : moves) {
        const Verdict v = reversed(resultFor(engine, m.after, !whiteToMove, budget));
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
        verdicts.push_back({m, reversed(resultFor(engine, m.after, !whiteToMove, budget))});
    std::ranges::stable_sort(verdicts, {}, &MoveVerdict::verdict);
    return verdicts;
}

}  // namespace tarnvel::cli
