#include "engine_report.h"

#include <charconv>

#include "game.h"

namespace tarnvel::cli {

std::optional<EngineScore> readEngineScore(std::string_view report, int whiteToMove) {
    for (const char* label : {"value=", "win=", "loss="}) {
        const std::string_view name(label);
        size_t at = report.find(name);
        // A word of its own: "value=" must not be the end of another name.
        while (at != std::string_view::npos && at > 0 && report[at - 1] != ' ')
            at = report.find(name, at + 1);
        if (at == std::string_view::npos) continue;
        const char* first = report.data() + at + name.size();
        const char* last = report.data() + report.size();
        int n = 0;
        const auto [end, status] = std::from_chars(first, last, n);
        if (status != std::errc() || (end != last && *end != ' ')) return std::nullopt;
        const int sign = whiteToMove ? -1 : 1;
        const int decided = name == "win=" ? sign : name == "loss=" ? -sign : 0;
        return EngineScore{std::string(report.substr(at, end - first + name.size())),
                           decided ? 0 : sign * n, decided};
    }
    return std::nullopt;
}

std::vector<std::vector<int>> readPrincipalVariation(std::string_view report) {
    std::vector<std::vector<int>> moves;
    const size_t at = report.find("  pv ");
    if (at == std::string_view::npos) return moves;
    std::string_view rest = report.substr(at + 5);
    while (!rest.empty()) {
        const size_t blank = rest.find(' ');
        std::vector<int> squares = parseMoveSquares(rest.substr(0, blank));
        if (squares.empty()) break;
        moves.push_back(std::move(squares));
        rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
    }
    return moves;
}

}  // namespace tarnvel::cli
