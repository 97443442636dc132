#include "codecs/DxtKernels.h"
#include "codecs/DxtOrderAlongBody.h"
#include "codecs/DxtSplitBoundsBody.h"
#include "codecs/DxtTables.h"

#if KORVIX_DXT_X86

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <limits>

// Compiled for AVX2 function by function (not by a flag on the file), so that nothing of
// it, inline library code included, ends up on a path that runs without AVX2.
#define KORVIX_AVX2 __attribute__((target("avx2")))

namespace dxt::kernels {

namespace {

KORVIX_AVX2 inline __m256 weightedError(__m256 pr, __m256 pg, __m256 pb, __m256 r, __m256 g, __m256 b)
{
    const __m256 dr = _mm256_sub_ps(pr, r), dg = _mm256_sub_ps(pg, g), db = _mm256_sub_ps(pb, b);
    const __m256 er = _mm256_mul_ps(_mm256_mul_ps(_mm256_set1_ps(kWeight[0]), dr), dr);
    const __m256 eg = _mm256_mul_ps(_mm256_mul_ps(_mm256_set1_ps(kWeight[1]), dg), dg);
    const __m256 eb = _mm256_mul_ps(_mm256_mul_ps(_mm256_set1_ps(kWeight[2]), db), db);
    return _mm256_add_ps(_mm256_add_ps(er, eg), eb);
}

}  // namespace

namespace {

// The sum of the eight lanes.
KORVIX_AVX2 inline std::int32_t laneSum(__m256i v)
{
    __m128i x = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    x = _mm_add_epi32(x, _mm_shuffle_epi32(x, 0x4E));
    x = _mm_add_epi32(x, _mm_shuffle_epi32(x, 0xB1));
    return _mm_cvtsi128_si32(x);
}

KORVIX_AVX2 inline __m256i load8(const std::int32_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

}  // namespace

KORVIX_AVX2 void channelSumsAvx2(const BlockTexels& t, std::int32_t sum[3], std::int32_t products[6])
{
    __m256i c[3][2], masked[3][2];
    for (int h = 0; h < 2; ++h) {
        const __m256i valid = load8(t.valid + 8 * h);
        for (int ch = 0; ch < 3; ++ch) {
            c[ch][h] = load8(t.c[ch] + 8 * h);
            masked[ch][h] = _mm256_mullo_epi32(c[ch][h], valid);
        }
    }
    for (int ch = 0; ch < 3; ++ch)
        sum[ch] = laneSum(_mm256_add_epi32(masked[ch][0], masked[ch][1]));
    int p = 0;
    for (int r = 0; r < 3; ++r)
        for (int col = r; col < 3; ++col)
            products[p++] = laneSum(_mm256_add_epi32(_mm256_mullo_epi32(masked[r][0], c[col][0]), _mm256_mullo_epi32(masked[r][1], c[col][1])));
}

namespace {

// A channel's 16 values (0 ... 255) as 16 bytes in order.
KORVIX_AVX2 inline __m128i channelBytes(const std::int32_t* c)
{
    const __m128i* v = reinterpret_cast<const __m128i*>(c);
    const __m128i low = _mm_packus_epi32(_mm_loadu_si128(v), _mm_loadu_si128(v + 1));
    const __m128i high = _mm_packus_epi32(_mm_loadu_si128(v + 2), _mm_loadu_si128(v + 3));
    return _mm_packus_epi16(low, high);
}

}  // namespace

KORVIX_AVX2 void entrySumsAvx2(const BlockTexels& t, const std::uint8_t* index, std::int32_t count[4], std::int32_t sum[3][4])
{
    // The channels as 16 bytes each (red and green in the two halves of one register), the
    // texels of each entry picked by a byte mask and added up by sums of absolute
    // differences from zero; the count is the mask's population.
    const __m256i redGreen = _mm256_inserti128_si256(_mm256_castsi128_si256(channelBytes(t.c[0])), channelBytes(t.c[1]), 1);
    const __m128i blue = channelBytes(t.c[2]);
    const __m128i existing = _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(t.count)), _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
    const __m256i at = _mm256_broadcastsi128_si256(_mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(index)), existing));
    const __m256i chosen = _mm256_broadcastsi128_si256(existing);
    const __m256i zero = _mm256_setzero_si256();
    for (int k = 0; k < 4; ++k) {
        // Texels that exist and have index k (an index past the texels reads as 0 and is
        // left out by `chosen`).
        const __m256i on = _mm256_and_si256(_mm256_cmpeq_epi8(at, _mm256_set1_epi8(static_cast<char>(k))), chosen);
        count[k] = __builtin_popcount(static_cast<unsigned>(_mm_movemask_epi8(_mm256_castsi256_si128(on))));
        const __m256i rg = _mm256_sad_epu8(_mm256_and_si256(redGreen, on), zero);
        const __m256i rgTotal = _mm256_add_epi64(rg, _mm256_shuffle_epi32(rg, 0x4E));
        const __m128i b = _mm_sad_epu8(_mm_and_si128(blue, _mm256_castsi256_si128(on)), _mm256_castsi256_si128(zero));
        sum[0][k] = _mm_cvtsi128_si32(_mm256_castsi256_si128(rgTotal));
        sum[1][k] = _mm_cvtsi128_si32(_mm256_extracti128_si256(rgTotal, 1));
        sum[2][k] = _mm_cvtsi128_si32(_mm_add_epi64(b, _mm_shuffle_epi32(b, 0x4E)));
    }
}

