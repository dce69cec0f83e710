#include "v2/eval/network.h"

#include <cstdlib>
#include <cstring>

#include "v2/eval/network_file.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TARNVEL_WIDE 1
#endif

namespace tarnvel::v2::network {

namespace {

struct Weights {
    alignas(64) int16_t feature[FEATURES][HIDDEN];
    alignas(64) int16_t featureBias[HIDDEN];
    alignas(64) int16_t layer2[LAYER2][2 * HIDDEN];
    alignas(64) int32_t layer2Bias[LAYER2];
    int16_t output[LAYER2];
    int32_t outputBias;
#ifdef TARNVEL_WIDE
    // layer2 by pairs of inputs, for evaluateWide: [pair p][output k]
    // holds layer2[k][2p] and layer2[k][2p + 1].
    alignas(64) int16_t layer2Pairs[HIDDEN][LAYER2][2];
    // output widened to 32 bits, for the wide code's 32-bit multiplies.
    alignas(64) int32_t output32[LAYER2];
#endif
};

Weights weights;

// Feature rows by view: kind k (own man, own king, opponent's man,
// opponent's king) on square s of the view is row 32 k + s.
constexpr int OWN_MAN = 0, OWN_KING = 32, OTHER_MAN = 64, OTHER_KING = 96;

// The rows of one piece kind's squares b for White's view and Black's.
template <typename Sink>
void forEachFeature(Bitboard b, int whiteRow, int blackRow, Sink sink) {
    for (; b; b &= b - 1) {
        const int s = lowestBit(b);
        sink(whiteRow + s, blackRow + 31 - s);
    }
}

template <typename Sink>
void forEachPieceFeature(Bitboard wm, Bitboard wk, Bitboard bm, Bitboard bk, Sink sink) {
    forEachFeature(wm, OWN_MAN, OTHER_MAN, sink);
    forEachFeature(wk, OWN_KING, OTHER_KING, sink);
    forEachFeature(bm, OTHER_MAN, OWN_MAN, sink);
    forEachFeature(bk, OTHER_KING, OWN_KING, sink);
}

#if defined(__SSE2__)
constexpr int LANES = 8;  // int16 per register

inline void addRow(int16_t* acc, const int16_t* row) {
    for (int i = 0; i < HIDDEN; i += LANES) {
        const __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(acc + i));
        const __m128i r = _mm_load_si128(reinterpret_cast<const __m128i*>(row + i));
        _mm_store_si128(reinterpret_cast<__m128i*>(acc + i), _mm_add_epi16(a, r));
    }
}

inline void subRow(int16_t* acc, const int16_t* row) {
    for (int i = 0; i < HIDDEN; i += LANES) {
        const __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(acc + i));
        const __m128i r = _mm_load_si128(reinterpret_cast<const __m128i*>(row + i));
        _mm_store_si128(reinterpret_cast<__m128i*>(acc + i), _mm_sub_epi16(a, r));
    }
}

// in[i] clipped to [0, ACTIVATION_MAX], HIDDEN values.
inline void clip(const int16_t* in, int16_t* out) {
    const __m128i zero = _mm_setzero_si128(), top = _mm_set1_epi16(ACTIVATION_MAX);
    for (int i = 0; i < HIDDEN; i += LANES) {
        const __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(in + i));
        _mm_store_si128(reinterpret_cast<__m128i*>(out + i), _mm_min_epi16(_mm_max_epi16(a, zero), top));
    }
}

// The sum of a register's four int32.
inline int32_t sumAcross(__m128i v) {
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(v);
}

inline int32_t dot(const int16_t* x, const int16_t* w) {
    __m128i sum = _mm_setzero_si128();
    for (int i = 0; i < 2 * HIDDEN; i += LANES)
        sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(x + i)),
                                                _mm_load_si128(reinterpret_cast<const __m128i*>(w + i))));
    return sumAcross(sum);
}
#else
// Sums wrap as the 16-bit SIMD lanes do.
inline void addRow(int16_t* acc, const int16_t* row) {
    for (int i = 0; i < HIDDEN; ++i) acc[i] = static_cast<int16_t>(acc[i] + row[i]);
}

