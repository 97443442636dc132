#include "document/BackgroundBlend.h"

#include "codecs/PixelBitmap.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KORVIX_BLEND_X86 1
// Compiled for AVX2 function by function, so that nothing of it runs on a
// machine without AVX2 unless the run-time check chose it.
#define KORVIX_AVX2 __attribute__((target("avx2")))
#endif

namespace backgroundblend {

void rowScalar(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* grey, int count)
{
    for (int x = 0; x < count; ++x) {
        const std::uint8_t* s = in + 4 * x;
        std::uint8_t* d = out + 4 * x;
        const unsigned a = s[3];
        const unsigned back = (255 - a) * grey[x];
        d[0] = static_cast<std::uint8_t>((back + s[0] * a) >> 8);
        d[1] = static_cast<std::uint8_t>((back + s[1] * a) >> 8);
        d[2] = static_cast<std::uint8_t>((back + s[2] * a) >> 8);
    }
}

#if KORVIX_BLEND_X86

// Four pixels in 16-bit lanes, two per half: the pixel's alpha spread over
// its lanes by a word shuffle, the grey value doubled into a 32-bit pair and
// spread by a dword unpack.
void rowSse2(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* grey, int count)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(255);
    const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * x));
        std::int32_t grey4;
        std::memcpy(&grey4, grey + x, 4);
        const __m128i g16 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(grey4), zero);  // g0 g1 g2 g3 as words
        const __m128i gPairs = _mm_unpacklo_epi16(g16, g16);                    // g0 g0 g1 g1 g2 g2 g3 g3
        const __m128i lo = _mm_unpacklo_epi8(px, zero), hi = _mm_unpackhi_epi8(px, zero);
        const __m128i aLo = _mm_shufflehi_epi16(_mm_shufflelo_epi16(lo, 0xFF), 0xFF);
        const __m128i aHi = _mm_shufflehi_epi16(_mm_shufflelo_epi16(hi, 0xFF), 0xFF);
        const __m128i gLo = _mm_unpacklo_epi32(gPairs, gPairs), gHi = _mm_unpackhi_epi32(gPairs, gPairs);
        const __m128i rLo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(full, aLo), gLo), _mm_mullo_epi16(lo, aLo)), 8);
        const __m128i rHi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(full, aHi), gHi), _mm_mullo_epi16(hi, aHi)), 8);
        const __m128i blended = _mm_packus_epi16(rLo, rHi);
        __m128i* d = reinterpret_cast<__m128i*>(out + 4 * x);
        const __m128i old = _mm_loadu_si128(d);
        _mm_storeu_si128(d, _mm_or_si128(_mm_andnot_si128(alphaBytes, blended), _mm_and_si128(alphaBytes, old)));
    }
    rowScalar(in + 4 * x, out + 4 * x, grey + x, count - x);
}

// The same eight pixels at a time; the two 128-bit halves work as two
// independent four-pixel blocks.
KORVIX_AVX2 void rowAvx2(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* grey, int count)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i full = _mm256_set1_epi16(255);
    const __m256i alphaBytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    int x = 0;
    for (; x + 8 <= count; x += 8) {
        const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 4 * x));
        // g0 ... g3 | g4 ... g7 as dwords, doubled into word pairs.
        const __m256i g32 = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(grey + x)));
        const __m256i gPairs = _mm256_or_si256(g32, _mm256_slli_epi32(g32, 16));
        const __m256i lo = _mm256_unpacklo_epi8(px, zero), hi = _mm256_unpackhi_epi8(px, zero);
        const __m256i aLo = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(lo, 0xFF), 0xFF);
        const __m256i aHi = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(hi, 0xFF), 0xFF);
        const __m256i gLo = _mm256_unpacklo_epi32(gPairs, gPairs), gHi = _mm256_unpackhi_epi32(gPairs, gPairs);
        const __m256i rLo = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(full, aLo), gLo), _mm256_mullo_epi16(lo, aLo)), 8);
        const __m256i rHi = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(full, aHi), gHi), _mm256_mullo_epi16(hi, aHi)), 8);
        const __m256i blended = _mm256_packus_epi16(rLo, rHi);
        __m256i* d = reinterpret_cast<__m256i*>(out + 4 * x);
        _mm256_storeu_si256(d, _mm256_blendv_epi8(blended, _mm256_loadu_si256(d), alphaBytes));
    }
    // The compiler leaves the upper halves dirty before the jump to the SSE2
    // tail; clean, or every SSE instruction after it pays for the transition.
    _mm256_zeroupper();
    rowSse2(in + 4 * x, out + 4 * x, grey + x, count - x);
}

bool hasAvx2()
{
    static const bool avx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return avx2;
}

RowBlend bestRow()
{
    static const RowBlend row = hasAvx2() ? rowAvx2 : rowSse2;
    return row;
}

#else

bool hasAvx2()
{
    return false;
}

RowBlend bestRow()
{
    return rowScalar;
}

#endif

void blendRows(const PixelBitmap& src, PixelBitmap& dst, const std::uint8_t* background, std::size_t backgroundStride,
               int y0, int y1)
{
    const RowBlend row = bestRow();
    for (int y = y0; y < y1; ++y)
        row(src.row(y), dst.row(y), background + static_cast<std::size_t>(y) * backgroundStride, src.width());
}

}  // namespace backgroundblend