KORVIX_AVX2 float assignAvx2(const BlockTexels& t, const float palette[4][3], std::uint8_t* index)
{
    __m256 best[2];
    __m256i chosen[2];
    for (int h = 0; h < 2; ++h) {
        const __m256 r = _mm256_loadu_ps(t.cf[0] + 8 * h), g = _mm256_loadu_ps(t.cf[1] + 8 * h),
                     b = _mm256_loadu_ps(t.cf[2] + 8 * h);
        __m256 lowest = weightedError(_mm256_set1_ps(palette[0][0]), _mm256_set1_ps(palette[0][1]),
                                      _mm256_set1_ps(palette[0][2]), r, g, b);
        __m256i k = _mm256_setzero_si256();
        for (int j = 1; j < 4; ++j) {
            const __m256 e = weightedError(_mm256_set1_ps(palette[j][0]), _mm256_set1_ps(palette[j][1]),
                                           _mm256_set1_ps(palette[j][2]), r, g, b);
            const __m256 better = _mm256_cmp_ps(e, lowest, _CMP_LT_OQ);
            lowest = _mm256_blendv_ps(lowest, e, better);
            k = _mm256_blendv_epi8(k, _mm256_set1_epi32(j), _mm256_castps_si256(better));
        }
        best[h] = _mm256_mul_ps(lowest, _mm256_loadu_ps(t.counts + 8 * h));
        chosen[h] = k;
    }
    // Sixteen 32-bit indices to sixteen bytes in order.
    const __m256i words = _mm256_permute4x64_epi64(_mm256_packs_epi32(chosen[0], chosen[1]), 0xD8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(index),
                     _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1)));

    const __m256 s8 = _mm256_add_ps(best[0], best[1]);
    const __m128 s4 = _mm_add_ps(_mm256_castps256_ps128(s8), _mm256_extractf128_ps(s8, 1));
    const __m128 s2 = _mm_add_ps(s4, _mm_movehl_ps(s4, s4));
    return _mm_cvtss_f32(_mm_add_ss(s2, _mm_shuffle_ps(s2, s2, 1)));
}

