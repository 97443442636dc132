#pragma once

// The body of the cluster search's split bounds, for W (4 or 8) neighbouring runs at a time
// in the compiler's portable vectors. DxtKernels.cpp builds it four wide for every path and
// DxtKernelsAvx2.cpp eight wide inside an AVX2 function, into which it is always inlined; it
// calls no library function, so no code built for AVX2 can end up on another path.

#include "codecs/DxtKernels.h"

namespace dxt::kernels::detail {

// 1 / (j - i) at [24 + j - i]; 0 where the run is empty (or reversed).
inline constexpr float kRunInverse[48] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    1.0f / 1, 1.0f / 2, 1.0f / 3, 1.0f / 4, 1.0f / 5, 1.0f / 6, 1.0f / 7, 1.0f / 8,
    1.0f / 9, 1.0f / 10, 1.0f / 11, 1.0f / 12, 1.0f / 13, 1.0f / 14, 1.0f / 15, 1.0f / 16,
    1.0f / 17, 1.0f / 18, 1.0f / 19, 1.0f / 20, 1.0f / 21, 1.0f / 22, 1.0f / 23};
// The same the other way round, 1 / (i - j) at [24 + j - i]: neighbouring starts of runs
// that end at one place.
inline constexpr float kRunInverseDown[48] = {
    1.0f / 24, 1.0f / 23, 1.0f / 22, 1.0f / 21, 1.0f / 20, 1.0f / 19, 1.0f / 18, 1.0f / 17,
    1.0f / 16, 1.0f / 15, 1.0f / 14, 1.0f / 13, 1.0f / 12, 1.0f / 11, 1.0f / 10, 1.0f / 9,
    1.0f / 8, 1.0f / 7, 1.0f / 6, 1.0f / 5, 1.0f / 4, 1.0f / 3, 1.0f / 2, 1.0f / 1,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

template <int W>
struct BoundVector;
template <>
struct BoundVector<4> {
    using Type = float __attribute__((vector_size(16)));
};
template <>
struct BoundVector<8> {
    using Type = float __attribute__((vector_size(32)));
};

// What splitBounds writes (see there), `bound` with room for the layout's groupCount + W - 1
// values; n at most 16.
template <int W>
[[gnu::always_inline]] inline void splitBoundsBody(const PrefixSums& prefix, int n, float* bound)
{
    using Vec = typename BoundVector<W>::Type;
#define KORVIX_LOAD(v, p) __builtin_memcpy(&(v), (p), sizeof(Vec))
    // spread[i][j]: the weighted spread of texels i ... j - 1 about their mean (j >= i; the
    // rows are written W at a time from j = i, up to W - 1 past n; only what is written is
    // read, so the array is left uncleared).
    alignas(32) float spread[17][24];
    for (int i = 0; i <= n; ++i)
        for (int j = i; j <= n; j += W) {
            Vec s0, s1, s2, sq, inv;
            KORVIX_LOAD(s0, prefix.sum[0] + j);
            KORVIX_LOAD(s1, prefix.sum[1] + j);
            KORVIX_LOAD(s2, prefix.sum[2] + j);
            KORVIX_LOAD(sq, prefix.squares + j);
            KORVIX_LOAD(inv, kRunInverse + 24 + j - i);
            const Vec d0 = s0 - prefix.sum[0][i], d1 = s1 - prefix.sum[1][i], d2 = s2 - prefix.sum[2][i];
            const Vec mean = (kWeight[0] * d0 * d0 + kWeight[1] * d1 * d1 + kWeight[2] * d2 * d2) * inv;
            const Vec own = (sq - prefix.squares[i]) - mean;
            __builtin_memcpy(&spread[i][j], &own, sizeof own);
        }
    // The least spread of texels e2 ... n - 1 cut into two runs (either may be empty).
    const Vec never = Vec{} + __builtin_inff();
    // spread[q][n], +infinity past n: W starts q at a time, each lane as its row computes it.
    alignas(32) float toEnd[24];
    for (int q = 0; q < 24; q += W) {
        Vec s0, s1, s2, sq, inv, at;
        KORVIX_LOAD(s0, prefix.sum[0] + q);
        KORVIX_LOAD(s1, prefix.sum[1] + q);
        KORVIX_LOAD(s2, prefix.sum[2] + q);
        KORVIX_LOAD(sq, prefix.squares + q);
        KORVIX_LOAD(inv, kRunInverseDown + 24 + q - n);
        for (int l = 0; l < W; ++l)
            at[l] = static_cast<float>(q + l);
        const Vec d0 = prefix.sum[0][n] - s0, d1 = prefix.sum[1][n] - s1, d2 = prefix.sum[2][n] - s2;
        const Vec mean = (kWeight[0] * d0 * d0 + kWeight[1] * d1 * d1 + kWeight[2] * d2 * d2) * inv;
        const Vec own = (prefix.squares[n] - sq) - mean;
        const Vec end = at <= static_cast<float>(n) ? own : never;
        __builtin_memcpy(toEnd + q, &end, sizeof end);
    }
    alignas(32) float tail[24];
    for (int e2 = 0; e2 <= n; ++e2) {
        Vec least = never;
        for (int q = e2; q <= n; q += W) {
            Vec a, b;
            KORVIX_LOAD(a, &spread[e2][q]);
            KORVIX_LOAD(b, toEnd + q);
            const Vec cut = a + b;
            least = cut < least ? cut : least;
        }
        // The least lane, halves against halves (the values are never NaN), written out here
        // rather than passed to a function: a vector argument would cross a boundary
        // built without AVX.
        using Half = typename BoundVector<4>::Type;
        Half half;
        if constexpr (W == 8) {
            const Half low = __builtin_shufflevector(least, least, 0, 1, 2, 3), high = __builtin_shufflevector(least, least, 4, 5, 6, 7);
            half = low < high ? low : high;
        } else {
            half = least;
        }
        const Half swapped = __builtin_shufflevector(half, half, 2, 3, 0, 1);
        half = half < swapped ? half : swapped;
        const Half neighbour = __builtin_shufflevector(half, half, 1, 0, 3, 2);
        half = half < neighbour ? half : neighbour;
        tail[e2] = half[0];
    }
    for (int e2 = n + 1; e2 < 24; ++e2)
        tail[e2] = 0;
    // The groups of one n0 are those of e2 = n0 ... n, one after the other; W at a time
    // (writing past the last is overwritten by the next n0, and the caller's array has room).
    const float squares = prefix.squares[n];
    for (int n0 = 0, g = 0; n0 <= n; g += n - n0 + 1, ++n0)
        for (int e2 = n0; e2 <= n; e2 += W) {
            Vec a, b;
            KORVIX_LOAD(a, &spread[n0][e2]);
            KORVIX_LOAD(b, tail + e2);
            const Vec w = (spread[0][n0] + a) + b - squares;
            __builtin_memcpy(bound + g + (e2 - n0), &w, sizeof w);
        }
#undef KORVIX_LOAD
}

}  // namespace dxt::kernels::detail