inline void subRow(int16_t* acc, const int16_t* row) {
    for (int i = 0; i < HIDDEN; ++i) acc[i] = static_cast<int16_t>(acc[i] - row[i]);
}

inline void clip(const int16_t* in, int16_t* out) {
    for (int i = 0; i < HIDDEN; ++i)
        out[i] = in[i] < 0 ? int16_t{0} : in[i] > ACTIVATION_MAX ? int16_t{ACTIVATION_MAX} : in[i];
}

inline int32_t dot(const int16_t* x, const int16_t* w) {
    int32_t sum = 0;
    for (int i = 0; i < 2 * HIDDEN; ++i) sum += int32_t{x[i]} * w[i];
    return sum;
}
#endif

// Layer 2's sums before bias: sums[k] = x · layer2[k].
void layer2Sums(const int16_t* x, int32_t* sums) {
    for (int k = 0; k < LAYER2; ++k) sums[k] = dot(x, weights.layer2[k]);
}

#ifdef TARNVEL_WIDE
// The whole evaluation with wider registers, where the processor has them.
// Layer 2, which takes most of the time, goes column by column: each pair
// of clipped inputs multiplies its two columns into all the outputs at
// once, with several sets of sums so that the additions do not wait on
// each other.
// Integer sums in another order give the narrow code's score exactly.
constexpr int PAIRS = HIDDEN;  // of the 2 * HIDDEN inputs
constexpr int SUM_SETS = 2;
static_assert(HIDDEN % 16 == 0 && LAYER2 % 16 == 0 && PAIRS % SUM_SETS == 0);

[[gnu::target("avx2")]] int evaluateWide(const Accumulator& acc, int own) {
    constexpr int OUT_REGS = LAYER2 / 8;
    // Unaligned loads and stores for what lies on the stack: not every
    // compiler aligns a stack to 32 bytes, and they cost nothing extra here.
    int32_t x[PAIRS];  // clipped inputs, two to a word
    const __m256i zero = _mm256_setzero_si256(), top = _mm256_set1_epi16(ACTIVATION_MAX);
    for (int view = 0; view < 2; ++view)
        for (int r = 0; r < HIDDEN / 16; ++r) {
            const int16_t* in = acc.v[view ? 1 - own : own] + 16 * r;
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(x + view * HIDDEN / 2 + 8 * r),
                               _mm256_min_epi16(_mm256_max_epi16(v, zero), top));
        }
    __m256i sums[SUM_SETS][OUT_REGS];
    for (auto& set : sums)
        for (__m256i& r : set) r = zero;
    for (int p = 0; p < PAIRS; p += SUM_SETS)
        for (int set = 0; set < SUM_SETS; ++set) {
            const __m256i in = _mm256_set1_epi32(x[p + set]);
            const auto* w = reinterpret_cast<const __m256i*>(weights.layer2Pairs[p + set]);
            for (int j = 0; j < OUT_REGS; ++j)
                sums[set][j] = _mm256_add_epi32(sums[set][j], _mm256_madd_epi16(in, _mm256_load_si256(w + j)));
        }
    const __m256i top32 = _mm256_set1_epi32(ACTIVATION_MAX);
    __m256i total = zero;
    for (int j = 0; j < OUT_REGS; ++j) {
        __m256i h = _mm256_load_si256(reinterpret_cast<const __m256i*>(weights.layer2Bias + 8 * j));
        for (auto& set : sums) h = _mm256_add_epi32(h, set[j]);
        h = _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(h, LAYER2_SHIFT), zero), top32);
        const __m256i w = _mm256_load_si256(reinterpret_cast<const __m256i*>(weights.output32 + 8 * j));
        total = _mm256_add_epi32(total, _mm256_mullo_epi32(h, w));
    }
    const __m128i half = _mm_add_epi32(_mm256_castsi256_si128(total), _mm256_extracti128_si256(total, 1));
    return (weights.outputBias + sumAcross(half)) >> OUTPUT_SHIFT;
}

const bool Wide = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();
#endif

// Little-endian reads from the weights file.
struct Reader {
    const uint8_t* at;
    uint32_t u32() {
        const uint32_t v = at[0] | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
        at += 4;
        return v;
    }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    int16_t i16() {
        const auto v = static_cast<int16_t>(static_cast<uint16_t>(at[0] | at[1] << 8));
        at += 2;
        return v;
    }
};

}  // namespace

