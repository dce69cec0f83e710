#include "material_text.h"

#include <regex>

namespace tarnvel::egdbtool {

namespace {

// One side: its men, then its kings, at least one of the two.
std::string sideText(int men, int kings) {
    return (men ? std::to_string(men) + "m" : "") + (kings ? std::to_string(kings) + "k" : "");
}

}  // namespace

std::optional<Material> parseMaterial(const std::string& text) {
    // Black's side takes the men and kings that leave white a side of its
    // own; the grammar makes that split unique.
    static const std::regex grammar("(?:([1-4])m)?(?:([1-4])k)?(?:([1-4])m)?(?:([1-4])k)?");
    std::smatch part;
    if (!std::regex_match(text, part, grammar)) return std::nullopt;
    const auto count = [&part](int i) { return part[i].matched ? std::stoi(part[i].str()) : 0; };
    Material m{count(1), count(2), count(3), count(4)};
    // "1m2k" matched as black 1m2k with white empty: the kings are white's.
    if (m.wm == 0 && m.wk == 0 && m.bm > 0 && m.bk > 0) m = {m.bm, 0, 0, m.bk};
    if (blackCount(m) == 0 || whiteCount(m) == 0 || blackCount(m) > MAX_PER_SIDE || whiteCount(m) > MAX_PER_SIDE)
        return std::nullopt;
    return m;
}

std::string materialText(const Material& m) { return sideText(m.bm, m.bk) + sideText(m.wm, m.wk); }

}  // namespace tarnvel::egdbtool
