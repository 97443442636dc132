#include "codecs/DxtKernels.h"
#include "codecs/DxtTables.h"

#if KORVIX_DXT_X86

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <limits>

// Compiled for SSE4.1 function by function, as the AVX2 kernels are.
#define KORVIX_SSE41 __attribute__((target("sse4.1")))

namespace dxt::kernels {

namespace {

KORVIX_SSE41 inline __m128 weightedError(__m128 pr, __m128 pg, __m128 pb, __m128 r, __m128 g, __m128 b)
{
    const __m128 dr = _mm_sub_ps(pr, r), dg = _mm_sub_ps(pg, g), db = _mm_sub_ps(pb, b);
    const __m128 er = _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(kWeight[0]), dr), dr);
    const __m128 eg = _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(kWeight[1]), dg), dg);
    const __m128 eb = _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(kWeight[2]), db), db);
    return _mm_add_ps(_mm_add_ps(er, eg), eb);
}

}  // namespace

KORVIX_SSE41 float assignSse41(const BlockTexels& t, const float palette[4][3], std::uint8_t* index)
{
    __m128 best[4];
    __m128i chosen[4];
    for (int q = 0; q < 4; ++q) {
        const __m128 r = _mm_loadu_ps(t.cf[0] + 4 * q), g = _mm_loadu_ps(t.cf[1] + 4 * q), b = _mm_loadu_ps(t.cf[2] + 4 * q);
        __m128 lowest = weightedError(_mm_set1_ps(palette[0][0]), _mm_set1_ps(palette[0][1]), _mm_set1_ps(palette[0][2]), r, g, b);
        __m128i k = _mm_setzero_si128();
        for (int j = 1; j < 4; ++j) {
            const __m128 e = weightedError(_mm_set1_ps(palette[j][0]), _mm_set1_ps(palette[j][1]), _mm_set1_ps(palette[j][2]), r, g, b);
            const __m128 better = _mm_cmplt_ps(e, lowest);
            lowest = _mm_blendv_ps(lowest, e, better);
            k = _mm_blendv_epi8(k, _mm_set1_epi32(j), _mm_castps_si128(better));
        }
        best[q] = _mm_mul_ps(lowest, _mm_loadu_ps(t.counts + 4 * q));
        chosen[q] = k;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(index),
                     _mm_packus_epi16(_mm_packs_epi32(chosen[0], chosen[1]), _mm_packs_epi32(chosen[2], chosen[3])));

    // Texel i with i + 8, then with i + 4, then i + 2, then the last pair.
    const __m128 s4 = _mm_add_ps(_mm_add_ps(best[0], best[2]), _mm_add_ps(best[1], best[3]));
    const __m128 s2 = _mm_add_ps(s4, _mm_movehl_ps(s4, s4));
    return _mm_cvtss_f32(_mm_add_ss(s2, _mm_shuffle_ps(s2, s2, 1)));
}

