#pragma once

// The body of the cluster search's ordering, for W (4 or 8) texels at a time in the
// compiler's portable vectors. DxtKernels.cpp builds it four wide for every path and
// DxtKernelsAvx2.cpp eight wide inside an AVX2 function, into which it is always inlined; it
// calls no library function, so no code built for AVX2 can end up on another path.

#include "codecs/DxtKernels.h"

namespace dxt::kernels::detail {

template <int W>
struct OrderVectors;
template <>
struct OrderVectors<4> {
    using Float = float __attribute__((vector_size(16)));
    using Int = std::int32_t __attribute__((vector_size(16)));
};
template <>
struct OrderVectors<8> {
    using Float = float __attribute__((vector_size(32)));
    using Int = std::int32_t __attribute__((vector_size(32)));
};

// What orderAlong writes (see there).
template <int W>
[[gnu::always_inline]] inline void orderAlongBody(const BlockTexels& t, const float axis[3], std::uint8_t* order, std::int32_t* place,
                                                  PrefixSums& prefix)
{
    using Float = typename OrderVectors<W>::Float;
    using Int = typename OrderVectors<W>::Int;
    constexpr int kGroups = 16 / W;
    const int n = t.count;
    Int slot;
    for (int l = 0; l < W; ++l)
        slot[l] = l;
    // The keys and each texel's weighted square, W texels at a time, each lane as the plain
    // expression would (the padding slots' keys +infinity).
    Float keys[kGroups];
    alignas(32) float square[16];
    for (int q = 0; q < kGroups; ++q) {
        Float r, g, b;
        __builtin_memcpy(&r, t.cf[0] + W * q, sizeof r);
        __builtin_memcpy(&g, t.cf[1] + W * q, sizeof g);
        __builtin_memcpy(&b, t.cf[2] + W * q, sizeof b);
        const Float along = r * axis[0] + g * axis[1] + b * axis[2];
        keys[q] = (slot + W * q) < n ? along : Float{} + __builtin_inff();
        const Float own = kWeight[0] * r * r + kWeight[1] * g * g + kWeight[2] * b * b;
        __builtin_memcpy(square + W * q, &own, sizeof own);
    }
    alignas(32) float key[16];
    __builtin_memcpy(key, keys, sizeof key);
    // Each texel's place is the number of texels before it: j comes before i when its key is
    // less, or equal and j < i. Counted W texels i at a time against each texel j: the ones
    // below the W come before them at equal keys, the ones above after them, so only the W's
    // own need the index compared.
    for (int q = 0; q < kGroups; ++q) {
        const int low = W * q < n ? W * q : n, high = W * q + W < n ? W * q + W : n;
        Int before{};
        for (int j = 0; j < low; ++j)
            before -= key[j] <= keys[q];
        for (int j = low; j < high; ++j)
            before -= (key[j] < keys[q]) | ((key[j] == keys[q]) & (j < (slot + W * q)));
        for (int j = high; j < n; ++j)
            before -= key[j] < keys[q];
        __builtin_memcpy(place + W * q, &before, sizeof before);
    }
    for (int i = 0; i < n; ++i)
        order[place[i]] = static_cast<std::uint8_t>(i);
    // The running sums, all four in one pass (each the same chain of additions).
    float running[4] = {};
    for (int ch = 0; ch < 3; ++ch)
        prefix.sum[ch][0] = 0;
    prefix.squares[0] = 0;
    for (int j = 0; j < n; ++j) {
        const int i = order[j];
        for (int ch = 0; ch < 3; ++ch)
            prefix.sum[ch][j + 1] = running[ch] = running[ch] + t.cf[ch][i];
        prefix.squares[j + 1] = running[3] = running[3] + square[i];
    }
    for (int j = n + 1; j < 32; ++j) {
        for (int ch = 0; ch < 3; ++ch)
            prefix.sum[ch][j] = running[ch];
        prefix.squares[j] = running[3];
    }
}

}  // namespace dxt::kernels::detail
