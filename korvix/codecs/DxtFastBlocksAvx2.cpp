#include "codecs/DxtKernels.h"

#if KORVIX_DXT_X86

#include "codecs/DxtTables.h"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

// Everything from here on is built for AVX2 (see DxtFastLanes.h), up to the end of the
// x86 part.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "codecs/DxtFastLanes.h"

namespace dxt::kernels {
namespace {

// Row y of eight blocks is four loads of two blocks each; unpacking them by 32 and 64 bits
// within the 128-bit halves gives texel x of blocks 0, 2, 4, 6 in the low half and of
// blocks 1, 3, 5, 7 in the high half.
template <>
void loadRows<8>(const std::uint8_t* pixels, std::size_t stride, Lanes<8>::I px[16])
{
    for (int y = 0; y < 4; ++y) {
        const std::uint8_t* row = pixels + y * stride;
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 32));
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 64));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 96));
        const __m256i ab01 = _mm256_unpacklo_epi32(a, b), ab23 = _mm256_unpackhi_epi32(a, b);
        const __m256i cd01 = _mm256_unpacklo_epi32(c, d), cd23 = _mm256_unpackhi_epi32(c, d);
        px[4 * y] = reinterpret_cast<Lanes<8>::I>(_mm256_unpacklo_epi64(ab01, cd01));
        px[4 * y + 1] = reinterpret_cast<Lanes<8>::I>(_mm256_unpackhi_epi64(ab01, cd01));
        px[4 * y + 2] = reinterpret_cast<Lanes<8>::I>(_mm256_unpacklo_epi64(ab23, cd23));
        px[4 * y + 3] = reinterpret_cast<Lanes<8>::I>(_mm256_unpackhi_epi64(ab23, cd23));
    }
}

template <>
int laneBlock<8>(int lane)
{
    return lane < 4 ? 2 * lane : 2 * (lane - 4) + 1;
}

template <>
Lanes<8>::I lookup<8>(const std::int32_t* table, Lanes<8>::I at)
{
    return reinterpret_cast<Lanes<8>::I>(_mm256_i32gather_epi32(table, reinterpret_cast<__m256i>(at), 4));
}

template <>
Lanes<8>::I lookup<8>(const std::uint32_t* table, Lanes<8>::I at)
{
    return lookup<8>(reinterpret_cast<const std::int32_t*>(table), at);
}

template <>
Lanes<8>::I pairProducts<8>(Lanes<8>::I a, Lanes<8>::I b)
{
    return reinterpret_cast<Lanes<8>::I>(_mm256_madd_epi16(reinterpret_cast<__m256i>(a), reinterpret_cast<__m256i>(b)));
}

// Each lane's run of four words is one 16-byte load; the eight are then transposed (blocks
// 0 to 3 in the low halves, 4 to 7 in the high ones, then by 32 and 64 bits).
template <>
void squareWords<8>(const std::uint32_t* rowGuarded, int row, Lanes<8>::I at, Lanes<8>::I words[3][3])
{
    const std::uint32_t* centre[8];
    for (int l = 0; l < 8; ++l)
        centre[l] = rowGuarded + row + at[l];
    for (int i = 0; i < 3; ++i) {
        const std::ptrdiff_t offset = (i - 1) * static_cast<std::ptrdiff_t>(row);
        __m128i run[8];
        for (int l = 0; l < 8; ++l)
            run[l] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(centre[l] + offset));
        const __m256i a = _mm256_inserti128_si256(_mm256_castsi128_si256(run[0]), run[4], 1);
        const __m256i b = _mm256_inserti128_si256(_mm256_castsi128_si256(run[1]), run[5], 1);
        const __m256i c = _mm256_inserti128_si256(_mm256_castsi128_si256(run[2]), run[6], 1);
        const __m256i d = _mm256_inserti128_si256(_mm256_castsi128_si256(run[3]), run[7], 1);
        const __m256i ab01 = _mm256_unpacklo_epi32(a, b), ab23 = _mm256_unpackhi_epi32(a, b);
        const __m256i cd01 = _mm256_unpacklo_epi32(c, d), cd23 = _mm256_unpackhi_epi32(c, d);
        words[i][0] = reinterpret_cast<Lanes<8>::I>(_mm256_unpacklo_epi64(ab01, cd01));
        words[i][1] = reinterpret_cast<Lanes<8>::I>(_mm256_unpackhi_epi64(ab01, cd01));
        words[i][2] = reinterpret_cast<Lanes<8>::I>(_mm256_unpacklo_epi64(ab23, cd23));
    }
}

template <>
bool anyLane<8>(Lanes<8>::I v)
{
    return !_mm256_testz_si256(reinterpret_cast<__m256i>(v), reinterpret_cast<__m256i>(v));
}

}  // namespace

void fastBlocksAvx2(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out, std::size_t outStride)
{
    fastBlocksLanes<8>(pixels, stride, count, out, outStride);
}

void defaultBlocksAvx2(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out, std::size_t outStride)
{
    defaultBlocksLanes<8>(Isa::Avx2, pixels, stride, count, out, outStride);
}

}  // namespace dxt::kernels

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#else  // not x86: the name stands for the plain version (supported() offers no other path)

namespace dxt::kernels {

void fastBlocksAvx2(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out, std::size_t outStride)
{
    fastBlocksScalar(pixels, stride, count, out, outStride);
}

void defaultBlocksAvx2(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out, std::size_t outStride)
{
    defaultBlocksScalar(pixels, stride, count, out, outStride);
}

}  // namespace dxt::kernels

#endif