namespace {

// Scores the splits of one group four at a time into `scores`, each lane keeping the first
// of its least scores (lowest) and where it lies (lowestAt).
KORVIX_SSE41 inline void scoreGroupSse41(const SplitLayout& layout, const PrefixSums& prefix, int n, const SplitGroup& group, float* scores,
                                         __m128& lowest, __m128i& lowestAt)
{
    const __m128 near = _mm_set1_ps(0.66f), far = _mm_set1_ps(0.33f), two = _mm_set1_ps(2.0f);
    const __m128i step = _mm_set1_epi32(4);
    const float half2 = 0.5f * static_cast<float>(group.e2 - group.n0);
    __m128 near2[3], far2[3], s2[3], a[3], all[3];
    for (int ch = 0; ch < 3; ++ch) {
        const float* sum = prefix.sum[ch];
        const float run2 = sum[group.e2] - sum[group.n0], t2 = run2 + half2;
        near2[ch] = _mm_set1_ps(sum[group.n0] + 0.66f * t2);
        far2[ch] = _mm_set1_ps(0.33f * t2);
        a[ch] = _mm_set1_ps(sum[group.e2]);
        s2[ch] = _mm_set1_ps(run2);
        all[ch] = _mm_set1_ps(sum[n]);
    }
    __m128i at = _mm_add_epi32(_mm_set1_epi32(group.first), _mm_setr_epi32(0, 1, 2, 3));
    for (int c = 0; c < 2 * group.chunks; ++c, at = _mm_add_epi32(at, step)) {
        const int e = group.first + 4 * c;
        const __m128 half3 = _mm_loadu_ps(layout.half3 + e);
        const __m128 i11 = _mm_loadu_ps(layout.i11 + e), i12 = _mm_loadu_ps(layout.i12 + e), i22 = _mm_loadu_ps(layout.i22 + e);
        __m128 score = _mm_loadu_ps(layout.bias + e);
        for (int ch = 0; ch < 3; ++ch) {
            const __m128 q = _mm_loadu_ps(prefix.sum[ch] + group.e2 + 4 * c);
            const __m128 s3 = _mm_sub_ps(q, a[ch]), s1 = _mm_sub_ps(all[ch], q);
            const __m128 t3 = _mm_add_ps(s3, half3);
            const __m128 r1 = _mm_add_ps(near2[ch], _mm_mul_ps(far, t3));
            const __m128 r2 = _mm_add_ps(_mm_add_ps(s1, far2[ch]), _mm_mul_ps(near, t3));
            const __m128 inner = _mm_add_ps(_mm_mul_ps(r1, i11), _mm_mul_ps(_mm_mul_ps(two, r2), i12));
            const __m128 fit = _mm_add_ps(_mm_mul_ps(r1, inner), _mm_mul_ps(_mm_mul_ps(r2, r2), i22));
            const __m128 part = _mm_mul_ps(_mm_set1_ps(kWeight[ch]), _mm_sub_ps(_mm_add_ps(s2[ch], s3), fit));
            score = _mm_add_ps(score, part);
        }
        _mm_storeu_ps(scores + e, score);
        const __m128 better = _mm_cmplt_ps(score, lowest);
        lowest = _mm_blendv_ps(lowest, score, better);
        lowestAt = _mm_blendv_epi8(lowestAt, at, _mm_castps_si128(better));
    }
}

// The first entry of the least score of the lanes (each holding the first of its own), with
// that score; -1 when none is finite.
KORVIX_SSE41 inline int firstOfLeastSse41(__m128 lowest, __m128i lowestAt, float& least)
{
    // The least of the lanes, then the least place among the lanes that hold it.
    __m128 value = _mm_min_ps(lowest, _mm_shuffle_ps(lowest, lowest, _MM_SHUFFLE(1, 0, 3, 2)));
    value = _mm_min_ps(value, _mm_shuffle_ps(value, value, _MM_SHUFFLE(2, 3, 0, 1)));
    const __m128i holds = _mm_castps_si128(_mm_cmpeq_ps(lowest, value));
    __m128i at = _mm_blendv_epi8(_mm_set1_epi32(std::numeric_limits<int>::max()), lowestAt, holds);
    at = _mm_min_epi32(at, _mm_shuffle_epi32(at, _MM_SHUFFLE(1, 0, 3, 2)));
    at = _mm_min_epi32(at, _mm_shuffle_epi32(at, _MM_SHUFFLE(2, 3, 0, 1)));
    least = _mm_cvtss_f32(value);
    return least < std::numeric_limits<float>::infinity() ? _mm_cvtsi128_si32(at) : -1;
}

}  // namespace

KORVIX_SSE41 int scoreSplitsSse41(const SplitLayout& layout, const PrefixSums& prefix, int n, const std::uint8_t* groups, int groupCount,
                                  float* scores)
{
    __m128 lowest = _mm_set1_ps(std::numeric_limits<float>::infinity());
    __m128i lowestAt = _mm_setzero_si128();
    for (int listed = 0; listed < groupCount; ++listed)
        scoreGroupSse41(layout, prefix, n, layout.group[groups[listed]], scores, lowest, lowestAt);
    float least;
    return firstOfLeastSse41(lowest, lowestAt, least);
}