// Written by cmake/embed_file.cmake from src/v2/eval/network.bin.
extern const uint8_t EMBEDDED_NETWORK[];
extern const size_t EMBEDDED_NETWORK_SIZE;

void refresh(const Position& p, Accumulator& acc) {
    std::memcpy(acc.v[0], weights.featureBias, sizeof acc.v[0]);
    std::memcpy(acc.v[1], weights.featureBias, sizeof acc.v[1]);
    forEachPieceFeature(p.wm, p.wk, p.bm, p.bk, [&](int white, int black) {
        addRow(acc.v[0], weights.feature[white]);
        addRow(acc.v[1], weights.feature[black]);
    });
}

void update(const Accumulator& parent, const Position& before, const Position& after, Accumulator& child) {
    if (&child != &parent) child = parent;
    forEachPieceFeature(before.wm & ~after.wm, before.wk & ~after.wk, before.bm & ~after.bm, before.bk & ~after.bk,
                        [&](int white, int black) {
                            subRow(child.v[0], weights.feature[white]);
                            subRow(child.v[1], weights.feature[black]);
                        });
    forEachPieceFeature(after.wm & ~before.wm, after.wk & ~before.wk, after.bm & ~before.bm, after.bk & ~before.bk,
                        [&](int white, int black) {
                            addRow(child.v[0], weights.feature[white]);
                            addRow(child.v[1], weights.feature[black]);
                        });
}

int evaluateWith(const Accumulator& acc, int whiteToMove, [[maybe_unused]] bool wide) {
    const int own = whiteToMove ? 0 : 1;
#ifdef TARNVEL_WIDE
    if (wide && Wide) return evaluateWide(acc, own);
#endif
    alignas(64) int16_t x[2 * HIDDEN];
    clip(acc.v[own], x);
    clip(acc.v[1 - own], x + HIDDEN);
    int32_t sums[LAYER2];
    layer2Sums(x, sums);
    int32_t out = weights.outputBias;
    for (int k = 0; k < LAYER2; ++k) {
        int32_t h = (weights.layer2Bias[k] + sums[k]) >> LAYER2_SHIFT;
        h = h < 0 ? 0 : h > ACTIVATION_MAX ? ACTIVATION_MAX : h;
        out += h * weights.output[k];
    }
    return out >> OUTPUT_SHIFT;
}

int evaluate(const Accumulator& acc, int whiteToMove) { return evaluateWith(acc, whiteToMove, true); }

bool loadWeights(const uint8_t* data, size_t size) {
    if (size != NETWORK_FILE_SIZE || std::memcmp(data, NETWORK_MAGIC, 4) != 0) return false;
    Reader in{data + 4};
    if (in.u32() != HIDDEN || in.u32() != LAYER2) return false;
    Weights w;
    for (auto& row : w.feature)
        for (int16_t& v : row) v = in.i16();
    for (int16_t& b : w.featureBias) b = in.i16();
    bool inBounds = true;
    for (auto& row : w.layer2)
        for (int16_t& v : row) inBounds &= std::abs(v = in.i16()) <= LAYER2_WEIGHT_MAX;
    for (int32_t& b : w.layer2Bias) inBounds &= std::abs(int64_t{b = in.i32()}) <= LAYER2_BIAS_MAX;
    for (int16_t& v : w.output) v = in.i16();
    w.outputBias = in.i32();
    if (!inBounds || std::abs(int64_t{w.outputBias}) > OUTPUT_BIAS_MAX) return false;
#ifdef TARNVEL_WIDE
    for (int k = 0; k < LAYER2; ++k)
        for (int i = 0; i < 2 * HIDDEN; ++i) w.layer2Pairs[i / 2][k][i % 2] = w.layer2[k][i];
    for (int k = 0; k < LAYER2; ++k) w.output32[k] = w.output[k];
#endif
    weights = w;
    return true;
}

bool loadEmbeddedWeights() { return loadWeights(EMBEDDED_NETWORK, EMBEDDED_NETWORK_SIZE); }

}  // namespace tarnvel::v2::network
