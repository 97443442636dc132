#pragma once

// The fast setting, and the default setting's first stage, with one block per vector lane:
// the body that DxtFastBlocksSse41.cpp and
// DxtFastBlocksAvx2.cpp each compile for their own instruction set (they include it inside
// a target pragma, so everything below is built for that set and nothing else).
// Everything here has internal linkage and calls no library function (tables are reached
// through plain pointers), so no code built for a wider set can end up on a path that runs
// without it.
//
// Each step repeats the plain encoder's single-precision operations in its order, lane by
// lane (gather, principal axis, start along the axis, moments, the least-squares fields
// against the start's, the nearest palette colour), which keeps the output bit for bit
// that of the plain path. Integer sums that the plain path keeps as integers are summed
// here in floats where every partial sum is an integer below 2^24, hence exact.

#include "codecs/DxtKernels.h"
#include "codecs/DxtTables.h"

#include <cstddef>
#include <cstdint>

namespace dxt::kernels {
namespace {

template <int N>
struct Lanes;

template <>
struct Lanes<4> {
    using F = float __attribute__((vector_size(16)));
    using I = std::int32_t __attribute__((vector_size(16)));
    using H = std::int16_t __attribute__((vector_size(16)));  // the same bits as 16-bit halves
    using U = std::uint16_t __attribute__((vector_size(16)));  // the same, unsigned
    using B = std::uint8_t __attribute__((vector_size(16)));   // the same as bytes
};

template <>
struct Lanes<8> {
    using F = float __attribute__((vector_size(32)));
    using I = std::int32_t __attribute__((vector_size(32)));
    using H = std::int16_t __attribute__((vector_size(32)));
    using U = std::uint16_t __attribute__((vector_size(32)));
    using B = std::uint8_t __attribute__((vector_size(32)));
};

// Loads texel `i` of N blocks side by side into the lanes (a 4 x 4 or 8 x 4 transpose per
// row); defined per width by the file that includes this one, with laneBlock(l) the block
// that lane l holds.
template <int N>
void loadRows(const std::uint8_t* pixels, std::size_t stride, typename Lanes<N>::I px[16]);
template <int N>
int laneBlock(int lane);
// table[at] per lane; `at` must lie inside the table.
template <int N>
typename Lanes<N>::I lookup(const std::int32_t* table, typename Lanes<N>::I at);
template <int N>
typename Lanes<N>::I lookup(const std::uint32_t* table, typename Lanes<N>::I at);

// Whether any bit of any lane is set; defined per width.
template <int N>
bool anyLane(typename Lanes<N>::I v);

// Per lane, the palette words of a row-guarded table (kRowGuardedPalettes, rows of `row`
// words) around field pair at[lane] = a << Bits | b: words[i][j] is the word of fields
// a - 1 + i and b - 1 + j, zero or a neighbouring row's word where either lies outside the
// range. Each row is one run of four words per lane, the lane's place taken out of the
// vector once for all three rows; defined per width.
template <int N>
void squareWords(const std::uint32_t* rowGuarded, int row, typename Lanes<N>::I at, typename Lanes<N>::I words[3][3]);

// Per 32-bit lane, a's low 16 bits times b's plus a's high 16 bits times b's (signed 16-bit
// halves, an exact 32-bit sum); defined per width like the above.
template <int N>
typename Lanes<N>::I pairProducts(typename Lanes<N>::I a, typename Lanes<N>::I b);

// Bytes `First` and `First` + 1 of each lane's palette word (entries 0 and 1, or 2 and 3) in its
// low and high 16-bit halves: one byte shuffle.
template <int First, int N>
inline typename Lanes<N>::I entryPair(typename Lanes<N>::I word)
{
    using B = typename Lanes<N>::B;
    const B bytes = reinterpret_cast<B>(word), zero{};
    constexpr int a = First, b = First + 1;
    if constexpr (N == 4)
        return reinterpret_cast<typename Lanes<N>::I>(__builtin_shufflevector(
            bytes, zero, a, 16, b, 16, a + 4, 16, b + 4, 16, a + 8, 16, b + 8, 16, a + 12, 16, b + 12, 16));
    else
        return reinterpret_cast<typename Lanes<N>::I>(__builtin_shufflevector(
            bytes, zero, a, 32, b, 32, a + 4, 32, b + 4, 32, a + 8, 32, b + 8, 32, a + 12, 32, b + 12, 32, a + 16, 32,
            b + 16, 32, a + 20, 32, b + 20, 32, a + 24, 32, b + 24, 32, a + 28, 32, b + 28, 32));
}

template <int N>
struct LaneResult {
    typename Lanes<N>::I colours;  // c0 | c1 << 16
    typename Lanes<N>::I indices;  // texel i's index in bits 2i and 2i + 1
    typename Lanes<N>::I flat;     // all ones where the block is a single colour
};

template <int N>
inline typename Lanes<N>::F toFloat(typename Lanes<N>::I v)
{
    return __builtin_convertvector(v, typename Lanes<N>::F);
}

template <int N>
inline typename Lanes<N>::I truncated(typename Lanes<N>::F v)
{
    return __builtin_convertvector(v, typename Lanes<N>::I);
}

// The nearest field of each lane's 8-bit value (0 ... 255), 6 bits for green (`six`), else
// 5, by the tables' formula. The product and the sum stay below 2^16 (255 * 253 + 510 at
// most), so the multiply runs on the lanes' low 16-bit halves, the high ones being zero.
template <int N>
inline typename Lanes<N>::I nearestFieldOf(bool six, typename Lanes<N>::I v)
{
    using I = typename Lanes<N>::I;
    using Halves = typename Lanes<N>::U;
    const tables::NearestFieldFormula f = six ? tables::kNearestFieldFormula6 : tables::kNearestFieldFormula5;
    const I product = reinterpret_cast<I>(reinterpret_cast<Halves>(v) * static_cast<std::uint16_t>(f.multiplier));
    return (product + f.addend) >> f.shift;
}

// The plain encoder's quantiseField: round to 8 bits, clamped, then the nearest field. The
// value is clamped to 0 ... 255 before it is rounded (a NaN to 0), which rounds every value
// as clamping the rounded value would.
template <int N>
inline typename Lanes<N>::I nearestField(bool six, typename Lanes<N>::F value)
{
    using F = typename Lanes<N>::F;
    value = value > 0 ? value : F{};
    value = value < 255 ? value : F{} + 255;
    return nearestFieldOf<N>(six, truncated<N>(value + 0.5f));
}

// The palette word of a channel (expand(a), expand(b), mix(a, b), mix(b, a) in bytes 0 to 3)
// and the channel's error for the moments less the constant share:
// sum over k of p[k] (n[k] p[k] - 2 s[k]), in integers. Two entries to a word in 16-bit
// halves (n p is at most 16 * 255 and 2 s at most 2 * 16 * 255, so each half is exact), one
// multiply-add per two entries sums their terms in 32 bits.
template <int N>
inline typename Lanes<N>::I channelCost(typename Lanes<N>::I word, const typename Lanes<N>::I n[4],
                                        const typename Lanes<N>::I s[4])
{
    using I = typename Lanes<N>::I;
    using Half = typename Lanes<N>::H;
    I total{};
    for (int k = 0; k < 4; k += 2) {
        const I p = k == 0 ? entryPair<0, N>(word) : entryPair<2, N>(word);
        const Half counts = reinterpret_cast<Half>(n[k] | (n[k + 1] << 16));
        const Half twice = reinterpret_cast<Half>((2 * s[k]) | ((2 * s[k + 1]) << 16));
        total += pairProducts<N>(p, reinterpret_cast<I>(reinterpret_cast<Half>(p) * counts - twice));
    }
    return total;
}

// What every setting's start gives N blocks: the channels by plane as floats, each texel's
// channels in the two words the moments sum (blue and red, green and a count of one), the
// block sums, the start's endpoint fields and each texel's step along the axis (0 ... 3
// and above).
template <int N>
struct LaneStart {
    typename Lanes<N>::F cf[3][16];
    typename Lanes<N>::I blueRed[16], greenOne[16];
    typename Lanes<N>::I flat;  // all ones where the block is a single colour
    typename Lanes<N>::I sum[3];
    typename Lanes<N>::F products[6];
    typename Lanes<N>::I field[2][3];
    typename Lanes<N>::I step[16];
};

// The start's texel part: the channels, whether the block is a single colour, the sums.
template <int N>
inline void texelsLanes(const typename Lanes<N>::I px[16], LaneStart<N>& start)
{
    using F = typename Lanes<N>::F;
    using I = typename Lanes<N>::I;

    // Channels by plane (0 red, 1 green, 2 blue), as integers and floats; the integers are
    // needed only here.
    I c[3][16];
    auto& cf = start.cf;
    I differs{};
    for (int i = 0; i < 16; ++i) {
        c[0][i] = (px[i] >> 16) & 0xFF;
        c[1][i] = (px[i] >> 8) & 0xFF;
        c[2][i] = px[i] & 0xFF;
        start.blueRed[i] = px[i] & 0xFF00FF;
        start.greenOne[i] = c[1][i] | 0x10000;
        differs |= px[i] ^ px[0];
        for (int ch = 0; ch < 3; ++ch)
            cf[ch][i] = toFloat<N>(c[ch][i]);
    }
    start.flat = (differs & 0xFFFFFF) == 0;

    // The channel sums and the sums of the channel products.
    auto& sum = start.sum;
    auto& products = start.products;
    for (int ch = 0; ch < 3; ++ch)
        sum[ch] = I{};
    for (int p = 0; p < 6; ++p)
        products[p] = F{};
    for (int i = 0; i < 16; ++i) {
        for (int ch = 0; ch < 3; ++ch)
            sum[ch] += c[ch][i];
        products[0] += cf[0][i] * cf[0][i];
        products[1] += cf[0][i] * cf[1][i];
        products[2] += cf[0][i] * cf[2][i];
        products[3] += cf[1][i] * cf[1][i];
        products[4] += cf[1][i] * cf[2][i];
        products[5] += cf[2][i] * cf[2][i];
    }
}

template <int N>
inline void startLanes(const typename Lanes<N>::I px[16], LaneStart<N>& start)
{
    using F = typename Lanes<N>::F;
    using I = typename Lanes<N>::I;
    texelsLanes<N>(px, start);
    const auto& cf = start.cf;
    const auto& sum = start.sum;
    const auto& products = start.products;

    // The principal axis: the weighted covariance, then power iteration on its square.
    const float* const scale = kAxisScale;
    const float inverseCount = 1.0f / 16.0f;
    F sumF[3];
    for (int ch = 0; ch < 3; ++ch)
        sumF[ch] = toFloat<N>(sum[ch]);
    F cov[3][3];
    int p = 0;
    for (int r = 0; r < 3; ++r)
        for (int col = r; col < 3; ++col) {
            const F centred = products[p++] - sumF[r] * sumF[col] * inverseCount;
            cov[r][col] = cov[col][r] = centred * scale[r] * scale[col];
        }
    const F trace = cov[0][0] + cov[1][1] + cov[2][2];
    const F norm = trace > 0 ? 1.0f / trace : F{};
    F sq[3][3];
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 3; ++col)
            sq[r][col] = (cov[r][0] * cov[0][col] + cov[r][1] * cov[1][col] + cov[r][2] * cov[2][col]) * norm * norm;
    const I fromGreen = cov[1][1] > cov[0][0];
    const F largest = fromGreen ? cov[1][1] : cov[0][0];
    const I fromBlue = cov[2][2] > largest;
    F v[3];
    for (int col = 0; col < 3; ++col)
        v[col] = (fromBlue ? cov[2][col] : fromGreen ? cov[1][col] : cov[0][col]) * norm;
    for (int it = 0; it < 4; ++it) {
        F w[3];
        for (int r = 0; r < 3; ++r)
            w[r] = sq[r][0] * v[0] + sq[r][1] * v[1] + sq[r][2] * v[2];
        for (int r = 0; r < 3; ++r)
            v[r] = w[r];
    }
    const F axis[3] = {v[0] * scale[0], v[1] * scale[1], v[2] * scale[2]};