KORVIX_SSE41 int searchSplitsSse41(const SplitLayout& layout, const PrefixSums& prefix, int n, const float* bound, float margin, float* scores)
{
    // As the AVX2 kernel, four at a time: the first group of the least bound, its first
    // least score, and the other groups within the limit as bits.
    const int whole = layout.groupCount & ~3;
    __m128 low4 = _mm_set1_ps(std::numeric_limits<float>::infinity());
    for (int g = 0; g < whole; g += 4)
        low4 = _mm_min_ps(low4, _mm_loadu_ps(bound + g));
    low4 = _mm_min_ps(low4, _mm_shuffle_ps(low4, low4, _MM_SHUFFLE(1, 0, 3, 2)));
    low4 = _mm_min_ps(low4, _mm_shuffle_ps(low4, low4, _MM_SHUFFLE(2, 3, 0, 1)));
    float low = _mm_cvtss_f32(low4);
    for (int g = whole; g < layout.groupCount; ++g)
        low = bound[g] < low ? bound[g] : low;
    std::uint64_t holds[3] = {0, 0, std::uint64_t{1} << 63};
    const __m128 lowest4 = _mm_set1_ps(low);
    for (int g = 0; g < whole; g += 4)
        holds[g / 64] |= static_cast<std::uint64_t>(_mm_movemask_ps(_mm_cmpeq_ps(_mm_loadu_ps(bound + g), lowest4))) << (g % 64);
    for (int g = whole; g < layout.groupCount; ++g)
        holds[g / 64] |= static_cast<std::uint64_t>(bound[g] == low) << (g % 64);
    const int word = (holds[0] == 0) + (holds[0] == 0 && holds[1] == 0);
    const int seed = std::min(64 * word + __builtin_ctzll(holds[word]), layout.groupCount - 1);
    __m128 lowest = _mm_set1_ps(std::numeric_limits<float>::infinity());
    __m128i lowestAt = _mm_setzero_si128();
    scoreGroupSse41(layout, prefix, n, layout.group[seed], scores, lowest, lowestAt);
    float least;
    const int leastAt = firstOfLeastSse41(lowest, lowestAt, least);
    const float limit = least + margin;
    std::uint64_t within[3] = {};
    const __m128 limit4 = _mm_set1_ps(limit);
    for (int g = 0; g < whole; g += 4) {
        const __m128 over = _mm_cmpgt_ps(_mm_loadu_ps(bound + g), limit4);
        within[g / 64] |= static_cast<std::uint64_t>(~_mm_movemask_ps(over) & 0xF) << (g % 64);
    }
    for (int g = whole; g < layout.groupCount; ++g)
        within[g / 64] |= static_cast<std::uint64_t>(!(bound[g] > limit)) << (g % 64);
    within[seed / 64] &= ~(std::uint64_t{1} << (seed % 64));
    lowest = _mm_set1_ps(std::numeric_limits<float>::infinity());
    lowestAt = _mm_setzero_si128();
    for (int w = 0; w < 3; ++w)
        for (std::uint64_t left = within[w]; left != 0; left &= left - 1)
            scoreGroupSse41(layout, prefix, n, layout.group[64 * w + __builtin_ctzll(left)], scores, lowest, lowestAt);
    float found;
    const int first = firstOfLeastSse41(lowest, lowestAt, found);
    return first >= 0 && (leastAt < 0 || found < least || (found == least && first < leastAt)) ? first : leastAt;
}

}  // namespace dxt::kernels

