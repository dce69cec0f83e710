#include "material_text.h"

namespace tarnvel::egdbtool {

namespace {

// One side: its men, then its kings, at least one of the two.
std::string sideText(int men, int kings) {
    return (men ? std::to_string(men) + "m" : "") + (kings ? std::to_string(kings) + "k" : "");
}

}  // namespace

std::optional<Material> parseMaterial(const std::string& text) {
    // Groups in order: black men, black kings, white men, white kings; each
    // "Nm" or "Nk" fills the next group of its kind.
    int counts[4] = {};
    int next = 0;
    for (size_t i = 0; i < text.size(); i += 2) {
        if (i + 1 >= text.size() || text[i] < '1' || text[i] > '4') return std::nullopt;
        const bool men = text[i + 1] == 'm';
        if (!men && text[i + 1] != 'k') return std::nullopt;
        while (next < 4 && (next % 2 == 0) != men) ++next;
        if (next == 4) return std::nullopt;
        counts[next++] = text[i] - '0';
    }
    Material m{counts[0], counts[1], counts[2], counts[3]};
    // "1m2k" read as black 1m2k with white empty: the kings are white's.
    if (m.wm == 0 && m.wk == 0 && m.bm > 0 && m.bk > 0) m = {m.bm, 0, 0, m.bk};
    if (blackCount(m) == 0 || whiteCount(m) == 0 || blackCount(m) > MAX_PER_SIDE || whiteCount(m) > MAX_PER_SIDE)
        return std::nullopt;
    return m;
}

std::string materialText(const Material& m) { return sideText(m.bm, m.bk) + sideText(m.wm, m.wk); }

}  // namespace tarnvel::egdbtool
