#include "move_timing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarnvel::cli {

namespace {

std::string statistics(std::vector<double> values) {
    char text[64];
    if (values.empty()) {
        std::snprintf(text, sizeof text, "%8d %8s %8s %8s", 0, "-", "-", "-");
        return text;
    }
    std::sort(values.begin(), values.end());
    std::snprintf(text, sizeof text, "%8zu %+8.1f %+8.1f %+8.1f", values.size(),
                  percentile(values, 0.5), percentile(values, 0.99), values.back());
    return text;
}

}  // namespace

double percentile(const std::vector<double>& sorted, double q) {
    const size_t rank = static_cast<size_t>(std::ceil(q * static_cast<double>(sorted.size())));
    return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

void MoveTiming::add(const std::vector<MoveTime>& times) {
    for (const MoveTime& t : times) {
        over_[t.player][0].push_back(t.wallMs - allowanceMs_);
        if (t.first) over_[t.player][1].push_back(t.wallMs - allowanceMs_);
    }
}

void MoveTiming::print(const std::string& scope) const {
    std::printf("\ngetmove wall time over the allowance, in ms (%s):\n", scope.c_str());
    std::printf("%-3s %9s %8s %8s %8s %8s | %8s %8s %8s %8s\n", "", "allowance", "moves", "median",
                "p99", "max", "first", "median", "p99", "max");
    for (int i = 0; i < MATCH_PLAYERS; ++i)
        std::printf("%-3c %9g %s | %s\n", 'A' + i, allowanceMs_, statistics(over_[i][0]).c_str(),
                    statistics(over_[i][1]).c_str());
}

const char* MoveTiming::header() { return "game\tply\tengine\tallowance_ms\twall_ms\tfirst\n"; }

std::string MoveTiming::lines(long round, const std::vector<MoveTime>& times) const {
    std::string text;
    char line[96];
    for (const MoveTime& t : times) {
        std::snprintf(line, sizeof line, "%ld\t%u\t%c\t%g\t%.3f\t%d\n", round, t.ply,
                      'A' + t.player, allowanceMs_, t.wallMs, t.first);
        text += line;
    }
    return text;
}

}  // namespace tarnvel::cli