namespace {

// Scores the splits of one group eight at a time into `scores`, each lane keeping the first
// of its least scores (lowest) and where it lies (lowestAt).
KORVIX_AVX2 inline void scoreGroupAvx2(const SplitLayout& layout, const PrefixSums& prefix, int n, const SplitGroup& group, float* scores,
                                       __m256& lowest, __m256i& lowestAt)
{
    const __m256 near = _mm256_set1_ps(0.66f), far = _mm256_set1_ps(0.33f), two = _mm256_set1_ps(2.0f);
    const __m256i step = _mm256_set1_epi32(8);
    const float half2 = 0.5f * static_cast<float>(group.e2 - group.n0);
    __m256 near2[3], far2[3], s2[3], a[3], all[3];
    for (int ch = 0; ch < 3; ++ch) {
        const float* sum = prefix.sum[ch];
        const float run2 = sum[group.e2] - sum[group.n0], t2 = run2 + half2;
        near2[ch] = _mm256_set1_ps(sum[group.n0] + 0.66f * t2);
        far2[ch] = _mm256_set1_ps(0.33f * t2);
        a[ch] = _mm256_set1_ps(sum[group.e2]);
        s2[ch] = _mm256_set1_ps(run2);
        all[ch] = _mm256_set1_ps(sum[n]);
    }
    __m256i at = _mm256_add_epi32(_mm256_set1_epi32(group.first), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    for (int c = 0; c < group.chunks; ++c, at = _mm256_add_epi32(at, step)) {
        const int e = group.first + 8 * c;
        const __m256 half3 = _mm256_loadu_ps(layout.half3 + e);
        const __m256 i11 = _mm256_loadu_ps(layout.i11 + e), i12 = _mm256_loadu_ps(layout.i12 + e),
                     i22 = _mm256_loadu_ps(layout.i22 + e);
        __m256 score = _mm256_loadu_ps(layout.bias + e);
        for (int ch = 0; ch < 3; ++ch) {
            const __m256 q = _mm256_loadu_ps(prefix.sum[ch] + group.e2 + 8 * c);
            const __m256 s3 = _mm256_sub_ps(q, a[ch]), s1 = _mm256_sub_ps(all[ch], q);
            const __m256 t3 = _mm256_add_ps(s3, half3);
            const __m256 r1 = _mm256_add_ps(near2[ch], _mm256_mul_ps(far, t3));
            const __m256 r2 = _mm256_add_ps(_mm256_add_ps(s1, far2[ch]), _mm256_mul_ps(near, t3));
            const __m256 inner = _mm256_add_ps(_mm256_mul_ps(r1, i11), _mm256_mul_ps(_mm256_mul_ps(two, r2), i12));
            const __m256 fit = _mm256_add_ps(_mm256_mul_ps(r1, inner), _mm256_mul_ps(_mm256_mul_ps(r2, r2), i22));
            const __m256 part = _mm256_mul_ps(_mm256_set1_ps(kWeight[ch]), _mm256_sub_ps(_mm256_add_ps(s2[ch], s3), fit));
            score = _mm256_add_ps(score, part);
        }
        _mm256_storeu_ps(scores + e, score);
        const __m256 better = _mm256_cmp_ps(score, lowest, _CMP_LT_OQ);
        lowest = _mm256_blendv_ps(lowest, score, better);
        lowestAt = _mm256_blendv_epi8(lowestAt, at, _mm256_castps_si256(better));
    }
}

// The first entry of the least score of the lanes (each holding the first of its own), with
// that score; -1 when none is finite.
KORVIX_AVX2 inline int firstOfLeastAvx2(__m256 lowest, __m256i lowestAt, float& least)
{
    // The least of the lanes, then the least place among the lanes that hold it, each by
    // halves against halves.
    __m256 value = _mm256_min_ps(lowest, _mm256_permute2f128_ps(lowest, lowest, 1));
    value = _mm256_min_ps(value, _mm256_shuffle_ps(value, value, _MM_SHUFFLE(1, 0, 3, 2)));
    value = _mm256_min_ps(value, _mm256_shuffle_ps(value, value, _MM_SHUFFLE(2, 3, 0, 1)));
    const __m256i holds = _mm256_castps_si256(_mm256_cmp_ps(lowest, value, _CMP_EQ_OQ));
    __m256i at = _mm256_blendv_epi8(_mm256_set1_epi32(std::numeric_limits<int>::max()), lowestAt, holds);
    at = _mm256_min_epi32(at, _mm256_permute2x128_si256(at, at, 1));
    at = _mm256_min_epi32(at, _mm256_shuffle_epi32(at, _MM_SHUFFLE(1, 0, 3, 2)));
    at = _mm256_min_epi32(at, _mm256_shuffle_epi32(at, _MM_SHUFFLE(2, 3, 0, 1)));
    least = _mm256_cvtss_f32(value);
    return least < std::numeric_limits<float>::infinity() ? _mm256_cvtsi256_si32(at) : -1;
}

}  // namespace

KORVIX_AVX2 int scoreSplitsAvx2(const SplitLayout& layout, const PrefixSums& prefix, int n, const std::uint8_t* groups, int groupCount,
                                float* scores)
{
    __m256 lowest = _mm256_set1_ps(std::numeric_limits<float>::infinity());
    __m256i lowestAt = _mm256_setzero_si256();
    for (int listed = 0; listed < groupCount; ++listed)
        scoreGroupAvx2(layout, prefix, n, layout.group[groups[listed]], scores, lowest, lowestAt);
    float least;
    return firstOfLeastAvx2(lowest, lowestAt, least);
}

KORVIX_AVX2 int searchSplitsAvx2(const SplitLayout& layout, const PrefixSums& prefix, int n, const float* bound, float margin, float* scores)
{
    // The least bound, eight at a time, and the first group that holds it.
    const int whole = layout.groupCount & ~7;
    __m256 low8 = _mm256_set1_ps(std::numeric_limits<float>::infinity());
    for (int g = 0; g < whole; g += 8)
        low8 = _mm256_min_ps(low8, _mm256_loadu_ps(bound + g));
    __m128 low4 = _mm_min_ps(_mm256_castps256_ps128(low8), _mm256_extractf128_ps(low8, 1));
    low4 = _mm_min_ps(low4, _mm_shuffle_ps(low4, low4, _MM_SHUFFLE(1, 0, 3, 2)));
    low4 = _mm_min_ps(low4, _mm_shuffle_ps(low4, low4, _MM_SHUFFLE(2, 3, 0, 1)));
    float low = _mm_cvtss_f32(low4);
    for (int g = whole; g < layout.groupCount; ++g)
        low = bound[g] < low ? bound[g] : low;
    // The groups that hold it as bits, without a branch on where they lie (a bit past every
    // group stands for the last when none does).
    std::uint64_t holds[3] = {0, 0, std::uint64_t{1} << 63};
    const __m256 lowest8 = _mm256_set1_ps(low);
    for (int g = 0; g < whole; g += 8)
        holds[g / 64] |= static_cast<std::uint64_t>(_mm256_movemask_ps(_mm256_cmp_ps(_mm256_loadu_ps(bound + g), lowest8, _CMP_EQ_OQ))) << (g % 64);
    for (int g = whole; g < layout.groupCount; ++g)
        holds[g / 64] |= static_cast<std::uint64_t>(bound[g] == low) << (g % 64);
    const int word = (holds[0] == 0) + (holds[0] == 0 && holds[1] == 0);
    const int seed = std::min(64 * word + __builtin_ctzll(holds[word]), layout.groupCount - 1);
    // The seed group's first least score sets the limit.
    __m256 lowest = _mm256_set1_ps(std::numeric_limits<float>::infinity());
    __m256i lowestAt = _mm256_setzero_si256();
    scoreGroupAvx2(layout, prefix, n, layout.group[seed], scores, lowest, lowestAt);
    float least;
    const int leastAt = firstOfLeastAvx2(lowest, lowestAt, least);
    // The other groups within the limit as bits (group g at bit g % 64 of word g / 64).
    const float limit = least + margin;
    std::uint64_t within[3] = {};
    const __m256 limit8 = _mm256_set1_ps(limit);
    for (int g = 0; g < whole; g += 8) {
        const __m256 over = _mm256_cmp_ps(_mm256_loadu_ps(bound + g), limit8, _CMP_GT_OQ);
        within[g / 64] |= static_cast<std::uint64_t>(~_mm256_movemask_ps(over) & 0xFF) << (g % 64);
    }
    for (int g = whole; g < layout.groupCount; ++g)
        within[g / 64] |= static_cast<std::uint64_t>(!(bound[g] > limit)) << (g % 64);
    within[seed / 64] &= ~(std::uint64_t{1} << (seed % 64));
    lowest = _mm256_set1_ps(std::numeric_limits<float>::infinity());
    lowestAt = _mm256_setzero_si256();
    for (int w = 0; w < 3; ++w)
        for (std::uint64_t left = within[w]; left != 0; left &= left - 1)
            scoreGroupAvx2(layout, prefix, n, layout.group[64 * w + __builtin_ctzll(left)], scores, lowest, lowestAt);
    float found;
    const int first = firstOfLeastAvx2(lowest, lowestAt, found);
    return first >= 0 && (leastAt < 0 || found < least || (found == least && first < leastAt)) ? first : leastAt;
}

// ---- The endpoint search of all three channels in one call ----------------------------

namespace {

// The pair scores of eight palette words, lane by lane: the even bytes (p0, p2) and the odd
// ones (p1, p3) as 16-bit halves, each times (count p - 2 sum) in 16 bits (at most 16
// texels keep every term within range), the products added pairwise into 32 bits.
KORVIX_AVX2 inline __m256i pairScores(__m256i word, __m256i countEven, __m256i countOdd, __m256i twiceEven, __m256i twiceOdd)
{
    const __m256i bytes = _mm256_set1_epi32(0x00FF00FF);
    const __m256i even = _mm256_and_si256(word, bytes), odd = _mm256_and_si256(_mm256_srli_epi32(word, 8), bytes);
    const __m256i termEven = _mm256_sub_epi16(_mm256_mullo_epi16(even, countEven), twiceEven);
    const __m256i termOdd = _mm256_sub_epi16(_mm256_mullo_epi16(odd, countOdd), twiceOdd);
    return _mm256_add_epi32(_mm256_madd_epi16(even, termEven), _mm256_madd_epi16(odd, termOdd));
}

// Two 16-bit halves in one 32-bit lane value.
inline std::int32_t halves(std::int32_t low, std::int32_t high)
{
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(low) & 0xFFFF) | static_cast<std::uint32_t>(high) << 16);
}

}  // namespace

