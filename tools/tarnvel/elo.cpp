#include "elo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace tarnvel::cli {

double eloFromScore(double score) {
    if (score <= 0) return -std::numeric_limits<double>::infinity();
    if (score >= 1) return std::numeric_limits<double>::infinity();
    return -400.0 * std::log10(1.0 / score - 1.0);
}

EloEstimate eloEstimate(int wins, int losses, int draws) {
    const double n = wins + losses + draws;
    const double score = (wins + 0.5 * draws) / n;
    const double variance = (wins * (1 - score) * (1 - score) + losses * score * score +
                             draws * (0.5 - score) * (0.5 - score)) /
                            n;
    const double margin = 1.96 * std::sqrt(variance / n);
    return {score, eloFromScore(score), eloFromScore(std::max(0.0, score - margin)),
            eloFromScore(std::min(1.0, score + margin))};
}

std::string formatElo(double elo) {
    if (std::isinf(elo)) return elo > 0 ? "+inf" : "-inf";
    double shown = std::round(elo * 10) / 10;
    if (shown == 0) shown = 0;  // -0.0 too
    char text[32];
    std::snprintf(text, sizeof text, "%+.1f", shown);
    return text;
}

}  // namespace tarnvel::cli