    // The start: endpoints at the extremes along the axis, indices in four equal steps.
    F dot[16];
    for (int i = 0; i < 16; ++i)
        dot[i] = cf[0][i] * axis[0] + cf[1][i] * axis[1] + cf[2][i] * axis[2];
    // The first of equally low (high) texels, kept as its whole texel word.
    F minDot = dot[0], maxDot = dot[0];
    I low = px[0], high = px[0];
    for (int i = 1; i < 16; ++i) {
        const I below = dot[i] < minDot, above = dot[i] > maxDot;
        minDot = below ? dot[i] : minDot;
        maxDot = above ? dot[i] : maxDot;
        low = below ? px[i] : low;
        high = above ? px[i] : high;
    }
    constexpr int shift[3] = {16, 8, 0};
    auto& field = start.field;
    for (int ch = 0; ch < 3; ++ch) {
        field[0][ch] = nearestFieldOf<N>(ch == 1, (high >> shift[ch]) & 0xFF);
        field[1][ch] = nearestFieldOf<N>(ch == 1, (low >> shift[ch]) & 0xFF);
    }
    const F stepScale = maxDot > minDot ? 3.0f / (maxDot - minDot) : F{};
    for (int i = 0; i < 16; ++i)
        start.step[i] = truncated<N>((dot[i] - minDot) * stepScale + 0.5f);
}

// The nearest palette colour of every texel (the lowest index among equals) as packed
// indices, and the block's error summed as the plain assign kernel sums it.
template <int N>
inline typename Lanes<N>::I assignLanes(const LaneStart<N>& start, const typename Lanes<N>::I word[3],
                                        typename Lanes<N>::F& error)
{
    using F = typename Lanes<N>::F;
    using I = typename Lanes<N>::I;
    F palette[4][3];
    for (int k = 0; k < 4; ++k)
        for (int ch = 0; ch < 3; ++ch)
            palette[k][ch] = toFloat<N>((word[ch] >> (8 * k)) & 0xFF);
    I indices{};
    F best[16];
    for (int i = 0; i < 16; ++i) {
        F lowest{};
        I chosen{};
        for (int k = 0; k < 4; ++k) {
            const F dr = palette[k][0] - start.cf[0][i], dg = palette[k][1] - start.cf[1][i], db = palette[k][2] - start.cf[2][i];
            const F err = kWeight[0] * dr * dr + kWeight[1] * dg * dg + kWeight[2] * db * db;
            if (k == 0) {
                lowest = err;
                continue;
            }
            const I better = err < lowest;
            lowest = better ? err : lowest;
            chosen = better ? I{} + k : chosen;
        }
        best[i] = lowest;
        indices |= chosen << (2 * i);
    }
    F s8[8], s4[4];
    for (int i = 0; i < 8; ++i)
        s8[i] = best[i] + best[i + 8];
    for (int i = 0; i < 4; ++i)
        s4[i] = s8[i] + s8[i + 4];
    error = (s4[0] + s4[2]) + (s4[1] + s4[3]);
    return indices;
}

template <int N>
inline LaneResult<N> encodeLanes(const typename Lanes<N>::I px[16])
{
    using F = typename Lanes<N>::F;
    using I = typename Lanes<N>::I;
    LaneStart<N> start;
    startLanes<N>(px, start);
    const auto& sum = start.sum;
    auto& field = start.field;
    LaneResult<N> result;
    result.flat = start.flat;

    // The moments of the start's indices: per palette entry k, how many texels use it and
    // the sums of their channels. Step 0 is index 1, then indices 3, 2 and 0. Two sums
    // share a word (none exceeds 16 * 255): blue and red, green and the count; entry 3
    // has what the others leave of the block's sums.
    I blueRed[3] = {}, greenCount[3] = {};
    for (int i = 0; i < 16; ++i) {
        const I step = start.step[i];
        const I on[3] = {step >= 3, step == 0, step == 2};
        const I br = start.blueRed[i], gn = start.greenOne[i];
        for (int k = 0; k < 3; ++k) {
            blueRed[k] += br & on[k];
            greenCount[k] += gn & on[k];
        }
    }
    I n[4], s[3][4];
    for (int k = 0; k < 3; ++k) {
        n[k] = greenCount[k] >> 16;
        s[0][k] = blueRed[k] >> 16;
        s[1][k] = greenCount[k] & 0xFFFF;
        s[2][k] = blueRed[k] & 0xFFFF;
    }
    n[3] = 16 - n[0] - n[1] - n[2];
    for (int ch = 0; ch < 3; ++ch)
        s[ch][3] = sum[ch] - s[ch][0] - s[ch][1] - s[ch][2];
    constexpr float hi = 0.66f, lo = 0.33f;
    const F c2 = toFloat<N>(n[2]), c3 = toFloat<N>(n[3]);
    const F m11 = toFloat<N>(n[0]) + hi * hi * c2 + lo * lo * c3;
    const F m12 = hi * lo * (c2 + c3);
    const F m22 = toFloat<N>(n[1]) + lo * lo * c2 + hi * hi * c3;
    const F det = m11 * m22 - m12 * m12;
    const I solvable = det >= 1e-3f;
    const F inv = solvable ? 1.0f / det : F{};
    const F i11 = m22 * inv, i12 = -m12 * inv, i22 = m11 * inv;

    // Per channel, the least-squares fields replace the start's when their error is lower.
    const std::uint32_t* const palettes[3] = {tables::kChannelPalettes5Data, tables::kChannelPalettes6Data,
                                              tables::kChannelPalettes5Data};
    constexpr int bits[3] = {5, 6, 5};
    I word[3];
    for (int ch = 0; ch < 3; ++ch) {
        const I current = lookup<N>(palettes[ch], (field[0][ch] << bits[ch]) | field[1][ch]);
        const F t2 = toFloat<N>(s[ch][2]) + 0.5f * toFloat<N>(n[2]);
        const F t3 = toFloat<N>(s[ch][3]) + 0.5f * toFloat<N>(n[3]);
        const F r1 = toFloat<N>(s[ch][0]) + hi * t2 + lo * t3;
        const F r2 = toFloat<N>(s[ch][1]) + lo * t2 + hi * t3;
        const F a = i11 * r1 + i12 * r2;
        const F b = i12 * r1 + i22 * r2;
        const I fitA = solvable ? nearestField<N>(ch == 1, a) : field[0][ch];
        const I fitB = solvable ? nearestField<N>(ch == 1, b) : field[1][ch];
        const I fitted = lookup<N>(palettes[ch], (fitA << bits[ch]) | fitB);
        const I better = channelCost<N>(fitted, n, s[ch]) < channelCost<N>(current, n, s[ch]);
        field[0][ch] = better ? fitA : field[0][ch];
        field[1][ch] = better ? fitB : field[1][ch];
        word[ch] = better ? fitted : current;
    }

    // The nearest palette colour for every texel, the lowest index among equals (the error
    // that comes with it is not needed here).
    F unusedError;
    const I indices = assignLanes<N>(start, word, unusedError);

    // The larger colour first; the game reads the swapped block the same way.
    const I c0 = (field[0][0] << 11) | (field[0][1] << 5) | field[0][2];
    const I c1 = (field[1][0] << 11) | (field[1][1] << 5) | field[1][2];
    const I swap = c0 < c1;
    result.colours = swap ? (c1 | (c0 << 16)) : (c0 | (c1 << 16));
    result.indices = indices ^ (swap & 0x55555555);
    return result;
}

// Loads the N blocks from `first` on into the lanes and returns how many of them the row
// has; a batch that the row ends inside is read from `padded`, filled up with copies of the
// row's last block.
template <int N>
inline int loadBatch(const std::uint8_t* pixels, std::size_t stride, int count, int first,
                      std::uint8_t (&padded)[4][16 * N], typename Lanes<N>::I px[16])
{
    const int here = count - first < N ? count - first : N;
    const std::uint8_t* src = pixels + 16 * static_cast<std::size_t>(first);
    std::size_t srcStride = stride;
    if (here < N) {
        for (int y = 0; y < 4; ++y)
            for (int b = 0; b < N; ++b)
                __builtin_memcpy(padded[y] + 16 * b, src + y * stride + 16 * (b < here ? b : here - 1), 16);
        src = padded[0];
        srcStride = sizeof padded[0];
    }
    loadRows<N>(src, srcStride, px);
    return here;
}

// The whole row: N blocks at a time, the last few from a copy padded with the last block.
// Blocks of a single colour take the plain encoder's answer for them.
template <int N>
inline void fastBlocksLanes(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out,
                            std::size_t outStride)
{
    using I = typename Lanes<N>::I;
    alignas(32) std::uint8_t padded[4][16 * N];
    for (int first = 0; first < count; first += N) {
        I px[16];
        const int here = loadBatch<N>(pixels, stride, count, first, padded, px);
        const LaneResult<N> r = encodeLanes<N>(px);
        for (int lane = 0; lane < N; ++lane) {
            const int b = laneBlock<N>(lane);
            if (b >= here)
                continue;
            std::uint8_t* dst = out + static_cast<std::size_t>(first + b) * outStride;
            if (r.flat[lane]) {
                const std::uint8_t* texel = pixels + 16 * static_cast<std::size_t>(first + b);
                encodeSingleColourBlock(texel[2], texel[1], texel[0], dst);
                continue;
            }
            // Little-endian, as every machine with these vector units is.
            const std::uint64_t block = static_cast<std::uint32_t>(r.colours[lane]) |
                                        static_cast<std::uint64_t>(static_cast<std::uint32_t>(r.indices[lane])) << 32;
            __builtin_memcpy(dst, &block, 8);
        }
    }
}

}  // namespace
}  // namespace dxt::kernels

