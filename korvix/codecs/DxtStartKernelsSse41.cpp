#include "codecs/DxtKernels.h"

#if KORVIX_DXT_X86

#include <immintrin.h>

// Compiled for SSE4.1 function by function, as the other vector kernels are.
#define KORVIX_SSE41 __attribute__((target("sse4.1")))

namespace dxt::kernels {

KORVIX_SSE41 bool gatherWholeSse41(const std::uint8_t* bgra64, BlockTexels& t)
{
    const __m128i byte = _mm_set1_epi32(0xFF);
    const __m128i first = _mm_shuffle_epi32(_mm_cvtsi32_si128(static_cast<int>(bgra64[0] | bgra64[1] << 8 | bgra64[2] << 16)), 0);
    __m128i differs = _mm_setzero_si128();
    for (int q = 0; q < 4; ++q) {
        const __m128i texels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgra64 + 16 * q));
        const __m128i channel[3] = {_mm_and_si128(_mm_srli_epi32(texels, 16), byte), _mm_and_si128(_mm_srli_epi32(texels, 8), byte),
                                    _mm_and_si128(texels, byte)};
        for (int ch = 0; ch < 3; ++ch) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(t.c[ch] + 4 * q), channel[ch]);
            _mm_storeu_ps(t.cf[ch] + 4 * q, _mm_cvtepi32_ps(channel[ch]));
        }
        differs = _mm_or_si128(differs, _mm_xor_si128(texels, first));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(t.valid + 4 * q), _mm_set1_epi32(1));
        _mm_storeu_ps(t.counts + 4 * q, _mm_set1_ps(1.0f));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(t.position), _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(t.existing), _mm_set1_epi8(static_cast<char>(0xFF)));
    t.count = 16;
    return _mm_testz_si128(differs, _mm_set1_epi32(0xFFFFFF)) != 0;
}

KORVIX_SSE41 void startAlongSse41(const BlockTexels& t, const float axis[3], int& lo, int& hi, std::uint8_t* index)
{
    const __m128 a0 = _mm_set1_ps(axis[0]), a1 = _mm_set1_ps(axis[1]), a2 = _mm_set1_ps(axis[2]);
    __m128 dot[4];
    for (int q = 0; q < 4; ++q)
        dot[q] = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_loadu_ps(t.cf[0] + 4 * q), a0), _mm_mul_ps(_mm_loadu_ps(t.cf[1] + 4 * q), a1)),
                            _mm_mul_ps(_mm_loadu_ps(t.cf[2] + 4 * q), a2));
    // The least and greatest projections (neither min nor max depends on the order among
    // numbers), then the first slots that hold them.
    __m128 least = _mm_min_ps(_mm_min_ps(dot[0], dot[1]), _mm_min_ps(dot[2], dot[3]));
    __m128 greatest = _mm_max_ps(_mm_max_ps(dot[0], dot[1]), _mm_max_ps(dot[2], dot[3]));
    least = _mm_min_ps(least, _mm_shuffle_ps(least, least, 0x4E));
    least = _mm_min_ps(least, _mm_shuffle_ps(least, least, 0xB1));
    greatest = _mm_max_ps(greatest, _mm_shuffle_ps(greatest, greatest, 0x4E));
    greatest = _mm_max_ps(greatest, _mm_shuffle_ps(greatest, greatest, 0xB1));
    unsigned atLeast = 0, atGreatest = 0;
    for (int q = 0; q < 4; ++q) {
        atLeast |= static_cast<unsigned>(_mm_movemask_ps(_mm_cmpeq_ps(dot[q], least))) << (4 * q);
        atGreatest |= static_cast<unsigned>(_mm_movemask_ps(_mm_cmpeq_ps(dot[q], greatest))) << (4 * q);
    }
    lo = __builtin_ctz(atLeast);
    hi = __builtin_ctz(atGreatest);
    if (!index)
        return;
    // The plain code keeps the first slot's own value (a zero of either sign).
    alignas(16) float dots[16];
    for (int q = 0; q < 4; ++q)
        _mm_store_ps(dots + 4 * q, dot[q]);
    const float minDot = dots[lo], maxDot = dots[hi];
    const __m128 scale = _mm_set1_ps(maxDot > minDot ? 3.0f / (maxDot - minDot) : 0.0f);
    const __m128 bottom = _mm_set1_ps(minDot), half = _mm_set1_ps(0.5f);
    __m128i step[4];
    for (int q = 0; q < 4; ++q)
        step[q] = _mm_min_epi32(_mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(_mm_sub_ps(dot[q], bottom), scale), half)), _mm_set1_epi32(3));
    const __m128i steps = _mm_packus_epi16(_mm_packs_epi32(step[0], step[1]), _mm_packs_epi32(step[2], step[3]));
    // Steps 0, 1, 2, 3 are indices 1, 3, 2, 0.
    const __m128i toIndex = _mm_setr_epi8(1, 3, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(index), _mm_shuffle_epi8(toIndex, steps));
}