namespace dxt::kernels {

namespace {

// The decoder keeps a block's palette by channel in one register: blue's four values in
// bytes 0 to 3, green's in 4 to 7, red's in 8 to 11. For each index byte of a row, the
// byte shuffle that builds the row's four texels from it: texel x with index k takes
// bytes k, 4 + k, 8 + k and a zero for alpha.
struct RowShuffles {
    alignas(16) std::uint8_t control[256][16];
};

const RowShuffles& rowShuffles()
{
    static const RowShuffles table = [] {
        RowShuffles t{};
        for (int v = 0; v < 256; ++v)
            for (int x = 0; x < 4; ++x) {
                const int k = (v >> (2 * x)) & 3;
                t.control[v][4 * x] = static_cast<std::uint8_t>(k);
                t.control[v][4 * x + 1] = static_cast<std::uint8_t>(4 + k);
                t.control[v][4 * x + 2] = static_cast<std::uint8_t>(8 + k);
                t.control[v][4 * x + 3] = 0x80;  // a zero byte
            }
        return t;
    }();
    return table;
}

}  // namespace

KORVIX_SSE41 void decodeSse41(const std::uint8_t* colour8, const std::uint8_t* alpha8, std::uint8_t* const* rows,
                              std::size_t offset)
{
    using namespace tables;
    const unsigned c0 = colour8[0] | (colour8[1] << 8), c1 = colour8[2] | (colour8[3] << 8);
    const __m128i channels = _mm_setr_epi32(static_cast<int>(kChannelPalettes5[(c0 & 31) << 5 | (c1 & 31)]),
                                            static_cast<int>(kChannelPalettes6[((c0 >> 5) & 63) << 6 | ((c1 >> 5) & 63)]),
                                            static_cast<int>(kChannelPalettes5[(c0 >> 11) << 5 | (c1 >> 11)]), 0);
    const RowShuffles& shuffles = rowShuffles();
    // Nibble x of an alpha row moved to bits 24 ... 27 of texel x, then times 17.
    const __m128i toTop = _mm_setr_epi32(1 << 24, 1 << 20, 1 << 16, 1 << 12);
    const __m128i nibble = _mm_set1_epi32(0x0F000000);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (int r = 0; r < 4; ++r) {
        __m128i row = _mm_shuffle_epi8(channels, _mm_load_si128(reinterpret_cast<const __m128i*>(shuffles.control[colour8[4 + r]])));
        if (alpha8) {
            const int bits = alpha8[2 * r] | (alpha8[2 * r + 1] << 8);
            const __m128i a = _mm_and_si128(_mm_mullo_epi32(_mm_set1_epi32(bits), toTop), nibble);
            row = _mm_or_si128(row, _mm_or_si128(a, _mm_slli_epi32(a, 4)));
        } else {
            row = _mm_or_si128(row, opaque);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[r] + offset), row);
    }
}

}  // namespace dxt::kernels

// ---- The endpoint search of all three channels in one call ----------------------------

namespace dxt::kernels {

namespace {

// As in the AVX2 kernel: the pair scores of four palette words in 16-bit halves.
KORVIX_SSE41 inline __m128i pairScores(__m128i word, __m128i countEven, __m128i countOdd, __m128i twiceEven, __m128i twiceOdd)
{
    const __m128i bytes = _mm_set1_epi32(0x00FF00FF);
    const __m128i even = _mm_and_si128(word, bytes), odd = _mm_and_si128(_mm_srli_epi32(word, 8), bytes);
    const __m128i termEven = _mm_sub_epi16(_mm_mullo_epi16(even, countEven), twiceEven);
    const __m128i termOdd = _mm_sub_epi16(_mm_mullo_epi16(odd, countOdd), twiceOdd);
    return _mm_add_epi32(_mm_madd_epi16(even, termEven), _mm_madd_epi16(odd, termOdd));
}

inline std::int32_t halves(std::int32_t low, std::int32_t high)
{
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(low) & 0xFFFF) | static_cast<std::uint32_t>(high) << 16);
}