// ---- The default setting's first stage, one block per lane ---------------------------------

namespace dxt::kernels {
namespace {

template <int N>
struct LaneMoments {
    typename Lanes<N>::I n[4], s[3][4];
    typename Lanes<N>::I solvable;
    typename Lanes<N>::F i11, i12, i22;
};

// The inverse of the normal equations from the counts, as the plain encoder's invertNormals.
template <int N>
inline void invertNormalsLanes(LaneMoments<N>& m)
{
    using F = typename Lanes<N>::F;
    constexpr float hi = 0.66f, lo = 0.33f;
    const F c2 = toFloat<N>(m.n[2]), c3 = toFloat<N>(m.n[3]);
    const F m11 = toFloat<N>(m.n[0]) + hi * hi * c2 + lo * lo * c3;
    const F m12 = hi * lo * (c2 + c3);
    const F m22 = toFloat<N>(m.n[1]) + lo * lo * c2 + hi * hi * c3;
    const F det = m11 * m22 - m12 * m12;
    m.solvable = det >= 1e-3f;
    const F inv = m.solvable ? 1.0f / det : F{};
    m.i11 = m22 * inv;
    m.i12 = -m12 * inv;
    m.i22 = m11 * inv;
}

// The moments of the indices (texel i's in bits 2i and 2i + 1) as the plain encoder's
// entrySums and invertNormals give them; two sums share a word as in the start.
template <int N>
inline void momentsLanes(const LaneStart<N>& start, typename Lanes<N>::I indices,
                         LaneMoments<N>& m)
{
    using I = typename Lanes<N>::I;
    I blueRed[3] = {}, greenCount[3] = {};
    for (int i = 0; i < 16; ++i) {
        const I index = (indices >> (2 * i)) & 3;
        const I br = start.blueRed[i], gn = start.greenOne[i];
        for (int k = 0; k < 3; ++k) {
            const I on = index == k;
            blueRed[k] += br & on;
            greenCount[k] += gn & on;
        }
    }
    for (int k = 0; k < 3; ++k) {
        m.n[k] = greenCount[k] >> 16;
        m.s[0][k] = blueRed[k] >> 16;
        m.s[1][k] = greenCount[k] & 0xFFFF;
        m.s[2][k] = blueRed[k] & 0xFFFF;
    }
    m.n[3] = 16 - m.n[0] - m.n[1] - m.n[2];
    for (int ch = 0; ch < 3; ++ch)
        m.s[ch][3] = start.sum[ch] - m.s[ch][0] - m.s[ch][1] - m.s[ch][2];
    invertNormalsLanes<N>(m);
}

// A field pair of the endpoint search with its score and palette word.
template <int N>
struct ScoredPair {
    typename Lanes<N>::I cost, a, b, word;
};

// Of two pairs, `then` where it scores strictly less, else `first`.
template <int N>
inline ScoredPair<N> firstLeast(const ScoredPair<N>& first, const ScoredPair<N>& then)
{
    const typename Lanes<N>::I later = then.cost < first.cost;
    return {later ? then.cost : first.cost, later ? then.a : first.a, later ? then.b : first.b, later ? then.word : first.word};
}

// One channel's endpoint search: the 3 x 3 field pairs around the rounded least-squares
// fields (those inside the field range; the present fields when the indices leave the
// endpoints free), scored with the score of the present fields (palette word `word`).
template <int N>
struct LaneSquare {
    typename Lanes<N>::I present, centreA, centreB, centreCost;
    ScoredPair<N> least;  // the first pair of the least score
};

template <int N, int Ch>
inline LaneSquare<N> squareLanes(const LaneMoments<N>& m, typename Lanes<N>::I fieldA, typename Lanes<N>::I fieldB,
                                 typename Lanes<N>::I word)
{
    using F = typename Lanes<N>::F;
    using I = typename Lanes<N>::I;
    const std::uint32_t* const rowGuarded = Ch == 1 ? tables::kRowGuardedPalettes6Data : tables::kRowGuardedPalettes5Data;
    constexpr int bits = Ch == 1 ? 6 : 5;
    constexpr int top = (1 << bits) - 1;
    constexpr float hi = 0.66f, lo = 0.33f;
    LaneSquare<N> out;
    const F t2 = toFloat<N>(m.s[Ch][2]) + 0.5f * toFloat<N>(m.n[2]);
    const F t3 = toFloat<N>(m.s[Ch][3]) + 0.5f * toFloat<N>(m.n[3]);
    const F r1 = toFloat<N>(m.s[Ch][0]) + hi * t2 + lo * t3;
    const F r2 = toFloat<N>(m.s[Ch][1]) + lo * t2 + hi * t3;
    const F a = m.i11 * r1 + m.i12 * r2;
    const F b = m.i12 * r1 + m.i22 * r2;
    const I centreA = m.solvable ? nearestField<N>(Ch == 1, a) : fieldA;
    const I centreB = m.solvable ? nearestField<N>(Ch == 1, b) : fieldB;
    out.centreA = centreA;
    out.centreB = centreB;
    out.present = channelCost<N>(word, m.n, m.s[Ch]);
    // A row of the square is three neighbouring words of the table; rows outside the range
    // read the table's guard, and pairs outside it are never taken (whatever word stands
    // there). Entry 0's term depends on field a alone and entry 1's on field b: each is
    // scored once, from the centre's column and row, which always exist.
    I fa[3], fb[3], insideA[3], insideB[3], w[3][3];
    // The centre lies inside the range: only a neighbour can lie outside.
    for (int i = 0; i < 3; ++i) {
        fa[i] = centreA - 1 + i;
        fb[i] = centreB - 1 + i;
    }
    insideA[0] = centreA > 0;
    insideB[0] = centreB > 0;
    insideA[1] = insideB[1] = I{} - 1;
    insideA[2] = centreA < top;
    insideB[2] = centreB < top;
    squareWords<N>(rowGuarded, 1 << bits, (centreA << bits) | centreB, w);
    // Every term p (n p - 2 s) in 16-bit halves: n p is at most 16 * 255 and 2 s at most
    // 2 * 16 * 255, so n p - 2 s is exact in a half, and a multiply-add of p (high half
    // zero) by it gives the term in 32 bits.
    using Half = typename Lanes<N>::H;
    I termA[3], termB[3];
    const Half n0 = reinterpret_cast<Half>(m.n[0]), n1 = reinterpret_cast<Half>(m.n[1]);
    for (int i = 0; i < 3; ++i) {
        const I p0 = w[i][1] & 0xFF, p1 = (w[1][i] >> 8) & 0xFF;
        termA[i] = pairProducts<N>(p0, reinterpret_cast<I>(reinterpret_cast<Half>(p0) * n0) - 2 * m.s[Ch][0]);
        termB[i] = pairProducts<N>(p1, reinterpret_cast<I>(reinterpret_cast<Half>(p1) * n1) - 2 * m.s[Ch][1]);
    }
    // The interpolated entries' terms the same way, two to a word (entry 2 low, entry 3
    // high): one multiply-add per pair sums both in 32 bits.
    const Half counts = reinterpret_cast<Half>(m.n[2] | (m.n[3] << 16));
    const Half twice = reinterpret_cast<Half>((2 * m.s[Ch][2]) | ((2 * m.s[Ch][3]) << 16));
    // The nine pairs scored side by side (pairs outside the range at a score none can
    // have, the centre being inside), then the first of the least found by a tree in
    // which the earlier of two equal scores wins: the same pair as a scan in order, with
    // a shorter chain of dependent steps.
    using Pair = ScoredPair<N>;
    Pair pair[9];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const I p = entryPair<2, N>(w[i][j]);
            const I inner = reinterpret_cast<I>(reinterpret_cast<Half>(p) * counts - twice);
            const I cost = termA[i] + termB[j] + pairProducts<N>(p, inner);
            pair[3 * i + j] = {(insideA[i] & insideB[j]) ? cost : I{} + 0x7FFFFFFF, fa[i], fb[j], w[i][j]};
        }
    out.centreCost = pair[4].cost;
    const auto earlier = firstLeast<N>;
    out.least = earlier(earlier(earlier(earlier(pair[0], pair[1]), earlier(pair[2], pair[3])),
                                earlier(earlier(pair[4], pair[5]), earlier(pair[6], pair[7]))),
                        pair[8]);
    return out;
}

// The endpoint search of every channel, the first pair of the least score taken when it
// scores below the present fields. `word` holds each channel's palette word of `field`.
template <int N, int Ch>
inline void solveSquareLanes(const LaneMoments<N>& m, typename Lanes<N>::I field[2][3], typename Lanes<N>::I word[3])
{
    const LaneSquare<N> square = squareLanes<N, Ch>(m, field[0][Ch], field[1][Ch], word[Ch]);
    const typename Lanes<N>::I take = square.least.cost < square.present;
    field[0][Ch] = take ? square.least.a : field[0][Ch];
    field[1][Ch] = take ? square.least.b : field[1][Ch];
    word[Ch] = take ? square.least.word : word[Ch];
}

// (Flattened: the searches are the bulk of the work, and a call per channel costs more
// than the larger body.)
template <int N>
[[gnu::flatten]] inline void solveSquaresLanes(const LaneMoments<N>& m, typename Lanes<N>::I field[2][3], typename Lanes<N>::I word[3])
{
    solveSquareLanes<N, 0>(m, field, word);
    solveSquareLanes<N, 1>(m, field, word);
    solveSquareLanes<N, 2>(m, field, word);
}

template <int N>
struct DefaultLanes {
    LaneStart<N> start;  // its fields are the endpoints found so far
    typename Lanes<N>::I word[3];  // each channel's palette word of those fields
    typename Lanes<N>::I indices;
    typename Lanes<N>::F error;
    LaneMoments<N> moments;  // of the indices, unless the lane is active
    typename Lanes<N>::I active;  // all ones where the refinement goes on
    // All ones where the block is done: its indices use all four palette entries or only
    // one (no other placement to try) and it is not busy enough for the cluster search.
    typename Lanes<N>::I done;
    typename Lanes<N>::I colours;  // c0 | c1 << 16, the larger colour first
    typename Lanes<N>::I written;  // the indices as written with those colours
};

// The refinement rounds `from` up to `to` (of four at most) while any lane is active, each
// lane stopping where the plain encoder's refinement stops: endpoints unchanged, error not
// lower, or indices unchanged.
template <int N>
inline void refineLanes(DefaultLanes<N>& d, int from, int to)
{
    using F = typename Lanes<N>::F;
    using I = typename Lanes<N>::I;
    auto& field = d.start.field;
    auto& word = d.word;
    LaneMoments<N>& m = d.moments;
    I active = d.active;
    for (int round = from; round < to && anyLane<N>(active); ++round) {
        momentsLanes<N>(d.start, d.indices, m);
        I nextField[2][3], nextWord[3];
        for (int ch = 0; ch < 3; ++ch) {
            nextField[0][ch] = field[0][ch];
            nextField[1][ch] = field[1][ch];
            nextWord[ch] = word[ch];
        }
        solveSquaresLanes<N>(m, nextField, nextWord);
        I changed{};
        for (int ch = 0; ch < 3; ++ch)
            changed |= (nextField[0][ch] != field[0][ch]) | (nextField[1][ch] != field[1][ch]);
        // Unchanged endpoints would choose the same indices: those lanes are done, and when
        // all are, the index choice is not run.
        active &= changed;
        if (!anyLane<N>(active))
            break;
        F nextError;
        const I nextIndices = assignLanes<N>(d.start, nextWord, nextError);
        const I take = active & (nextError < d.error);
        for (int ch = 0; ch < 3; ++ch) {
            field[0][ch] = take ? nextField[0][ch] : field[0][ch];
            field[1][ch] = take ? nextField[1][ch] : field[1][ch];
            word[ch] = take ? nextWord[ch] : word[ch];
        }
        active = take & (nextIndices != d.indices);
        d.indices = take ? nextIndices : d.indices;
        d.error = take ? nextError : d.error;
    }
    d.active = active;
}

// The start, the first endpoint search and index choice, then the first refinement round.
template <int N>
inline void defaultStartLanes(const typename Lanes<N>::I px[16], DefaultLanes<N>& d)
{
    using I = typename Lanes<N>::I;
    startLanes<N>(px, d.start);
    auto& field = d.start.field;
    // Step 0 is index 1, then indices 3, 2 and 0.
    I startIndices{};
    for (int i = 0; i < 16; ++i) {
        const I step = d.start.step[i];
        const I index = step == 0 ? I{} + 1 : step == 1 ? I{} + 3 : step == 2 ? I{} + 2 : I{};
        startIndices |= index << (2 * i);
    }
    const std::uint32_t* const palettes[3] = {tables::kChannelPalettes5Data, tables::kChannelPalettes6Data,
                                              tables::kChannelPalettes5Data};
    constexpr int bits[3] = {5, 6, 5};
    for (int ch = 0; ch < 3; ++ch)
        d.word[ch] = lookup<N>(palettes[ch], (field[0][ch] << bits[ch]) | field[1][ch]);
    // The moments of the start's indices, then of each round's; they are the moments of
    // the indices kept unless the last round took new ones.
    momentsLanes<N>(d.start, startIndices, d.moments);
    solveSquaresLanes<N>(d.moments, field, d.word);
    d.indices = assignLanes<N>(d.start, d.word, d.error);
    d.active = d.indices != startIndices;
    refineLanes<N>(d, 0, 1);
}

// After the last round: the moments of the indices kept, the palette entries they use, and
// the block as written where it is done.
template <int N>
inline void endLanes(DefaultLanes<N>& d)
{
    using I = typename Lanes<N>::I;
    const auto& field = d.start.field;
    // Each round starts from the moments of the indices kept, and a round that keeps new
    // indices leaves its lanes active: only when the last round ends so are the moments not
    // those of the indices kept.
    if (anyLane<N>(d.active))
        momentsLanes<N>(d.start, d.indices, d.moments);
    I levels{};
    for (int k = 0; k < 4; ++k)
        levels -= d.moments.n[k] > 0;
    // The busy test of the rest, for 16 texels.
    const I busy = d.error > 30.0f * 16.0f;
    d.done = ((levels < 2) | (levels == 4)) & ~busy;
    const I c0 = (field[0][0] << 11) | (field[0][1] << 5) | field[0][2];
    const I c1 = (field[1][0] << 11) | (field[1][1] << 5) | field[1][2];
    const I swap = c0 < c1;
    d.colours = swap ? (c1 | (c0 << 16)) : (c0 | (c1 << 16));
    d.written = d.indices ^ (swap & 0x55555555);
}

// Packed indices (texel i's in bits 2i and 2i + 1) one to a byte: each half's eight fields
// are spread apart in three steps of shifts and masks.
inline void unpackIndices(std::uint32_t indices, std::uint8_t index[16])
{
    for (int half = 0; half < 2; ++half) {
        std::uint64_t y = (indices >> (16 * half)) & 0xFFFF;
        y = (y | (y << 24)) & 0x000000FF000000FFull;
        y = (y | (y << 12)) & 0x000F000F000F000Full;
        y = (y | (y << 6)) & 0x0303030303030303ull;
        __builtin_memcpy(index + 8 * half, &y, 8);
    }
}

// A listed placement of a block waiting for its screen and endpoint search.
struct PlacementJob {
    const DefaultStart* start;
    const PlacementSquares* block;
    PlacementSquare* square;
};

// The least-squares fit error of the moments plus `squares`, as the plain encoder's
// fitError sums it (infinite where the moments leave an endpoint free).
template <int N>
inline typename Lanes<N>::F fitErrorLanes(const LaneMoments<N>& m, typename Lanes<N>::F squares)
{
    using F = typename Lanes<N>::F;
    constexpr float hi = 0.66f, lo = 0.33f;
    F total = squares + 0.25f * toFloat<N>(m.n[2] + m.n[3]);
    const F half2 = 0.5f * toFloat<N>(m.n[2]), half3 = 0.5f * toFloat<N>(m.n[3]);
    for (int ch = 0; ch < 3; ++ch) {
        const F s0 = toFloat<N>(m.s[ch][0]), s1 = toFloat<N>(m.s[ch][1]);
        const F s2 = toFloat<N>(m.s[ch][2]), s3 = toFloat<N>(m.s[ch][3]);
        const F t2 = s2 + half2, t3 = s3 + half3;
        const F r1 = s0 + hi * t2 + lo * t3;
        const F r2 = s1 + lo * t2 + hi * t3;
        total += kWeight[ch] * ((s2 + s3) - (r1 * (r1 * m.i11 + 2.0f * r2 * m.i12) + r2 * r2 * m.i22));
    }
    return m.solvable ? total : F{} + __builtin_inff();
}

// The screens and endpoint searches of `count` (1 ... N) listed placements side by side, one
// to a lane (the last lanes repeating the first job), their gates and fields filled into
// their entries as the plain encoder's screens and endpoint search make them.
template <int N>
[[gnu::flatten]] inline void placementSquaresLanes(const PlacementJob* jobs, int count)
{
    using F = typename Lanes<N>::F;
    using I = typename Lanes<N>::I;
    // The moved moments are summed straight into the vectors, cleared by vector stores: the
    // zero is hidden from the compiler, which would otherwise clear them with a string store
    // whose start-up costs more than the few hundred bytes it fills.
    LaneMoments<N> m;
    I zero{};
    asm("" : "+x"(zero));
    for (int k = 0; k < 4; ++k) {
        m.n[k] = zero;
        for (int ch = 0; ch < 3; ++ch)
            m.s[ch][k] = zero;
    }
    alignas(32) std::int32_t fieldA[3][N], fieldB[3][N], word[3][N];
    alignas(32) float squares[N];
    for (int lane = 0; lane < N; ++lane) {
        const PlacementJob& job = jobs[lane < count ? lane : 0];
        const DefaultStart& start = *job.start;
        // The start's moments moved to the placement's entries.
        for (int k = 0; k < 4; ++k) {
            const int to = job.square->remap[k];
            m.n[to][lane] += start.count[k];
            for (int ch = 0; ch < 3; ++ch)
                m.s[ch][to][lane] += start.entrySum[ch][k];
        }
        squares[lane] = job.block->squares;
        for (int ch = 0; ch < 3; ++ch) {
            const int a = start.field[0][ch], b = start.field[1][ch];
            fieldA[ch][lane] = a;
            fieldB[ch][lane] = b;
            word[ch][lane] = static_cast<std::int32_t>(ch == 1 ? tables::kChannelPalettes6Data[(a << 6) | b]
                                                                : tables::kChannelPalettes5Data[(a << 5) | b]);
        }
    }
    invertNormalsLanes<N>(m);
    F own;
    __builtin_memcpy(&own, squares, sizeof own);
    const F fit = fitErrorLanes<N>(m, own);
    I a[3], b[3], w[3];
    for (int ch = 0; ch < 3; ++ch) {
        __builtin_memcpy(&a[ch], fieldA[ch], sizeof(I));
        __builtin_memcpy(&b[ch], fieldB[ch], sizeof(I));
        __builtin_memcpy(&w[ch], word[ch], sizeof(I));
    }
    const LaneSquare<N> square[3] = {squareLanes<N, 0>(m, a[0], b[0], w[0]), squareLanes<N, 1>(m, a[1], b[1], w[1]),
                                     squareLanes<N, 2>(m, a[2], b[2], w[2])};
    // Per channel, the centre's fields where they score below the present ones, then the
    // square's least where it scores below those; the screen takes the error after the
    // first step.
    I fieldsA[3], fieldsB[3];
    F scored = own;
    for (int ch = 0; ch < 3; ++ch) {
        const LaneSquare<N>& q = square[ch];
        const I toCentre = q.centreCost < q.present;
        const I score = toCentre ? q.centreCost : q.present;
        scored = scored + kWeight[ch] * toFloat<N>(score);
        const I toLeast = q.least.cost < score;
        fieldsA[ch] = toLeast ? q.least.a : toCentre ? q.centreA : a[ch];
        fieldsB[ch] = toLeast ? q.least.b : toCentre ? q.centreB : b[ch];
    }
    const F keptFit = kPlacementKeep * fit, keptScored = kPlacementKeep * scored;
    const F gate = keptFit > keptScored ? keptFit : keptScored;
    for (int lane = 0; lane < count; ++lane) {
        PlacementSquare& e = *jobs[lane].square;
        e.gate = gate[lane];
        for (int ch = 0; ch < 3; ++ch) {
            e.field[0][ch] = static_cast<std::uint8_t>(fieldsA[ch][lane]);
            e.field[1][ch] = static_cast<std::uint8_t>(fieldsB[ch][lane]);
        }
    }
}

// Blocks whose refinement goes on, gathered from several batches to be refined side by side
// once a vector's worth is there: a round costs all lanes as much as one, and only some
// lanes of a batch go on. Their texels are laid out as a batch's (slot s holds the block
// that lane laneOf[s] loads), their state by lane.
template <int N>
struct HeldLanes {
    alignas(32) std::uint8_t texels[4][16 * N];
    alignas(32) std::int32_t field[2][3][N], word[3][N], indices[N];
    alignas(32) float error[N];
    std::uint8_t* dst[N];
    int held = 0;