KORVIX_SSE41 void principalAxisSse41(const std::int32_t sum[3], const std::int32_t products[6], int count, float axis[3])
{
    float cov[3][3];
    weightedCovariance(sum, products, count, cov);
    const float trace = cov[0][0] + cov[1][1] + cov[2][2];
    const float norm = trace > 0 ? 1.0f / trace : 0.0f;
    // Row r of the squared matrix is sum over k of cov[r][k] times row k, which is also its
    // column r (the products are the same, in the same order); lane 3 stays 0.
    const __m128 row[3] = {_mm_setr_ps(cov[0][0], cov[0][1], cov[0][2], 0), _mm_setr_ps(cov[1][0], cov[1][1], cov[1][2], 0),
                           _mm_setr_ps(cov[2][0], cov[2][1], cov[2][2], 0)};
    const __m128 scale = _mm_set1_ps(norm);
    __m128 sq[3];
    for (int r = 0; r < 3; ++r) {
        const __m128 sum01 = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(cov[r][0]), row[0]), _mm_mul_ps(_mm_set1_ps(cov[r][1]), row[1]));
        sq[r] = _mm_mul_ps(_mm_mul_ps(_mm_add_ps(sum01, _mm_mul_ps(_mm_set1_ps(cov[r][2]), row[2])), scale), scale);
    }
    int start = 0;
    for (int ch = 1; ch < 3; ++ch)
        if (cov[ch][ch] > cov[start][start])
            start = ch;
    __m128 v = _mm_mul_ps(row[start], scale);
    for (int it = 0; it < 4; ++it) {
        const __m128 v0 = _mm_shuffle_ps(v, v, 0x00), v1 = _mm_shuffle_ps(v, v, 0x55), v2 = _mm_shuffle_ps(v, v, 0xAA);
        v = _mm_add_ps(_mm_add_ps(_mm_mul_ps(sq[0], v0), _mm_mul_ps(sq[1], v1)), _mm_mul_ps(sq[2], v2));
    }
    alignas(16) float w[4];
    _mm_store_ps(w, _mm_mul_ps(v, _mm_setr_ps(kAxisScale[0], kAxisScale[1], kAxisScale[2], 0)));
    for (int ch = 0; ch < 3; ++ch)
        axis[ch] = w[ch];
}

}  // namespace dxt::kernels

#else  // not x86: the names stand for the plain kernels (supported() offers no other path)

namespace dxt::kernels {

bool gatherWholeSse41(const std::uint8_t* bgra64, BlockTexels& t)
{
    return gatherWholeScalar(bgra64, t);
}

void startAlongSse41(const BlockTexels& t, const float axis[3], int& lo, int& hi, std::uint8_t* index)
{
    startAlongScalar(t, axis, lo, hi, index);
}

void principalAxisSse41(const std::int32_t sum[3], const std::int32_t products[6], int count, float axis[3])
{
    principalAxisScalar(sum, products, count, axis);
}

}  // namespace dxt::kernels

#endif
