#include "codecs/DxtKernels.h"

#if KORVIX_DXT_X86

#include "codecs/DxtTables.h"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

// Everything from here on is built for SSE4.1 (see DxtFastLanes.h), up to the end of the
// x86 part.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("sse4.1"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("sse4.1")
#endif

#include "codecs/DxtFastLanes.h"

namespace dxt::kernels {
namespace {

// Row y of four blocks is four loads, one per block, transposed by 32 and 64 bits.
template <>
void loadRows<4>(const std::uint8_t* pixels, std::size_t stride, Lanes<4>::I px[16])
{
    for (int y = 0; y < 4; ++y) {
        const std::uint8_t* row = pixels + y * stride;
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 48));
        const __m128i ab01 = _mm_unpacklo_epi32(a, b), ab23 = _mm_unpackhi_epi32(a, b);
        const __m128i cd01 = _mm_unpacklo_epi32(c, d), cd23 = _mm_unpackhi_epi32(c, d);
        px[4 * y] = reinterpret_cast<Lanes<4>::I>(_mm_unpacklo_epi64(ab01, cd01));
        px[4 * y + 1] = reinterpret_cast<Lanes<4>::I>(_mm_unpackhi_epi64(ab01, cd01));
        px[4 * y + 2] = reinterpret_cast<Lanes<4>::I>(_mm_unpacklo_epi64(ab23, cd23));
        px[4 * y + 3] = reinterpret_cast<Lanes<4>::I>(_mm_unpackhi_epi64(ab23, cd23));
    }
}

template <>
int laneBlock<4>(int lane)
{
    return lane;
}

// SSE4.1 has no gather: one load per lane.
template <>
Lanes<4>::I lookup<4>(const std::int32_t* table, Lanes<4>::I at)
{
    return Lanes<4>::I{table[at[0]], table[at[1]], table[at[2]], table[at[3]]};
}

template <>
Lanes<4>::I lookup<4>(const std::uint32_t* table, Lanes<4>::I at)
{
    return lookup<4>(reinterpret_cast<const std::int32_t*>(table), at);
}

template <>
Lanes<4>::I pairProducts<4>(Lanes<4>::I a, Lanes<4>::I b)
{
    return reinterpret_cast<Lanes<4>::I>(_mm_madd_epi16(reinterpret_cast<__m128i>(a), reinterpret_cast<__m128i>(b)));
}

// Each lane's run of four words is one 16-byte load; the four are then transposed.
template <>
void squareWords<4>(const std::uint32_t* rowGuarded, int row, Lanes<4>::I at, Lanes<4>::I words[3][3])
{
    const std::uint32_t* centre[4];
    for (int l = 0; l < 4; ++l)
        centre[l] = rowGuarded + row + at[l];
    for (int i = 0; i < 3; ++i) {
        const std::ptrdiff_t offset = (i - 1) * static_cast<std::ptrdiff_t>(row);
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(centre[0] + offset));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(centre[1] + offset));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(centre[2] + offset));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(centre[3] + offset));
        const __m128i ab01 = _mm_unpacklo_epi32(a, b), ab23 = _mm_unpackhi_epi32(a, b);
        const __m128i cd01 = _mm_unpacklo_epi32(c, d), cd23 = _mm_unpackhi_epi32(c, d);
        words[i][0] = reinterpret_cast<Lanes<4>::I>(_mm_unpacklo_epi64(ab01, cd01));
        words[i][1] = reinterpret_cast<Lanes<4>::I>(_mm_unpackhi_epi64(ab01, cd01));
        words[i][2] = reinterpret_cast<Lanes<4>::I>(_mm_unpacklo_epi64(ab23, cd23));
    }
}

template <>
bool anyLane<4>(Lanes<4>::I v)
{
    return !_mm_testz_si128(reinterpret_cast<__m128i>(v), reinterpret_cast<__m128i>(v));
}

}  // namespace

void fastBlocksSse41(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out, std::size_t outStride)
{
    fastBlocksLanes<4>(pixels, stride, count, out, outStride);
}

void defaultBlocksSse41(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out, std::size_t outStride)
{
    defaultBlocksLanes<4>(Isa::Sse41, pixels, stride, count, out, outStride);
}

}  // namespace dxt::kernels

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#else  // not x86: the name stands for the plain version (supported() offers no other path)

namespace dxt::kernels {

void fastBlocksSse41(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out, std::size_t outStride)
{
    fastBlocksScalar(pixels, stride, count, out, outStride);
}

void defaultBlocksSse41(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out, std::size_t outStride)
{
    defaultBlocksScalar(pixels, stride, count, out, outStride);
}

}  // namespace dxt::kernels

#endif