// A channel's 16 values (0 ... 255) as 16 bytes in order.
KORVIX_SSE41 inline __m128i channelBytes(const std::int32_t* c)
{
    const __m128i* v = reinterpret_cast<const __m128i*>(c);
    const __m128i low = _mm_packus_epi32(_mm_loadu_si128(v), _mm_loadu_si128(v + 1));
    const __m128i high = _mm_packus_epi32(_mm_loadu_si128(v + 2), _mm_loadu_si128(v + 3));
    return _mm_packus_epi16(low, high);
}

}  // namespace

// As the AVX2 kernel: each entry's texels picked by a byte mask, summed by sums of absolute
// differences from zero, counted by the mask's population.
KORVIX_SSE41 void entrySumsSse41(const BlockTexels& t, const std::uint8_t* index, std::int32_t count[4], std::int32_t sum[3][4])
{
    const __m128i channel[3] = {channelBytes(t.c[0]), channelBytes(t.c[1]), channelBytes(t.c[2])};
    const __m128i existing = _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(t.count)), _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
    const __m128i at = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(index)), existing);
    for (int k = 0; k < 4; ++k) {
        const __m128i on = _mm_and_si128(_mm_cmpeq_epi8(at, _mm_set1_epi8(static_cast<char>(k))), existing);
        count[k] = __builtin_popcount(static_cast<unsigned>(_mm_movemask_epi8(on)));
        for (int ch = 0; ch < 3; ++ch) {
            const __m128i total = _mm_sad_epu8(_mm_and_si128(channel[ch], on), _mm_setzero_si128());
            sum[ch][k] = _mm_cvtsi128_si32(_mm_add_epi64(total, _mm_shuffle_epi32(total, 0x4E)));
        }
    }
}

