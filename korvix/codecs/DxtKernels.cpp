#include "codecs/DxtKernels.h"
#include "codecs/DxtOrderAlongBody.h"
#include "codecs/DxtSplitBoundsBody.h"
#include "codecs/DxtTables.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>
#include <memory>

namespace dxt::kernels {

float assignScalar(const BlockTexels& t, const float palette[4][3], std::uint8_t* index)
{
    float err[4][16];
    for (int k = 0; k < 4; ++k) {
        const float pr = palette[k][0], pg = palette[k][1], pb = palette[k][2];
        for (int i = 0; i < 16; ++i) {
            const float dr = pr - t.cf[0][i], dg = pg - t.cf[1][i], db = pb - t.cf[2][i];
            err[k][i] = kWeight[0] * dr * dr + kWeight[1] * dg * dg + kWeight[2] * db * db;
        }
    }
    float best[16];
    for (int i = 0; i < 16; ++i) {
        float b = err[0][i];
        int k = 0;
        for (int j = 1; j < 4; ++j) {
            const bool better = err[j][i] < b;
            b = better ? err[j][i] : b;
            k = better ? j : k;
        }
        best[i] = b * t.counts[i];
        index[i] = static_cast<std::uint8_t>(k);
    }
    float s8[8], s4[4];
    for (int i = 0; i < 8; ++i)
        s8[i] = best[i] + best[i + 8];
    for (int i = 0; i < 4; ++i)
        s4[i] = s8[i] + s8[i + 4];
    return (s4[0] + s4[2]) + (s4[1] + s4[3]);
}

void channelSumsScalar(const BlockTexels& t, std::int32_t sum[3], std::int32_t products[6])
{
    // Over all 16 slots with the padding weighted 0.
    std::int32_t masked[3][16];
    for (int ch = 0; ch < 3; ++ch) {
        std::int32_t total = 0;
        for (int i = 0; i < 16; ++i) {
            masked[ch][i] = t.c[ch][i] * t.valid[i];
            total += masked[ch][i];
        }
        sum[ch] = total;
    }
    int p = 0;
    for (int r = 0; r < 3; ++r)
        for (int c = r; c < 3; ++c) {
            std::int32_t total = 0;
            for (int i = 0; i < 16; ++i)
                total += masked[r][i] * t.c[c][i];
            products[p++] = total;
        }
}

void entrySumsScalar(const BlockTexels& t, const std::uint8_t* index, std::int32_t count[4], std::int32_t sum[3][4])
{
    for (int k = 0; k < 4; ++k) {
        count[k] = 0;
        for (int ch = 0; ch < 3; ++ch)
            sum[ch][k] = 0;
    }
    for (int i = 0; i < t.count; ++i) {
        const int k = index[i];
        ++count[k];
        for (int ch = 0; ch < 3; ++ch)
            sum[ch][k] += t.c[ch][i];
    }
}

int scoreSplitsScalar(const SplitLayout& layout, const PrefixSums& prefix, int n, const std::uint8_t* groups, int groupCount, float* scores)
{
    // Eight entries at a time with everything that depends on the group alone hoisted, so
    // that the compiler can keep the eight in vector registers where it has them.
    float lowest[8], lowestAt[8];
    for (int l = 0; l < 8; ++l) {
        lowest[l] = std::numeric_limits<float>::infinity();
        lowestAt[l] = 0;
    }
    for (int listed = 0; listed < groupCount; ++listed) {
        const SplitGroup& group = layout.group[groups[listed]];
        // Run 2 is the same for every split of the group, and so are the terms of r1 and r2
        // that depend on it alone.
        const float half2 = 0.5f * static_cast<float>(group.e2 - group.n0);
        float a[3], s2[3], all[3], near2[3], far2[3];
        for (int ch = 0; ch < 3; ++ch) {
            const float z = prefix.sum[ch][group.n0];
            a[ch] = prefix.sum[ch][group.e2];
            s2[ch] = a[ch] - z;
            all[ch] = prefix.sum[ch][n];
            const float t2 = s2[ch] + half2;
            near2[ch] = z + 0.66f * t2;
            far2[ch] = 0.33f * t2;
        }
        for (int c = 0; c < group.chunks; ++c) {
            const int first = group.first + 8 * c;
            for (int l = 0; l < 8; ++l) {
                const int e = first + l;
                float score = layout.bias[e];
                for (int ch = 0; ch < 3; ++ch) {
                    const float q = prefix.sum[ch][group.e2 + 8 * c + l];
                    const float s3 = q - a[ch], s1 = all[ch] - q;
                    const float t3 = s3 + layout.half3[e];
                    const float r1 = near2[ch] + 0.33f * t3, r2 = (s1 + far2[ch]) + 0.66f * t3;
                    score += kWeight[ch] * (s2[ch] + s3 - (r1 * (r1 * layout.i11[e] + 2 * r2 * layout.i12[e]) + r2 * r2 * layout.i22[e]));
                }
                scores[e] = score;
                const bool better = score < lowest[l];
                lowest[l] = better ? score : lowest[l];
                lowestAt[l] = better ? static_cast<float>(e) : lowestAt[l];
            }
        }
    }
    // Each lane holds the first of its least scores; the first of them all is the least
    // score at the lowest entry.
    int best = 0;
    for (int l = 1; l < 8; ++l)
        if (lowest[l] < lowest[best] || (lowest[l] == lowest[best] && lowestAt[l] < lowestAt[best]))
            best = l;
    return lowest[best] < std::numeric_limits<float>::infinity() ? static_cast<int>(lowestAt[best]) : -1;
}

int searchSplitsScalar(const SplitLayout& layout, const PrefixSums& prefix, int n, const float* bound, float margin, float* scores)
{
    float low = std::numeric_limits<float>::infinity();
    for (int g = 0; g < layout.groupCount; ++g)
        low = bound[g] < low ? bound[g] : low;
    int seed = 0;
    while (seed < layout.groupCount - 1 && !(bound[seed] == low))
        ++seed;
    const std::uint8_t seedGroup = static_cast<std::uint8_t>(seed);
    int leastAt = scoreSplitsScalar(layout, prefix, n, &seedGroup, 1, scores);
    float least = leastAt >= 0 ? scores[leastAt] : std::numeric_limits<float>::infinity();
    const float limit = least + margin;
    for (int g = 0; g < layout.groupCount; ++g) {
        if (g == seed || bound[g] > limit)
            continue;
        const std::uint8_t group = static_cast<std::uint8_t>(g);
        const int first = scoreSplitsScalar(layout, prefix, n, &group, 1, scores);
        if (first >= 0 && (scores[first] < least || (scores[first] == least && first < leastAt))) {
            least = scores[first];
            leastAt = first;
        }
    }
    return leastAt;
}

namespace {

// The splits of n ordered texels into runs of n0, n2, n3 (and the rest) texels for the
// palette entries 0, 2, 3 and 1, with what their least-squares fits need that does not
// depend on the colours: the inverse of the normal matrix and the terms of the
// truncation offset.
void makeSplitLayout(int n, SplitLayout& layout)
{
    constexpr double hi = 0.66, lo = 0.33;
    constexpr float never = std::numeric_limits<float>::infinity();
    layout.groupCount = 0;
    int next = 0;
    for (int n0 = 0; n0 <= n; ++n0)
        for (int n2 = 0; n0 + n2 <= n; ++n2) {
            const int run = n - n0 - n2 + 1;
            const int chunks = (run + 7) / 8;
            layout.group[layout.groupCount++] = {static_cast<std::uint8_t>(n0), static_cast<std::uint8_t>(n0 + n2),
                                                 static_cast<std::uint16_t>(next), static_cast<std::uint16_t>(chunks)};
            for (int n3 = 0; n3 < 8 * chunks; ++n3, ++next) {
                const double c2 = n2, c3 = n3;
                const double m11 = n0 + hi * hi * c2 + lo * lo * c3;
                const double m12 = hi * lo * (c2 + c3);
                const double m22 = (n - n0 - n2 - n3) + lo * lo * c2 + hi * hi * c3;
                const double det = m11 * m22 - m12 * m12;
                layout.n0[next] = static_cast<std::uint8_t>(n0);
                layout.n2[next] = static_cast<std::uint8_t>(n2);
                layout.n3[next] = static_cast<std::uint8_t>(n3);
                // Past the run, or leaving an endpoint free (another split covers it).
                if (n3 >= run || det < 1e-3) {
                    layout.i11[next] = layout.i12[next] = layout.i22[next] = 0;
                    layout.half3[next] = 0;
                    layout.bias[next] = never;
                    continue;
                }
                layout.i11[next] = static_cast<float>(m22 / det);
                layout.i12[next] = static_cast<float>(-m12 / det);
                layout.i22[next] = static_cast<float>(m11 / det);
                layout.half3[next] = static_cast<float>(0.5 * c3);
                layout.bias[next] = static_cast<float>(0.25 * (c2 + c3));
            }
        }
    layout.entries = next;
}

Isa detect()
{
    const Isa offered = supported(Isa::Avx2) ? Isa::Avx2 : supported(Isa::Sse41) ? Isa::Sse41 : Isa::Scalar;
    // KORVIX_DXT_ISA=scalar or sse4.1 holds the compressor to a lesser path, to measure it
    // or to rule the vector code out; it never reaches beyond what the processor offers.
    const char* wanted = std::getenv("KORVIX_DXT_ISA");
    if (!wanted)
        return offered;
    const std::string_view name(wanted);
    const Isa cap = name == "scalar" ? Isa::Scalar : name == "sse4.1" ? Isa::Sse41 : Isa::Avx2;
    return std::min(cap, offered);
}

}  // namespace

// The layouts for 2 ... 16 texels, built once on first use.
const SplitLayout& splitLayout(int n)
{
    static const auto layouts = [] {
        auto all = std::make_unique<SplitLayout[]>(17);
        for (int count = 2; count <= 16; ++count)
            makeSplitLayout(count, all[count]);
        return all;
    }();
    return layouts[n];
}

Isa detectedIsa()
{
    static const Isa isa = detect();
    return isa;
}

bool supported(Isa isa)
{
#if KORVIX_DXT_X86
    __builtin_cpu_init();
    switch (isa) {
    case Isa::Avx2:
        return __builtin_cpu_supports("avx2");
    case Isa::Sse41:
        return __builtin_cpu_supports("sse4.1");
    case Isa::Scalar:
        break;
    }
    return true;
#else
    return isa == Isa::Scalar;
#endif
}

const Kernels& kernelsFor(Isa isa)
{
    // SSE4.1 has no gather and only four lanes: its channel sums are the plain ones.
    static constexpr Kernels scalar{assignScalar, scoreSplitsScalar, channelSumsScalar, entrySumsScalar,
                                    scoreSquaresScalar, splitBounds, searchSplitsScalar, orderAlongScalar};
    static constexpr Kernels sse41{assignSse41, scoreSplitsSse41, channelSumsScalar, entrySumsSse41,
                                   scoreSquaresSse41, splitBounds, searchSplitsSse41, orderAlongScalar};
    static constexpr Kernels avx2{assignAvx2, scoreSplitsAvx2, channelSumsAvx2, entrySumsAvx2,
                                  scoreSquaresAvx2, splitBoundsAvx2, searchSplitsAvx2, orderAlongAvx2};
    switch (isa) {
    case Isa::Avx2:
        return avx2;
    case Isa::Sse41:
        return sse41;
    case Isa::Scalar:
        break;
    }
    return scalar;
}

// ---- The endpoint search of all three channels in one call ----------------------------

void scoreSquaresScalar(const std::int32_t count[4], const std::int32_t sum[3][4], const std::int32_t centre[3][2],
                        const std::int32_t field[2][3], SquareScores& out)
{
    for (int ch = 0; ch < 3; ++ch) {
        const int bits = ch == 1 ? 6 : 5;
        const int top = (1 << bits) - 1;
        const std::uint32_t* palettes = ch == 1 ? tables::kChannelPalettes6.data() : tables::kChannelPalettes5.data();
        const std::int32_t* s = sum[ch];
        const auto score = [&](int a, int b) {
            const std::uint32_t word = palettes[(a << bits) + b];
            int total = 0;
            for (int k = 0; k < 4; ++k) {
                const int p = static_cast<int>((word >> (8 * k)) & 0xFF);
                total += p * (count[k] * p - 2 * s[k]);
            }
            return total;
        };
        out.present[ch] = score(field[0][ch], field[1][ch]);
        out.centre[ch] = score(centre[ch][0], centre[ch][1]);
        out.least[ch] = out.centre[ch];
        out.pair[ch] = 4;
        for (int pair = 0; pair < 9; ++pair) {
            const int a = centre[ch][0] - 1 + pair / 3, b = centre[ch][1] - 1 + pair % 3;
            if (a < 0 || a > top || b < 0 || b > top)
                continue;
            const int c = score(a, b);
            if (c < out.least[ch] || (c == out.least[ch] && pair < out.pair[ch])) {
                out.least[ch] = c;
                out.pair[ch] = pair;
            }
        }
    }
    out.least[3] = out.pair[3] = out.present[3] = out.centre[3] = 0;
}

// ---- Lower bounds for the cluster search ----------------------------------------------

void splitBounds(const PrefixSums& prefix, int n, float* bound)
{
    detail::splitBoundsBody<4>(prefix, n, bound);
}

void orderAlongScalar(const BlockTexels& t, const float axis[3], std::uint8_t* order, std::int32_t* place, PrefixSums& prefix)
{
    detail::orderAlongBody<4>(t, axis, order, place, prefix);
}

float boundMargin(const PrefixSums& prefix, int n)
{
    // The scores' terms are of the order of the texels' squares; their rounding stays far
    // below this (about 1.5 at most over the benchmark corpus, squares up to 10^6).
    return 8.0f + prefix.squares[n] * (1.0f / 8192.0f);
}

}  // namespace dxt::kernels
