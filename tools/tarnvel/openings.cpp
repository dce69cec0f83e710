#include "openings.h"

#include "game.h"

namespace tarnvel::cli {

namespace {

void extend(const Position& p, int whiteToMove, std::vector<std::string>& line,
            std::vector<Opening>& found) {
    if (static_cast<int>(line.size()) == OPENING_PLIES) {
        for (const Opening& o : found)
            if (samePieces(o.position, p)) return;
        found.push_back({line, p});
        return;
    }
    for (const LegalMove& m : legalMoves(p, whiteToMove)) {
        line.push_back(m.notation);
        extend(m.after, !whiteToMove, line, found);
        line.pop_back();
    }
}

}  // namespace

std::vector<Opening> threePlyOpenings() {
    std::vector<Opening> found;
    std::vector<std::string> line;
    extend(initialPosition(), 0, line, found);
    return found;
}

}  // namespace tarnvel::cli