KORVIX_SSE41 void scoreSquaresSse41(const std::int32_t count[4], const std::int32_t sum[3][4], const std::int32_t centre[3][2],
                                    const std::int32_t field[2][3], SquareScores& out)
{
    // Each row of a channel's square read as four neighbouring words of the guarded table
    // (the fourth left out): row i of channel ch in score[ch][i], lane j.
    const __m128i never = _mm_set1_epi32(std::numeric_limits<std::int32_t>::max());
    const __m128i countEven = _mm_set1_epi32(halves(count[0], count[2]));
    const __m128i countOdd = _mm_set1_epi32(halves(count[1], count[3]));
    const __m128i columnOf = _mm_setr_epi32(-1, 0, 1, 2), fourth = _mm_setr_epi32(0, 0, 0, -1);
    __m128i twiceEven[3], twiceOdd[3], score[3][3];
    for (int ch = 0; ch < 3; ++ch) {
        twiceEven[ch] = _mm_set1_epi32(halves(2 * sum[ch][0], 2 * sum[ch][2]));
        twiceOdd[ch] = _mm_set1_epi32(halves(2 * sum[ch][1], 2 * sum[ch][3]));
        const int bits = ch == 1 ? 6 : 5, top = (1 << bits) - 1;
        const std::uint32_t* guarded = (ch == 1 ? tables::kGuardedPalettes6.data() : tables::kGuardedPalettes5.data()) + 1;
        const int a = centre[ch][0], b = centre[ch][1];
        const __m128i column = _mm_add_epi32(_mm_set1_epi32(b), columnOf);
        const __m128i outside = _mm_or_si128(_mm_or_si128(_mm_cmpgt_epi32(_mm_setzero_si128(), column),
                                                          _mm_cmpgt_epi32(column, _mm_set1_epi32(top))),
                                             fourth);
        for (int i = 0; i < 3; ++i) {
            const int at = a - 1 + i;
            const int clamped = std::clamp(at, 0, top);
            const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(guarded + (clamped << bits) + b - 1));
            const __m128i scores = pairScores(words, countEven, countOdd, twiceEven[ch], twiceOdd[ch]);
            score[ch][i] = at == clamped ? _mm_blendv_epi8(scores, never, outside) : never;
        }
    }
    // The present fields of the three channels in lanes 0 ... 2.
    const __m128i presentWords = _mm_setr_epi32(static_cast<int>(tables::kChannelPalettes5[(field[0][0] << 5) + field[1][0]]),
                                                static_cast<int>(tables::kChannelPalettes6[(field[0][1] << 6) + field[1][1]]),
                                                static_cast<int>(tables::kChannelPalettes5[(field[0][2] << 5) + field[1][2]]), 0);
    // 16-bit elements 2, 3 are lane 1, elements 4, 5 lane 2.
    const __m128i even = _mm_blend_epi16(_mm_blend_epi16(twiceEven[0], twiceEven[1], 0x0C), twiceEven[2], 0x30);
    const __m128i odd = _mm_blend_epi16(_mm_blend_epi16(twiceOdd[0], twiceOdd[1], 0x0C), twiceOdd[2], 0x30);
    const __m128i present = pairScores(presentWords, countEven, countOdd, even, odd);

    __m128i r[3];
    for (int ch = 0; ch < 3; ++ch)
        r[ch] = _mm_min_epi32(_mm_min_epi32(score[ch][0], score[ch][1]), score[ch][2]);
    const __m128i t0 = _mm_unpacklo_epi32(r[0], r[1]), t1 = _mm_unpacklo_epi32(r[2], r[2]);
    const __m128i t2 = _mm_unpackhi_epi32(r[0], r[1]), t3 = _mm_unpackhi_epi32(r[2], r[2]);
    const __m128i least = _mm_min_epi32(_mm_min_epi32(_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1)),
                                        _mm_min_epi32(_mm_unpacklo_epi64(t2, t3), _mm_unpackhi_epi64(t2, t3)));
    const __m128i zeroLast = _mm_setr_epi32(-1, -1, -1, 0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out.least), _mm_and_si128(least, zeroLast));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out.present), _mm_and_si128(present, zeroLast));
    alignas(16) std::int32_t leastOf[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(leastOf), least);
    for (int ch = 0; ch < 3; ++ch) {
        const __m128i target = _mm_set1_epi32(leastOf[ch]);
        // Row i in bits 4 i ... 4 i + 3: bit 4 i + j is pair 3 i + j.
        unsigned hits = 0;
        for (int i = 0; i < 3; ++i)
            hits |= static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(score[ch][i], target)))) << (4 * i);
        const int lane = __builtin_ctz(hits);
        out.pair[ch] = 3 * (lane >> 2) + (lane & 3);
        out.centre[ch] = _mm_extract_epi32(score[ch][1], 1);
    }
    out.pair[3] = out.centre[3] = 0;
}

}  // namespace dxt::kernels

#else  // not x86: the names stand for the plain kernels (supported() offers no other path)

namespace dxt::kernels {

float assignSse41(const BlockTexels& t, const float palette[4][3], std::uint8_t* index)
{
    return assignScalar(t, palette, index);
}

int scoreSplitsSse41(const SplitLayout& layout, const PrefixSums& prefix, int n, const std::uint8_t* groups, int groupCount, float* scores)
{
    return scoreSplitsScalar(layout, prefix, n, groups, groupCount, scores);
}

int searchSplitsSse41(const SplitLayout& layout, const PrefixSums& prefix, int n, const float* bound, float margin, float* scores)
{
    return searchSplitsScalar(layout, prefix, n, bound, margin, scores);
}

void decodeSse41(const std::uint8_t* colour8, const std::uint8_t* alpha8, std::uint8_t* const* rows, std::size_t offset)
{
    decodeScalar(colour8, alpha8, rows, offset);
}

void scoreSquaresSse41(const std::int32_t count[4], const std::int32_t sum[3][4], const std::int32_t centre[3][2],
                       const std::int32_t field[2][3], SquareScores& out)
{
    scoreSquaresScalar(count, sum, centre, field, out);
}

void entrySumsSse41(const BlockTexels& t, const std::uint8_t* index, std::int32_t count[4], std::int32_t sum[3][4])
{
    entrySumsScalar(t, index, count, sum);
}

}  // namespace dxt::kernels

#endif
