#include "training_record.h"

#include <algorithm>
#include <cctype>

namespace tarnvel::cli {

namespace {

constexpr long long GAME_OVER = 32500;  // decided scores count plies from this
constexpr long long SCORE_LIMIT = 32767;

bool wordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

}  // namespace

int16_t scoreFromReport(std::string_view report) {
    // The last label that starts a word: an engine may write more than one line.
    constexpr std::pair<std::string_view, int> LABELS[] = {
        {"value=", 0}, {"win=", 1}, {"loss=", -1}};
    size_t at = std::string_view::npos;
    int sign = 0;
    for (size_t i = report.size(); i-- > 0 && at == std::string_view::npos;)
        for (const auto& [label, labelSign] : LABELS)
            if (report.substr(i, label.size()) == label && (i == 0 || !wordChar(report[i - 1]))) {
                at = i + label.size();
                sign = labelSign;
            }
    if (at == std::string_view::npos) return SCORE_UNKNOWN;
    const bool negative = at < report.size() && report[at] == '-';
    if (negative || (at < report.size() && report[at] == '+')) ++at;
    const size_t digits = at;
    long long n = 0;
    for (; at < report.size() && std::isdigit(static_cast<unsigned char>(report[at])); ++at)
        n = std::min(10 * n + (report[at] - '0'), 10 * GAME_OVER);
    if (at == digits) return SCORE_UNKNOWN;
    if (negative) n = -n;
    const long long score = sign == 0 ? n : sign * (GAME_OVER - n);
    return static_cast<int16_t>(std::clamp(score, -SCORE_LIMIT, SCORE_LIMIT));
}

}  // namespace tarnvel::cli
