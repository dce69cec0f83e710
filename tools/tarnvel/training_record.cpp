#include "training_record.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "engine_report.h"

namespace tarnvel::cli {

namespace {
constexpr long long GAME_OVER = 32500;  // decided scores count plies from this
constexpr long long SCORE_LIMIT = 32767;
}  // namespace

int16_t scoreFromReport(std::string_view report) {
    // Read as Black's report, the score is the side to move's.
    const std::optional<EngineScore> read = readEngineScore(report, 0);
    if (!read) return UNKNOWN_SCORE;
    long long score = read->forBlack;
    if (read->decided) {
        const std::string_view plies = std::string_view(read->text).substr(read->text.find('=') + 1);
        long long n = 0;
        std::from_chars(plies.data(), plies.data() + plies.size(), n);
        score = read->decided * (GAME_OVER - n);
    }
    return static_cast<int16_t>(std::clamp(score, -SCORE_LIMIT, SCORE_LIMIT));
}

TrainingRecord gamePositionRecord(const Position& p, int side, int16_t score, size_t ply) {
    return {p.wm, p.wk, p.bm, p.bk, score, static_cast<uint8_t>(side), 0, RECORD_FROM_GAME, 0,
            static_cast<uint16_t>(std::min<size_t>(ply, UINT16_MAX))};
}

int8_t resultFor(Outcome outcome, int side) {
    if (outcome == Outcome::DRAW) return 0;
    return (outcome == Outcome::WHITE_WINS) == (side == 1) ? 1 : -1;
}

}  // namespace tarnvel::cli