KORVIX_AVX2 void scoreSquaresAvx2(const std::int32_t count[4], const std::int32_t sum[3][4], const std::int32_t centre[3][2],
                                  const std::int32_t field[2][3], SquareScores& out)
{
    // A row of a square is three neighbouring words of its channel's table, read as four
    // (the fourth left out) from the guarded tables: no gathers. Channel ch's rows 0 and 1
    // fill the lanes of near[ch] (i = lane / 4, j = lane % 4); the rows 2 of red and green
    // fill far[0], blue's row 2 and the present fields' words (lanes 4 ... 6) far[1].
    const __m256i never = _mm256_set1_epi32(std::numeric_limits<std::int32_t>::max());
    const __m256i countEven = _mm256_set1_epi32(halves(count[0], count[2]));
    const __m256i countOdd = _mm256_set1_epi32(halves(count[1], count[3]));
    __m256i twiceEven[3], twiceOdd[3];
    for (int ch = 0; ch < 3; ++ch) {
        twiceEven[ch] = _mm256_set1_epi32(halves(2 * sum[ch][0], 2 * sum[ch][2]));
        twiceOdd[ch] = _mm256_set1_epi32(halves(2 * sum[ch][1], 2 * sum[ch][3]));
    }
    const __m128i columnOf = _mm_setr_epi32(-1, 0, 1, 2), fourth = _mm_setr_epi32(0, 0, 0, -1);
    __m256i near[3];
    __m128i lastRow[3], lastInside[3];
    for (int ch = 0; ch < 3; ++ch) {
        const int bits = ch == 1 ? 6 : 5, top = (1 << bits) - 1;
        const std::uint32_t* guarded = (ch == 1 ? tables::kGuardedPalettes6.data() : tables::kGuardedPalettes5.data()) + 1;
        const int a = centre[ch][0], b = centre[ch][1];
        // Columns b - 1 ... b + 1 that exist; the fourth is never taken.
        const __m128i column = _mm_add_epi32(_mm_set1_epi32(b), columnOf);
        const __m128i outside = _mm_or_si128(_mm_or_si128(_mm_cmpgt_epi32(_mm_setzero_si128(), column),
                                                          _mm_cmpgt_epi32(column, _mm_set1_epi32(top))),
                                             fourth);
        const __m128i inColumns = _mm_xor_si128(outside, _mm_set1_epi32(-1));
        __m128i row[3], inside[3];
        for (int i = 0; i < 3; ++i) {
            const int at = a - 1 + i;
            const int clamped = std::clamp(at, 0, top);
            row[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(guarded + (clamped << bits) + b - 1));
            inside[i] = at == clamped ? inColumns : _mm_setzero_si128();
        }
        const __m256i words = _mm256_inserti128_si256(_mm256_castsi128_si256(row[0]), row[1], 1);
        const __m256i valid = _mm256_inserti128_si256(_mm256_castsi128_si256(inside[0]), inside[1], 1);
        near[ch] = _mm256_blendv_epi8(never, pairScores(words, countEven, countOdd, twiceEven[ch], twiceOdd[ch]), valid);
        lastRow[ch] = row[2];
        lastInside[ch] = inside[2];
    }
    const __m128i presentWords = _mm_setr_epi32(static_cast<int>(tables::kChannelPalettes5[(field[0][0] << 5) + field[1][0]]),
                                                static_cast<int>(tables::kChannelPalettes6[(field[0][1] << 6) + field[1][1]]),
                                                static_cast<int>(tables::kChannelPalettes5[(field[0][2] << 5) + field[1][2]]), 0);
    constexpr int kUpper = 0xF0, kLane4 = 0x10, kLane5 = 0x20;
    __m256i far[2];
    {
        const __m256i words = _mm256_inserti128_si256(_mm256_castsi128_si256(lastRow[0]), lastRow[1], 1);
        const __m256i valid = _mm256_inserti128_si256(_mm256_castsi128_si256(lastInside[0]), lastInside[1], 1);
        const __m256i even = _mm256_blend_epi32(twiceEven[0], twiceEven[1], kUpper);
        const __m256i odd = _mm256_blend_epi32(twiceOdd[0], twiceOdd[1], kUpper);
        far[0] = _mm256_blendv_epi8(never, pairScores(words, countEven, countOdd, even, odd), valid);
    }
    {
        const __m256i words = _mm256_inserti128_si256(_mm256_castsi128_si256(lastRow[2]), presentWords, 1);
        const __m256i valid = _mm256_inserti128_si256(_mm256_castsi128_si256(lastInside[2]), _mm_setr_epi32(-1, -1, -1, 0), 1);
        const __m256i even = _mm256_blend_epi32(_mm256_blend_epi32(twiceEven[2], twiceEven[0], kLane4), twiceEven[1], kLane5);
        const __m256i odd = _mm256_blend_epi32(_mm256_blend_epi32(twiceOdd[2], twiceOdd[0], kLane4), twiceOdd[1], kLane5);
        far[1] = _mm256_blendv_epi8(never, pairScores(words, countEven, countOdd, even, odd), valid);
    }
    const __m128i rowTwo[3] = {_mm256_castsi256_si128(far[0]), _mm256_extracti128_si256(far[0], 1), _mm256_castsi256_si128(far[1])};

    // Each channel's least pair score in lanes 0 ... 2: its twelve lanes folded to four, the
    // three transposed and folded again.
    __m128i r[3];
    for (int ch = 0; ch < 3; ++ch)
        r[ch] = _mm_min_epi32(_mm_min_epi32(_mm256_castsi256_si128(near[ch]), _mm256_extracti128_si256(near[ch], 1)), rowTwo[ch]);
    const __m128i t0 = _mm_unpacklo_epi32(r[0], r[1]), t1 = _mm_unpacklo_epi32(r[2], r[2]);
    const __m128i t2 = _mm_unpackhi_epi32(r[0], r[1]), t3 = _mm_unpackhi_epi32(r[2], r[2]);
    const __m128i least = _mm_min_epi32(_mm_min_epi32(_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1)),
                                        _mm_min_epi32(_mm_unpacklo_epi64(t2, t3), _mm_unpackhi_epi64(t2, t3)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out.least), _mm_blend_epi32(least, _mm_setzero_si128(), 0b1000));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out.present), _mm_blend_epi32(_mm256_extracti128_si256(far[1], 1), _mm_setzero_si128(), 0b1000));
    alignas(16) std::int32_t leastOf[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(leastOf), least);
    for (int ch = 0; ch < 3; ++ch) {
        const __m256i target = _mm256_set1_epi32(leastOf[ch]);
        // Rows 0 and 1 in bits 0 ... 7, row 2 in bits 8 ... 11: bit 4 i + j is pair 3 i + j.
        const unsigned hits =
            static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(near[ch], target)))) |
            static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(rowTwo[ch], _mm256_castsi256_si128(target))))) << 8;
        const int lane = __builtin_ctz(hits);
        out.pair[ch] = 3 * (lane >> 2) + (lane & 3);
        out.centre[ch] = _mm_extract_epi32(_mm256_extracti128_si256(near[ch], 1), 1);
    }
    out.pair[3] = out.centre[3] = 0;
}

