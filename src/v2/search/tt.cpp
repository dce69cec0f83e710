#include "v2/search/tt.h"

#include <cstring>

#include "platform/vmem.h"
#include "v2/search/score.h"

namespace tarnvel::v2 {

TranspositionTable tt;

namespace {

constexpr uint16_t checkOf(uint64_t key) { return static_cast<uint16_t>(key >> 48); }
constexpr uint8_t boundOf(uint8_t genBound) { return genBound & 3; }

// Forced game ends are stored relative to the node, so that a transposition
// met at another ply gets its own distance.
int toTable(int score, int ply) {
    if (score >= SCORE_MATE_BOUND) return score + ply;
    if (score <= -SCORE_MATE_BOUND) return score - ply;
    return score;
}
int fromTable(int score, int ply) {
    if (score >= SCORE_MATE_BOUND) return score - ply;
    if (score <= -SCORE_MATE_BOUND) return score + ply;
    return score;
}

}  // namespace

bool TranspositionTable::resize(uint32_t megabytes) {
    if (megabytes == megabytes_ && buckets_) return true;
    const uint64_t buckets = (uint64_t{megabytes} << 20) / sizeof(TTBucket);
    if (buckets == 0 || (buckets & (buckets - 1)) != 0) return false;
    void* fresh = nullptr;
    if (!platform::reserveMemory(buckets * sizeof(TTBucket), &fresh, platform::MemoryUse::TABLE)) return false;
    platform::releaseMemory(buckets_, (mask_ + 1) * sizeof(TTBucket));
    buckets_ = static_cast<TTBucket*>(fresh);
    mask_ = buckets - 1;
    megabytes_ = megabytes;
    return true;
}

void TranspositionTable::clear() {
    if (buckets_) std::memset(static_cast<void*>(buckets_), 0, (mask_ + 1) * sizeof(TTBucket));
    generation_ = 0;
}

void TranspositionTable::prefetch(uint64_t key) const {
#if defined(__GNUC__)
    if (buckets_) __builtin_prefetch(bucketOf(key));
#else
    (void)key;
#endif
}

ProbeResult TranspositionTable::probe(uint64_t key, int ply) const {
    if (!buckets_) return {false, 0, TT_NO_EVAL, 0, BOUND_NONE, -1};
    const uint16_t check = checkOf(key);
    for (const TTEntry& e : bucketOf(key)->entry)
        if (e.check == check && e.genBound != 0)
            return {true,        fromTable(e.score, ply), e.eval,
                    e.depth,     static_cast<Bound>(boundOf(e.genBound)),
                    e.move - 1};
    return {false, 0, TT_NO_EVAL, 0, BOUND_NONE, -1};
}

void TranspositionTable::store(uint64_t key, int score, int eval, int depth, Bound bound, int move,
                               int ply) {
    if (!buckets_) return;
    const uint16_t check = checkOf(key);
    TTBucket* bucket = bucketOf(key);
    TTEntry* slot = nullptr;
    int worst = 0;
    for (TTEntry& e : bucket->entry) {
        if (e.check == check && e.genBound != 0) {
            slot = &e;
            break;
        }
        // The shallowest and oldest entry makes way.
        const int age = static_cast<uint8_t>(generation_ - (e.genBound & ~3)) / TT_GENERATION_STEP;
        const int value = e.genBound == 0 ? -1000 : e.depth - 8 * age;
        if (!slot || value < worst) {
            slot = &e;
            worst = value;
        }
    }
    const bool same = slot->check == check && slot->genBound != 0;
    // A shallower result of the same position only replaces an exact one's
    // when it is exact itself.
    if (same && bound != BOUND_EXACT && depth + 2 < slot->depth &&
        boundOf(slot->genBound) == BOUND_EXACT)
        return;
    if (move < 0 && same) move = slot->move - 1;
    if (eval < INT16_MIN || eval > INT16_MAX) eval = TT_NO_EVAL;
    if (eval == TT_NO_EVAL && same) eval = slot->eval;
    slot->check = check;
    slot->score = static_cast<int16_t>(toTable(score, ply));
    slot->eval = static_cast<int16_t>(eval);
    slot->depth = static_cast<uint8_t>(depth < 0 ? 0 : depth > 255 ? 255 : depth);
    slot->genBound = static_cast<uint8_t>(generation_ | bound);
    slot->move = static_cast<uint8_t>(move + 1);
}

}  // namespace tarnvel::v2
