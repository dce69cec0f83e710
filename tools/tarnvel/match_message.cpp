#include "match_message.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace tarnvel::cli {

namespace {

struct Writer {
    std::string bytes;
    template <typename T>
    void put(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    void put(const std::string& text) {
        put(static_cast<uint64_t>(text.size()));
        bytes += text;
    }
    template <typename T>
    void putAll(const std::vector<T>& items) {
        put(static_cast<uint64_t>(items.size()));
        for (const T& item : items) put(item);
    }
};

struct Reader {
    std::string_view bytes;
    bool ok = true;
    template <typename T>
    void get(T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        ok = ok && bytes.size() >= sizeof value;
        if (!ok) return;
        std::memcpy(&value, bytes.data(), sizeof value);
        bytes.remove_prefix(sizeof value);
    }
    void get(std::string& text) {
        uint64_t n = 0;
        get(n);
        ok = ok && n <= bytes.size();
        if (!ok) return;
        text.assign(bytes.substr(0, n));
        bytes.remove_prefix(n);
    }
    template <typename T>
    void getAll(std::vector<T>& items) {
        uint64_t n = 0;
        get(n);
        ok = ok && n <= bytes.size() / sizeof(T);
        items.assign(ok ? n : 0, T{});
        for (T& item : items) get(item);
    }
};

}  // namespace

std::string encodeGame(const PlayedGame& game) {
    Writer w;
    w.put(static_cast<int64_t>(game.round));
    w.put(static_cast<int32_t>(game.outcome));
    w.put(static_cast<int32_t>(game.forfeit));
    w.put(game.plies);
    w.put(game.reason);
    w.put(game.pdn);
    w.putAll(game.times);
    w.putAll(game.positions);
    return w.bytes;
}

bool decodeGame(std::string_view bytes, PlayedGame& game) {
    Reader r{bytes};
    int64_t round = 0;
    int32_t outcome = 0, forfeit = 0;
    r.get(round);
    r.get(outcome);
    r.get(forfeit);
    r.get(game.plies);
    r.get(game.reason);
    r.get(game.pdn);
    r.getAll(game.times);
    r.getAll(game.positions);
    game.round = static_cast<long>(round);
    game.outcome = static_cast<Outcome>(outcome);
    game.forfeit = forfeit;
    const bool playersKnown =
        std::all_of(game.times.begin(), game.times.end(),
                    [](const MoveTime& t) { return t.player < MATCH_PLAYERS; });
    return r.ok && r.bytes.empty() && outcome >= 0 && outcome <= static_cast<int>(Outcome::DRAW) &&
           forfeit >= -1 && forfeit < MATCH_PLAYERS && playersKnown;
}

}  // namespace tarnvel::cli
