// Tarnvel 2's transposition table: buckets of three entries in 32 bytes,
// replaced by depth and age, each entry remembering the best move.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnvel::v2 {

enum Bound : uint8_t { BOUND_NONE = 0, BOUND_UPPER = 1, BOUND_LOWER = 2, BOUND_EXACT = 3 };

// 10 bytes: the key's top 16 bits, the score and static evaluation, the
// depth searched, the bound with the search's generation, and the best
// move as its place in the node's move list plus one (0: none).
struct TTEntry {
    uint16_t check;
    int16_t score;
    int16_t eval;
    uint8_t depth;
    uint8_t genBound;  // bits 0–1 bound, bits 2–7 generation
    uint8_t move;
    uint8_t unused;
};
static_assert(sizeof(TTEntry) == 10);

constexpr int TT_BUCKET_ENTRIES = 3;
struct alignas(32) TTBucket {
    TTEntry entry[TT_BUCKET_ENTRIES];
    uint16_t unused;
};
static_assert(sizeof(TTBucket) == 32);

constexpr uint8_t TT_GENERATION_STEP = 4;  // generation lives above the two bound bits
// An entry's eval when the node did not evaluate its position.
constexpr int TT_NO_EVAL = INT16_MIN;

struct ProbeResult {
    bool hit;
    int score;  // adjusted to the probing ply
    int eval;
    int depth;
    Bound bound;
    int move;   // −1: none
};

class TranspositionTable {
public:
    // Resizes to `megabytes` (a power of two); false, keeping the old table,
    // when memory is short.
    bool resize(uint32_t megabytes);
    uint32_t megabytes() const { return megabytes_; }
    void clear();
    // Called once per search: older entries become cheaper to replace.
    void newSearch() { generation_ += TT_GENERATION_STEP; }
    void prefetch(uint64_t key) const;

    ProbeResult probe(uint64_t key, int ply) const;
    void store(uint64_t key, int score, int eval, int depth, Bound bound, int move, int ply);

private:
    TTBucket* bucketOf(uint64_t key) const { return &buckets_[key & mask_]; }

    TTBucket* buckets_ = nullptr;
    uint64_t mask_ = 0;
    uint32_t megabytes_ = 0;
    uint8_t generation_ = 0;
};

extern TranspositionTable tt;

}  // namespace tarnvel::v2