    // Holds lane `lane` of `d`, a block with texels at `block` (rows `stride` apart) and its
    // output at `to`; there must be a free slot.
    void add(const int laneOf[N], const DefaultLanes<N>& d, int lane, const std::uint8_t* block, std::size_t stride,
             std::uint8_t* to)
    {
        const int slot = held++, at = laneOf[slot];
        for (int y = 0; y < 4; ++y)
            __builtin_memcpy(texels[y] + 16 * slot, block + y * stride, 16);
        for (int e = 0; e < 2; ++e)
            for (int ch = 0; ch < 3; ++ch)
                field[e][ch][at] = d.start.field[e][ch][lane];
        for (int ch = 0; ch < 3; ++ch)
            word[ch][at] = d.word[ch][lane];
        indices[at] = d.indices[lane];
        error[at] = d.error[lane];
        dst[slot] = to;
    }

    // The held blocks in the lanes as they were, all active (free slots repeat the first).
    void load(const int laneOf[N], DefaultLanes<N>& d)
    {
        using I = typename Lanes<N>::I;
        for (int slot = held; slot < N; ++slot) {
            for (int y = 0; y < 4; ++y)
                __builtin_memcpy(texels[y] + 16 * slot, texels[y], 16);
            const int at = laneOf[slot], from = laneOf[0];
            for (int e = 0; e < 2; ++e)
                for (int ch = 0; ch < 3; ++ch)
                    field[e][ch][at] = field[e][ch][from];
            for (int ch = 0; ch < 3; ++ch)
                word[ch][at] = word[ch][from];
            indices[at] = indices[from];
            error[at] = error[from];
        }
        I px[16];
        loadRows<N>(texels[0], sizeof texels[0], px);
        texelsLanes<N>(px, d.start);
        for (int e = 0; e < 2; ++e)
            for (int ch = 0; ch < 3; ++ch)
                __builtin_memcpy(&d.start.field[e][ch], field[e][ch], sizeof(I));
        for (int ch = 0; ch < 3; ++ch)
            __builtin_memcpy(&d.word[ch], word[ch], sizeof(I));
        __builtin_memcpy(&d.indices, indices, sizeof(I));
        __builtin_memcpy(&d.error, error, sizeof d.error);
        d.active = I{} - 1;
    }
};

// The whole row, N blocks at a time as fastBlocksLanes takes them; each block that is not a
// single colour and not done goes on to the per-block rest of the default setting with its
// state.
template <int N>
inline void defaultBlocksLanes(Isa isa, const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out,
                               std::size_t outStride)
{
    using I = typename Lanes<N>::I;
    alignas(32) std::uint8_t padded[4][16 * N];
    // The blocks that go on alone, gathered over several batches, and their placements
    // listed for the lanes: a vector's worth of placements is searched as soon as it is
    // there, and the blocks are finished when the store is full and at the row's end.
    struct Pending {
        DefaultStart state;
        PlacementSquares squares;
        std::uint8_t block[64];
        std::uint8_t* dst;
    };
    constexpr int kHeld = 4 * N;
    Pending pending[kHeld];
    PlacementJob queue[5 * kHeld];
    int waiting = 0, entries = 0, searched = 0;
    const auto finishAll = [&] {
        for (; searched < entries; searched += N)
            placementSquaresLanes<N>(queue + searched, entries - searched < N ? entries - searched : N);
        for (int q = 0; q < waiting; ++q)
            finishDefaultBlock(isa, pending[q].block, pending[q].state, pending[q].dst, &pending[q].squares);
        waiting = entries = searched = 0;
    };
    // A block of lane `lane` (texels at `block`, rows `blockStride` apart) that is not a
    // single colour and is settled: written out when done, else stored for the rest with
    // its placements. There must be room for it.
    const auto handOver = [&](const DefaultLanes<N>& d, int lane, const std::uint8_t* block, std::size_t blockStride,
                              std::uint8_t* dst) {
        if (d.done[lane]) {
            // Little-endian, as every machine with these vector units is.
            const std::uint64_t words = static_cast<std::uint32_t>(d.colours[lane]) |
                                        static_cast<std::uint64_t>(static_cast<std::uint32_t>(d.written[lane])) << 32;
            __builtin_memcpy(dst, &words, 8);
            return;
        }
        Pending& p = pending[waiting++];
        DefaultStart& state = p.state;
        for (int ch = 0; ch < 3; ++ch) {
            state.field[0][ch] = static_cast<std::uint8_t>(d.start.field[0][ch][lane]);
            state.field[1][ch] = static_cast<std::uint8_t>(d.start.field[1][ch][lane]);
            state.sum[ch] = d.start.sum[ch][lane];
        }
        for (int k = 0; k < 6; ++k)
            state.products[k] = static_cast<std::int32_t>(d.start.products[k][lane]);
        unpackIndices(static_cast<std::uint32_t>(d.indices[lane]), state.index);
        state.error = d.error[lane];
        for (int k = 0; k < 4; ++k) {
            state.count[k] = d.moments.n[k][lane];
            for (int ch = 0; ch < 3; ++ch)
                state.entrySum[ch][k] = d.moments.s[ch][k][lane];
        }
        p.dst = dst;
        for (int y = 0; y < 4; ++y)
            __builtin_memcpy(p.block + 16 * y, block + y * blockStride, 16);
        listPlacements(p.state, p.squares);
        for (unsigned listed = p.squares.listed; listed != 0; listed &= listed - 1)
            queue[entries++] = {&p.state, &p.squares, &p.squares.entry[__builtin_ctz(listed)]};
        for (; entries - searched >= N; searched += N)
            placementSquaresLanes<N>(queue + searched, N);
    };
    // The blocks whose refinement goes on after the first round, gathered from several
    // batches and refined side by side once a vector's worth is there (and at the row's
    // end): a round costs all lanes as much as one, and few lanes of a batch go on.
    int laneOf[N];
    for (int lane = 0; lane < N; ++lane)
        laneOf[laneBlock<N>(lane)] = lane;
    HeldLanes<N> later;
    const auto refineLater = [&] {
        DefaultLanes<N> d;
        later.load(laneOf, d);
        refineLanes<N>(d, 1, 4);
        endLanes<N>(d);
        if (waiting > kHeld - N)
            finishAll();
        for (int slot = 0; slot < later.held; ++slot)
            handOver(d, laneOf[slot], later.texels[0] + 16 * slot, sizeof later.texels[0], later.dst[slot]);
        later.held = 0;
    };
    // A batch of blocks none of which is a single colour (slot b, the block that lane l
    // loads with b = laneBlock(l), has its texels at src[b], rows `srcStride` apart, and its
    // output at dst[b]; only the first `here` slots are blocks of the row).
    const auto encodeBatch = [&](const I px[16], int here, const std::uint8_t* const* src, std::size_t srcStride,
                                 std::uint8_t* const* dst) {
        DefaultLanes<N> d;
        defaultStartLanes<N>(px, d);
        // The lanes that go on refining wait for the rest of the rounds apart.
        const I movedOn = d.active;
        if (anyLane<N>(movedOn))
            for (int lane = 0; lane < N; ++lane) {
                const int b = laneBlock<N>(lane);
                if (!movedOn[lane] || b >= here)
                    continue;
                if (later.held == N)
                    refineLater();
                later.add(laneOf, d, lane, src[b], srcStride, dst[b]);
            }
        d.active = I{};
        endLanes<N>(d);
        if (waiting > kHeld - N)
            finishAll();
        for (int lane = 0; lane < N; ++lane) {
            const int b = laneBlock<N>(lane);
            if (b < here && !movedOn[lane])
                handOver(d, lane, src[b], srcStride, dst[b]);
        }
    };
    // Blocks of a single colour take the plain encoder's answer as soon as they are loaded;
    // the rest are gathered into whole batches (an eighth of the blocks of photographs and
    // drawings can be of a single colour, often side by side, and would take the lanes' work).
    alignas(32) std::uint8_t gathered[4][16 * N];
    std::uint8_t* gatheredDst[N];
    const std::uint8_t* gatheredSrc[N];
    int held = 0;
    const auto encodeGathered = [&] {
        for (int b = held; b < N; ++b)
            for (int y = 0; y < 4; ++y)
                __builtin_memcpy(gathered[y] + 16 * b, gathered[y], 16);
        for (int b = 0; b < N; ++b)
            gatheredSrc[b] = gathered[0] + 16 * b;
        I px[16];
        loadRows<N>(gathered[0], sizeof gathered[0], px);
        encodeBatch(px, held, gatheredSrc, sizeof gathered[0], gatheredDst);
        held = 0;
    };
    for (int first = 0; first < count; first += N) {
        I px[16];
        const int here = loadBatch<N>(pixels, stride, count, first, padded, px);
        I differs{};
        for (int i = 1; i < 16; ++i)
            differs |= px[i] ^ px[0];
        const I flat = (differs & 0xFFFFFF) == 0;
        const std::uint8_t* src[N];
        std::uint8_t* dst[N];
        for (int b = 0; b < N; ++b) {
            src[b] = pixels + 16 * static_cast<std::size_t>(first + b);
            dst[b] = out + static_cast<std::size_t>(first + b) * outStride;
        }
        if (held == 0 && here == N && !anyLane<N>(flat)) {
            encodeBatch(px, here, src, stride, dst);
            continue;
        }
        for (int lane = 0; lane < N; ++lane) {
            const int b = laneBlock<N>(lane);
            if (b >= here)
                continue;
            if (flat[lane]) {
                encodeSingleColourBlock(src[b][2], src[b][1], src[b][0], dst[b]);
                continue;
            }
            for (int y = 0; y < 4; ++y)
                __builtin_memcpy(gathered[y] + 16 * held, src[b] + y * stride, 16);
            gatheredDst[held] = dst[b];
            if (++held == N)
                encodeGathered();
        }
    }
    if (held > 0)
        encodeGathered();
    if (later.held > 0)
        refineLater();
    finishAll();
}

}  // namespace
}  // namespace dxt::kernels