KORVIX_AVX2 void splitBoundsAvx2(const PrefixSums& prefix, int n, float* bound)
{
    detail::splitBoundsBody<8>(prefix, n, bound);
}

KORVIX_AVX2 void orderAlongAvx2(const BlockTexels& t, const float axis[3], std::uint8_t* order, std::int32_t* place, PrefixSums& prefix)
{
    detail::orderAlongBody<8>(t, axis, order, place, prefix);
}

}  // namespace dxt::kernels

#else  // not x86: the names stand for the plain kernels (supported() offers no other path)

namespace dxt::kernels {

float assignAvx2(const BlockTexels& t, const float palette[4][3], std::uint8_t* index)
{
    return assignScalar(t, palette, index);
}

int scoreSplitsAvx2(const SplitLayout& layout, const PrefixSums& prefix, int n, const std::uint8_t* groups, int groupCount, float* scores)
{
    return scoreSplitsScalar(layout, prefix, n, groups, groupCount, scores);
}

int searchSplitsAvx2(const SplitLayout& layout, const PrefixSums& prefix, int n, const float* bound, float margin, float* scores)
{
    return searchSplitsScalar(layout, prefix, n, bound, margin, scores);
}

void channelSumsAvx2(const BlockTexels& t, std::int32_t sum[3], std::int32_t products[6])
{
    channelSumsScalar(t, sum, products);
}

void entrySumsAvx2(const BlockTexels& t, const std::uint8_t* index, std::int32_t count[4], std::int32_t sum[3][4])
{
    entrySumsScalar(t, index, count, sum);
}

void scoreSquaresAvx2(const std::int32_t count[4], const std::int32_t sum[3][4], const std::int32_t centre[3][2],
                      const std::int32_t field[2][3], SquareScores& out)
{
    scoreSquaresScalar(count, sum, centre, field, out);
}

void splitBoundsAvx2(const PrefixSums& prefix, int n, float* bound)
{
    splitBounds(prefix, n, bound);
}

void orderAlongAvx2(const BlockTexels& t, const float axis[3], std::uint8_t* order, std::int32_t* place, PrefixSums& prefix)
{
    orderAlongScalar(t, axis, order, place, prefix);
}

}  // namespace dxt::kernels

#endif
