#include "codecs/DxtBlock.h"

#include "codecs/DxtKernels.h"
#include "codecs/DxtTables.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>

namespace dxt {

namespace {

using namespace tables;
using kernels::BlockTexels;
using kernels::Kernels;
using kernels::StartKernels;

// Channel order inside the encoder: 0 red (5 bits), 1 green (6 bits), 2 blue (5 bits).
// The error of a texel is 0.309 dr^2 + 0.609 dg^2 + 0.082 db^2 in single precision, as the
// game measures it. The same operations in the same order give the same choice on every
// thread, so the output does not depend on how a map is split up.
using kernels::kWeight;
constexpr int kFieldMax[3] = {31, 63, 31};

int expandField(int ch, int f)
{
    return ch == 1 ? kExpand6[f] : kExpand5[f];
}

int mixField(int ch, int a, int b)
{
    return ch == 1 ? kMix6[a * 64 + b] : kMix5[a * 32 + b];
}

// Endpoint fields: f[0] is c0, f[1] is c1, each red, green, blue.
struct Endpoints {
    int f[2][3] = {};
};

// Gives each texel its nearest palette colour (the lowest index among equals) and
// returns the block's weighted squared error.
float assignIndices(const Kernels& k, const BlockTexels& t, const Endpoints& e, std::uint8_t* index)
{
    // One table word per channel holds its four palette values.
    const std::uint32_t word[3] = {kChannelPalettes5[e.f[0][0] << 5 | e.f[1][0]], kChannelPalettes6[e.f[0][1] << 6 | e.f[1][1]],
                                   kChannelPalettes5[e.f[0][2] << 5 | e.f[1][2]]};
    float palette[4][3];
    for (int i = 0; i < 4; ++i)
        for (int ch = 0; ch < 3; ++ch)
            palette[i][ch] = static_cast<float>((word[ch] >> (8 * i)) & 0xFF);
    return k.assign(t, palette, index);
}

// With the indices fixed, the channels are independent: the squared error of one channel
// is sum over palette entries k of n[k] p[k]^2 - 2 s[k] p[k] plus a constant, where n[k]
// counts the texels using entry k and s[k] sums their values.
struct Moments {
    int n[4];
    int s[3][4];
    // The normal equations' inverse for the least-squares endpoints, which depends on the
    // counts only; `solvable` is false when the indices leave an endpoint free.
    bool solvable;
    float i11, i12, i22;
};

// The inverse of the normal equations, from the counts alone.
void invertNormals(Moments& m)
{
    constexpr float hi = 0.66f, lo = 0.33f;
    const float c2 = static_cast<float>(m.n[2]), c3 = static_cast<float>(m.n[3]);
    const float m11 = static_cast<float>(m.n[0]) + hi * hi * c2 + lo * lo * c3;
    const float m12 = hi * lo * (c2 + c3);
    const float m22 = static_cast<float>(m.n[1]) + lo * lo * c2 + hi * hi * c3;
    const float det = m11 * m22 - m12 * m12;
    m.solvable = det >= 1e-3f;
    const float inv = m.solvable ? 1.0f / det : 0.0f;
    m.i11 = m22 * inv;
    m.i12 = -m12 * inv;
    m.i22 = m11 * inv;
}

Moments momentsOf(const Kernels& k, const BlockTexels& t, const std::uint8_t* index)
{
    Moments m;
    k.entrySums(t, index, m.n, m.s);
    invertNormals(m);
    return m;
}

// The moments of the same texels with every index k turned into remap[k]. Each entry's
// sums are gathered by masks in registers rather than added into entries chosen at run
// time, which would chain the additions through memory.
Moments remapped(const Moments& m, const int* remap)
{
    using Int4 = std::int32_t __attribute__((vector_size(16)));
    const Int4 entries{0, 1, 2, 3};
    Int4 n{}, s[3] = {};
    for (int k = 0; k < 4; ++k) {
        const Int4 to = entries == remap[k];
        n += to & m.n[k];
        for (int ch = 0; ch < 3; ++ch)
            s[ch] += to & m.s[ch][k];
    }
    Moments r;
    std::memcpy(r.n, &n, sizeof r.n);
    for (int ch = 0; ch < 3; ++ch)
        std::memcpy(r.s[ch], &s[ch], sizeof r.s[ch]);
    invertNormals(r);
    return r;
}

template <int Bits>
int channelCost(const Moments& m, const int* s, int a, int b)
{
    // One table word holds the channel's four palette values for the field pair.
    const std::uint32_t word = Bits == 6 ? kChannelPalettes6[(a << 6) | b] : kChannelPalettes5[(a << 5) | b];
    const int p0 = static_cast<int>(word & 0xFF), p1 = static_cast<int>((word >> 8) & 0xFF);
    const int p2 = static_cast<int>((word >> 16) & 0xFF), p3 = static_cast<int>(word >> 24);
    return m.n[0] * p0 * p0 - 2 * s[0] * p0 + m.n[1] * p1 * p1 - 2 * s[1] * p1 + m.n[2] * p2 * p2 - 2 * s[2] * p2 +
           m.n[3] * p3 * p3 - 2 * s[3] * p3;
}

// Nearest field for a target value under the decoder's expansion, rounded to 8 bits first.
int quantiseField(int ch, float value)
{
    const int v = value <= 0 ? 0 : value >= 255 ? 255 : static_cast<int>(value + 0.5f);
    return ch == 1 ? kNearestField6[v] : kNearestField5[v];
}

// Least-squares estimate of the expanded endpoint values for one channel, modelling the
// decoder's colours 2 and 3 as 0.66 a + 0.33 b and 0.33 a + 0.66 b less half a step of
// truncation. Returns false when the indices leave the endpoints undetermined.
bool leastSquares(const Moments& m, int ch, float& a, float& b)
{
    if (!m.solvable)
        return false;
    constexpr float hi = 0.66f, lo = 0.33f;
    const float t2 = static_cast<float>(m.s[ch][2]) + 0.5f * static_cast<float>(m.n[2]);
    const float t3 = static_cast<float>(m.s[ch][3]) + 0.5f * static_cast<float>(m.n[3]);
    const float r1 = static_cast<float>(m.s[ch][0]) + hi * t2 + lo * t3;
    const float r2 = static_cast<float>(m.s[ch][1]) + lo * t2 + hi * t3;
    a = m.i11 * r1 + m.i12 * r2;
    b = m.i12 * r1 + m.i22 * r2;
    return true;
}

// The least-squares fields of one channel for fixed indices (rounded to the nearest
// fields) replace the current ones when their error is strictly lower.
template <int Bits>
void fitChannel(const Moments& m, int ch, Endpoints& e)
{
    float a, b;
    if (!leastSquares(m, ch, a, b))
        return;
    const int fitA = quantiseField(ch, a), fitB = quantiseField(ch, b);
    const int* s = m.s[ch];
    if (channelCost<Bits>(m, s, fitA, fitB) < channelCost<Bits>(m, s, e.f[0][ch], e.f[1][ch])) {
        e.f[0][ch] = fitA;
        e.f[1][ch] = fitB;
    }
}

// Four floats or integers side by side: the compiler's portable vectors, each lane computed
// with the same single-precision operations as a plain float.
using Float4 = float __attribute__((vector_size(16)));
using Int4 = std::int32_t __attribute__((vector_size(16)));

// The channels' sums of the texels on palette entry k, one channel to a lane (the fourth
// repeats blue).
Float4 channelsOn(const Moments& m, int k)
{
    return __builtin_convertvector((Int4{m.s[0][k], m.s[1][k], m.s[2][k], m.s[2][k]}), Float4);
}

// The fields the endpoint search centres on: each channel's rounded least-squares fields,
// or its present fields when the indices leave the endpoints undetermined. (leastSquares
// and quantiseField for the three channels at once, one channel to a lane.)
void searchCentres(const Moments& m, const Endpoints& e, int centre[3][2])
{
    if (!m.solvable) {
        for (int ch = 0; ch < 3; ++ch) {
            centre[ch][0] = e.f[0][ch];
            centre[ch][1] = e.f[1][ch];
        }
        return;
    }
    constexpr float hi = 0.66f, lo = 0.33f;
    const float half2 = 0.5f * static_cast<float>(m.n[2]), half3 = 0.5f * static_cast<float>(m.n[3]);
    const Float4 t2 = channelsOn(m, 2) + half2, t3 = channelsOn(m, 3) + half3;
    const Float4 r1 = channelsOn(m, 0) + hi * t2 + lo * t3;
    const Float4 r2 = channelsOn(m, 1) + lo * t2 + hi * t3;
    const Float4 a = m.i11 * r1 + m.i12 * r2;
    const Float4 b = m.i12 * r1 + m.i22 * r2;
    // Clamped to 0 ... 255 and rounded: the same as quantiseField for every finite value.
    const Float4 zero{}, top = zero + 255.0f;
    const auto level = [&](Float4 v) {
        v = v < zero ? zero : v;
        v = v > top ? top : v;
        return __builtin_convertvector(v + 0.5f, Int4);
    };
    const Int4 levelA = level(a), levelB = level(b);
    centre[0][0] = kNearestField5[levelA[0]];
    centre[0][1] = kNearestField5[levelB[0]];
    centre[1][0] = kNearestField6[levelA[1]];
    centre[1][1] = kNearestField6[levelB[1]];
    centre[2][0] = kNearestField5[levelA[2]];
    centre[2][1] = kNearestField5[levelB[2]];
}

// Channel `ch` takes pair 3 i + j of the square around `centre`.
void takePair(const int centre[3][2], int pair, int ch, Endpoints& e)
{
    e.f[0][ch] = centre[ch][0] - 1 + pair / 3;
    e.f[1][ch] = centre[ch][1] - 1 + pair % 3;
}

// Radius 0 takes the least-squares fields when they are better; radius 1 also their
// neighbours.
void solveChannels(const Kernels& k, const Moments& m, int radius, Endpoints& e)
{
    if (radius == 0) {
        fitChannel<5>(m, 0, e);
        fitChannel<6>(m, 1, e);
        fitChannel<5>(m, 2, e);
        return;
    }
    // All three channels in one kernel call.
    int centre[3][2];
    searchCentres(m, e, centre);
    kernels::SquareScores scores;
    k.scoreSquares(m.n, m.s, centre, e.f, scores);
    for (int ch = 0; ch < 3; ++ch) {
        // Without a branch: which way it goes is hard to foresee.
        const bool better = scores.least[ch] < scores.present[ch];
        e.f[0][ch] = better ? centre[ch][0] - 1 + scores.pair[ch] / 3 : e.f[0][ch];
        e.f[1][ch] = better ? centre[ch][1] - 1 + scores.pair[ch] % 3 : e.f[1][ch];
    }
}

// Whether two index sets agree on the texels that exist: two 8-byte words compared under
// a mask rather than a library call of variable length.
bool sameIndices(const BlockTexels& t, const std::uint8_t* a, const std::uint8_t* b)
{
    std::uint64_t a0, a1, b0, b1;
    std::memcpy(&a0, a, 8);
    std::memcpy(&a1, a + 8, 8);
    std::memcpy(&b0, b, 8);
    std::memcpy(&b1, b + 8, 8);
    std::uint64_t m0, m1;
    std::memcpy(&m0, t.existing, 8);
    std::memcpy(&m1, t.existing + 8, 8);
    return (((a0 ^ b0) & m0) | ((a1 ^ b1) & m1)) == 0;
}

struct Candidate {
    Endpoints e;
    std::uint8_t index[16] = {};
    float error = 3.0e38f;
};

// Solves the endpoints for the candidate's indices (moments `m`), then chooses its indices
// anew; true when they came out as they went in, so that refining could change nothing.
bool solveThenAssign(const Kernels& k, const BlockTexels& t, const Moments& m, int radius, Candidate& c)
{
    std::uint8_t before[16];
    std::memcpy(before, c.index, sizeof before);
    solveChannels(k, m, radius, c.e);
    c.error = assignIndices(k, t, c.e, c.index);
    return sameIndices(t, before, c.index);
}

// Alternates between the best endpoints for the indices and the best indices for the
// endpoints until the error stops falling; each step can only lower it. The candidate's
// indices are always those its endpoints are given by assignIndices.
void refine(const Kernels& k, const BlockTexels& t, Candidate& c, int radius, int maxRounds)
{
    for (int round = 0; round < maxRounds; ++round) {
        const Moments m = momentsOf(k, t, c.index);
        Candidate next;
        next.e = c.e;
        solveChannels(k, m, radius, next.e);
        // The same endpoints would be given the same indices and error: nothing to gain.
        if (std::memcmp(next.e.f, c.e.f, sizeof c.e.f) == 0)
            return;
        next.error = assignIndices(k, t, next.e, next.index);
        if (next.error >= c.error)
            return;
        // Unchanged indices would give the same endpoints again: the next round could
        // not lower the error, so it is not run.
        const bool settled = sameIndices(t, next.index, c.index);
        c = next;
        if (settled)
            return;
    }
}

// The weighted sum of the texels' squared channel values: what every error of the block
// shares, the error of fixed indices and endpoints less this being known from the moments.
// The sums of a block's channels and of their products (channelSums), computed once.
struct ChannelSums {
    std::int32_t sum[3];
    std::int32_t products[6];  // (0, 0), (0, 1), (0, 2), (1, 1), (1, 2), (2, 2)
};

float ownSquares(const ChannelSums& sums)
{
    float total = 0;
    constexpr int diagonal[3] = {0, 3, 5};
    for (int ch = 0; ch < 3; ++ch)
        total += kWeight[ch] * static_cast<float>(sums.products[diagonal[ch]]);
    return total;
}

// The error of the least-squares endpoints for the moments' indices under the decoder's
// model (before the endpoints are rounded to fields), plus `squares`.
float fitError(const Moments& m, float squares)
{
    if (!m.solvable)
        return std::numeric_limits<float>::infinity();
    constexpr float hi = 0.66f, lo = 0.33f;
    float total = squares + 0.25f * static_cast<float>(m.n[2] + m.n[3]);
    // The three channels side by side, added up in channel order.
    const Float4 s0 = channelsOn(m, 0), s1 = channelsOn(m, 1), s2 = channelsOn(m, 2), s3 = channelsOn(m, 3);
    const Float4 t2 = s2 + 0.5f * static_cast<float>(m.n[2]);
    const Float4 t3 = s3 + 0.5f * static_cast<float>(m.n[3]);
    const Float4 r1 = s0 + hi * t2 + lo * t3;
    const Float4 r2 = s1 + lo * t2 + hi * t3;
    const Float4 weight{kWeight[0], kWeight[1], kWeight[2], 0.0f};
    const Float4 part = weight * ((s2 + s3) - (r1 * (r1 * m.i11 + 2 * r2 * m.i12) + r2 * r2 * m.i22));
    for (int ch = 0; ch < 3; ++ch)
        total += part[ch];
    return total;
}

// The exact error of fields with the moments' indices, from their channel scores (the
// integer costs above), plus `squares`.
float scoredError(const int score[3], float squares)
{
    return squares + kWeight[0] * static_cast<float>(score[0]) + kWeight[1] * static_cast<float>(score[1]) +
           kWeight[2] * static_cast<float>(score[2]);
}

// When the indices leave a palette entry unused, the best block may place the texels'
// levels differently along the palette (say on entries 0, 2 and 3 rather than 0, 2 and
// 1, with the unused endpoint beyond the texels), which refinement cannot reach from
// where it stands. Tries the other order-keeping placements of the used levels.
//
// A placement is followed up (new indices, refinement) only while its error with the
// moved indices, before they are chosen anew, stays below 1 / kPlacementKeep times the
// best error so far: choosing the indices anew seldom wins back more than that. The
// least-squares fit, a lower estimate of that error, rules a placement out before its
// endpoints are solved. Two levels moved onto the palette's two ends are not tried:
// refinement from the axis' ends has already been there.
using kernels::kPlacementKeep;

// Writes `index` with every index k of a texel that exists turned into remap[k] (the rest
// as they are) to `out`: eight bytes to a word, each entry picked by bit masks, without a
// look-up per texel.
void remapIndices(const BlockTexels& t, const int* remap, const std::uint8_t* index, std::uint8_t* out)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    for (int half = 0; half < 2; ++half) {
        std::uint64_t word, existing;
        std::memcpy(&word, index + 8 * half, 8);
        std::memcpy(&existing, t.existing + 8 * half, 8);
        const std::uint64_t low = word & kOnes, high = (word >> 1) & kOnes;
        const std::uint64_t on[4] = {~word & ~(word >> 1) & kOnes, low & ~high, high & ~low, low & high};
        std::uint64_t moved = 0;
        for (int k = 0; k < 4; ++k)
            moved |= on[k] * static_cast<std::uint64_t>(remap[k]);
        const std::uint64_t result = (moved & existing) | (word & ~existing);
        std::memcpy(out + 8 * half, &result, 8);
    }
}

// The placements tried for each set of palette entries in use (bit k: entry k), worked out
// once: the subsets of chain positions with as many positions as levels are used (none when
// fewer than two or all four are), the used levels moved onto them in order; a subset that
// leaves every level where it is, is not listed.
struct PlacementList {
    unsigned listed = 0;  // bit p: the p-th subset is tried
    int remap[5][4] = {};
};

constexpr std::array<PlacementList, 16> makePlacementLists()
{
    constexpr int chain[4] = {0, 2, 3, 1};  // palette entries in order along the line
    constexpr int two[] = {0b0011, 0b0101, 0b0110, 0b1010, 0b1100};
    constexpr int three[] = {0b0111, 0b1011, 0b1101, 0b1110};
    std::array<PlacementList, 16> lists{};
    for (int inUse = 0; inUse < 16; ++inUse) {
        int used[4] = {};
        int levels = 0;
        for (int entry : chain)
            if (inUse & (1 << entry))
                used[levels++] = entry;
        if (levels != 2 && levels != 3)
            continue;
        const int* masks = levels == 2 ? two : three;
        const int count = levels == 2 ? 5 : 4;
        for (int p = 0; p < count; ++p) {
            int* remap = lists[inUse].remap[p];
            for (int k = 0; k < 4; ++k)
                remap[k] = k;
            int next = 0;
            bool same = true;
            for (int pos = 0; pos < 4; ++pos)
                if (masks[p] & (1 << pos)) {
                    remap[used[next]] = chain[pos];
                    same = same && used[next] == chain[pos];
                    ++next;
                }
            if (!same)
                lists[inUse].listed |= 1u << p;
        }
    }
    return lists;
}

constexpr std::array<PlacementList, 16> kPlacementLists = makePlacementLists();

// The follow-up of a placement whose endpoints `c` has: its moved indices chosen anew, then
// refined unless they came out as they went in.
void followPlacement(const Kernels& k, const BlockTexels& t, const int* remap, const std::uint8_t* startIndex, int radius,
                     int rounds, Candidate& c, Candidate& best)
{
    std::uint8_t before[16];
    remapIndices(t, remap, startIndex, before);
    std::memcpy(c.index, before, sizeof before);
    c.error = assignIndices(k, t, c.e, c.index);
    if (!sameIndices(t, before, c.index))
        refine(k, t, c, radius, rounds);
    if (c.error < best.error)
        best = c;
}

// `known`, when given, holds the moments of best's indices; `ahead`, when given, each
// placement's screen and endpoint fields made ahead from them (for radius 1).
void tryOtherPlacements(const Kernels& k, const BlockTexels& t, const ChannelSums& sums, Candidate& best, int radius, int rounds,
                        const Moments* known = nullptr, const kernels::PlacementSquares* ahead = nullptr)
{
    unsigned inUse = 0;
    if (known) {
        for (int entry = 0; entry < 4; ++entry)
            inUse |= (known->n[entry] > 0 ? 1u : 0u) << entry;
    } else {
        for (int i = 0; i < t.count; ++i)
            inUse |= 1u << best.index[i];
    }
    const PlacementList& list = kPlacementLists[inUse];
    if (list.listed == 0)
        return;
    if (ahead) {
        // One test per placement; the start's indices are kept aside only when one passes.
        std::uint8_t startIndex[16];
        bool kept = false;
        for (unsigned listed = list.listed; listed != 0; listed &= listed - 1) {
            const int p = __builtin_ctz(listed);
            const kernels::PlacementSquare& made = ahead->entry[p];
            if (!(made.gate < best.error))
                continue;
            if (!kept) {
                std::memcpy(startIndex, best.index, sizeof startIndex);
                kept = true;
            }
            Candidate c;
            for (int end = 0; end < 2; ++end)
                for (int ch = 0; ch < 3; ++ch)
                    c.e.f[end][ch] = made.field[end][ch];
            followPlacement(k, t, list.remap[p], startIndex, radius, rounds, c, best);
        }
        return;
    }
    const Candidate start = best;
    // The remapped indices have the start's moments, moved to other entries.
    const Moments startMoments = known ? *known : momentsOf(k, t, start.index);
    const float squares = ownSquares(sums);
    for (unsigned listed = list.listed; listed != 0; listed &= listed - 1) {
        const int p = __builtin_ctz(listed);
        const int* remap = list.remap[p];
        Candidate c = start;
        const Moments moved = remapped(startMoments, remap);
        if (kPlacementKeep * fitError(moved, squares) >= best.error)
            continue;
        // The rounded least-squares fields first, then the square around them for the
        // placements still in the running: one search scores both.
        int centre[3][2];
        kernels::SquareScores scores;
        searchCentres(moved, c.e, centre);
        k.scoreSquares(moved.n, moved.s, centre, c.e.f, scores);
        int score[3];
        for (int ch = 0; ch < 3; ++ch) {
            score[ch] = scores.present[ch];
            if (scores.centre[ch] < score[ch]) {
                takePair(centre, 4, ch, c.e);
                score[ch] = scores.centre[ch];
            }
        }
        if (kPlacementKeep * scoredError(score, squares) >= best.error)
            continue;
        if (radius > 0) {
            for (int ch = 0; ch < 3; ++ch)
                if (scores.least[ch] < score[ch]) {
                    takePair(centre, scores.pair[ch], ch, c.e);
                    score[ch] = scores.least[ch];
                }
            if (kPlacementKeep * scoredError(score, squares) >= best.error)
                continue;
        }
        followPlacement(k, t, remap, start.index, radius, rounds, c, best);
    }
}

}  // namespace

// ---- Blocks of one colour -------------------------------------------------------------

namespace kernels {

const SingleColourTables& singleColourTables()
{
    static const SingleColourTables tables = [] {
        SingleColourTables s{};
        for (int wide = 0; wide < 2; ++wide) {
            const int ch = wide ? 1 : 0;
            const int fields = kFieldMax[ch] + 1;
            for (int v = 0; v < 256; ++v) {
                SingleColourEntry& ep = s.endpoint[wide][v];
                ep.error = UINT16_MAX;
                for (int a = 0; a < fields; ++a) {
                    const int d = expandField(ch, a) - v;
                    if (d * d < ep.error)
                        ep = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(a), static_cast<std::uint16_t>(d * d)};
                }
            }
            // Colour 2 takes the first field pair (a, then b) of the least error; when that
            // pair has equal fields, the first pair of two different fields with the same
            // error, if there is one, so that the block does not look like a flat
            // three-colour block to other decoders. Each decoded value's first pair and
            // first pair of two different fields give that without trying every pair for
            // every value.
            int first[256], firstOfTwo[256];
            std::fill(first, first + 256, -1);
            std::fill(firstOfTwo, firstOfTwo + 256, -1);
            for (int a = 0; a < fields; ++a)
                for (int b = 0; b < fields; ++b) {
                    const int m = mixField(ch, a, b), order = a * fields + b;
                    if (first[m] < 0)
                        first[m] = order;
                    if (a != b && firstOfTwo[m] < 0)
                        firstOfTwo[m] = order;
                }
            // The earlier of the pairs at v - d and v + d in `pairs`, -1 if neither has one.
            const auto earlier = [](const int* pairs, int v, int d) {
                const int below = v - d >= 0 ? pairs[v - d] : -1, above = v + d < 256 ? pairs[v + d] : -1;
                return below < 0 ? above : above < 0 ? below : std::min(below, above);
            };
            for (int v = 0; v < 256; ++v) {
                int d = 0;
                while (earlier(first, v, d) < 0)
                    ++d;
                int pick = earlier(first, v, d);
                if (pick / fields == pick % fields && earlier(firstOfTwo, v, d) >= 0)
                    pick = earlier(firstOfTwo, v, d);
                s.mixed[wide][v] = {static_cast<std::uint8_t>(pick / fields), static_cast<std::uint8_t>(pick % fields),
                                    static_cast<std::uint16_t>(d * d)};
            }
        }
        return s;
    }();
    return tables;
}

}  // namespace kernels

namespace {

using kernels::SingleColourEntry;
using kernels::SingleColourTables;
using kernels::singleColourTables;

// The best any block can do for a single colour: every texel takes the same palette
// entry, and the channels' fields are independent once that entry is chosen.
// `colour` is red, green, blue; `count` the texels that have it.
void encodeSingleColour(const int colour[3], int count, Candidate& c)
{
    const SingleColourTables& s = singleColourTables();
    float errEndpoint = 0, errMixed = 0;
    for (int ch = 0; ch < 3; ++ch) {
        const int v = colour[ch];
        errEndpoint += kWeight[ch] * s.endpoint[ch == 1][v].error;
        errMixed += kWeight[ch] * s.mixed[ch == 1][v].error;
    }
    const bool mixed = errMixed < errEndpoint;
    for (int ch = 0; ch < 3; ++ch) {
        const SingleColourEntry& entry = (mixed ? s.mixed : s.endpoint)[ch == 1][colour[ch]];
        c.e.f[0][ch] = entry.a;
        c.e.f[1][ch] = entry.b;
    }
    std::fill(c.index, c.index + 16, static_cast<std::uint8_t>(mixed ? 2 : 0));
    c.error = static_cast<float>(count) * std::min(errEndpoint, errMixed);
}

// ---- The principal axis start -----------------------------------------------------------

// The principal axis of the texels' colours, measured in the weighted space so that green
// counts most (square roots of the error weights take a colour into that space).
struct Axis {
    float v[3];  // already scaled: a texel's place along it is its plain colour times v
};

Axis principalAxis(const StartKernels& s, const BlockTexels& t, const ChannelSums& sums)
{
    Axis axis;
    s.principalAxis(sums.sum, sums.products, t.count, axis.v);
    return axis;
}

// The start every setting refines: endpoints at the two texels lying furthest apart along
// the axis and, when asked for, indices by position along it in four equal steps (e0 at
// the top end), a guess that needs no palette. The padding slots copy a real texel, so all
// 16 take part.
void startAlong(const StartKernels& s, const BlockTexels& t, const Axis& axis, Candidate& c, bool withIndices)
{
    int lo, hi;
    s.startAlong(t, axis.v, lo, hi, withIndices ? c.index : nullptr);
    for (int ch = 0; ch < 3; ++ch) {
        c.e.f[0][ch] = quantiseField(ch, t.c[ch][hi]);
        c.e.f[1][ch] = quantiseField(ch, t.c[ch][lo]);
    }
}

// ---- Cluster search ---------------------------------------------------------------------

// With the texels ordered along the axis, every split of that order into runs for the
// palette entries 0, 2, 3 and 1 (969 splits of 16 texels) is scored by the error of its
// least-squares endpoints under the decoder's model; the best `keep` splits are then
// solved exactly and refined. This finds the blocks whose best endpoints lie beyond the
// texels (a palette entry left unused), which refinement from the extremes cannot reach.
void clusterSearch(const Kernels& k, const BlockTexels& t, const Axis& axis, Candidate& best, int keep)
{
    const int n = t.count;
    // The texels in order along the axis, each one's place in it and the running sums.
    std::uint8_t order[16];
    alignas(32) std::int32_t place[16];
    kernels::PrefixSums prefix;
    k.orderAlong(t, axis.v, order, place, prefix);

    const kernels::SplitLayout& layout = kernels::splitLayout(n);
    alignas(32) float scores[1600];
    constexpr float never = std::numeric_limits<float>::infinity();
    constexpr int kMaxKeep = 8;
    keep = std::clamp(keep, 1, kMaxKeep);
    int top[kMaxKeep];
    int kept = 0;
    // Only the groups that may hold one of the `keep` least scores are scored: first the
    // group of the least bound, then every group whose bound the keep-th best score found
    // there does not undercut by more than rounding could explain. The same splits as
    // scoring them all.
    alignas(32) float bound[160];
    k.splitBounds(prefix, n, bound);
    const float margin = kernels::boundMargin(prefix, n);
    if (keep == 1) {
        // All of it in one kernel: the seed group, the limit and the groups within it.
        const int first = k.searchSplits(layout, prefix, n, bound, margin, scores);
        if (first >= 0)
            top[kept++] = first;
    } else {
        std::fill(bound + layout.groupCount, bound + 160, never);
        // Eight running minima (group g in lane g % 8), then the lane of the least, the
        // earlier lane of equal ones, and in it the first group that holds it: the place a
        // running "first of the least" per lane would have kept (a lane that starts at NaN
        // keeps it).
        Float4 least4[2];
        for (int h = 0; h < 2; ++h)
            std::memcpy(&least4[h], bound + 4 * h, sizeof least4[h]);
        for (int g = 8; g < 160; g += 8)
            for (int h = 0; h < 2; ++h) {
                Float4 here;
                std::memcpy(&here, bound + g + 4 * h, sizeof here);
                least4[h] = here < least4[h] ? here : least4[h];
            }
        float least[8];
        std::memcpy(least, least4, sizeof least);
        int lane = 0;
        for (int l = 1; l < 8; ++l)
            if (least[l] < least[lane])
                lane = l;
        int lowest = lane;
        while (lowest < 160 && !(bound[lowest] == least[lane]))
            lowest += 8;
        if (lowest >= 160)
            lowest = lane;
        const std::uint8_t seed = static_cast<std::uint8_t>(lowest);
        k.scoreSplits(layout, prefix, n, &seed, 1, scores);
        // The keep-th least score of the seed group (+infinity when it has fewer).
        float lowestScores[kMaxKeep];
        int found = 0;
        const kernels::SplitGroup& seedGroup = layout.group[lowest];
        for (int e = seedGroup.first; e < seedGroup.first + 8 * seedGroup.chunks; ++e) {
            const float score = scores[e];
            if (!(score < never) || (found == keep && score >= lowestScores[found - 1]))
                continue;
            int j = found < keep ? found++ : found - 1;
            while (j > 0 && lowestScores[j - 1] > score) {
                lowestScores[j] = lowestScores[j - 1];
                --j;
            }
            lowestScores[j] = score;
        }
        const float kth = found == keep ? lowestScores[keep - 1] : never;
        const float reach = kth < never ? kth + margin : never;
        // Four groups at a time: the taken ones' numbers packed to the front of one 32-bit word
        // (from a table by the four-bit mask) and written whole, the count advanced by how many.
        // The seed group is always listed (its bound made -infinity); the padding groups past
        // the last (+infinity) are taken only when every group is, and then come last and are cut.
        struct Packed {
            std::array<std::uint32_t, 16> lanes{};
            std::array<std::uint8_t, 16> count{};
        };
        static constexpr Packed packed = [] {
            Packed table;
            for (unsigned mask = 0; mask < 16; ++mask)
                for (unsigned lane = 0; lane < 4; ++lane)
                    if (mask & (1u << lane))
                        table.lanes[mask] |= lane << (8 * table.count[mask]++);
            return table;
        }();
        bound[lowest] = -never;
        std::uint8_t listed[160 + 4];
        int count = 0;
        const Float4 reach4{reach, reach, reach, reach};
        const Int4 laneBits{1, 2, 4, 8};
        for (int g = 0; g < layout.groupCount; g += 4) {
            Float4 here;
            std::memcpy(&here, bound + g, sizeof here);
            Int4 bits = ~(here > reach4) & laneBits;
            bits |= __builtin_shufflevector(bits, bits, 2, 3, 0, 1);
            bits |= __builtin_shufflevector(bits, bits, 1, 0, 3, 2);
            const unsigned mask = static_cast<unsigned>(bits[0]);
            const std::uint32_t word = packed.lanes[mask] + 0x01010101u * static_cast<std::uint32_t>(g);
            std::memcpy(listed + count, &word, sizeof word);
            count += packed.count[mask];
        }
        count = std::min(count, layout.groupCount);
        k.scoreSplits(layout, prefix, n, listed, count, scores);
        // The best `keep` in entry order, the earlier of equal scores first. A chunk of eight
        // none of which scores below the keep-th least so far (or is finite, while fewer are
        // kept) is passed over whole: none of its entries would be taken.
        for (int listing = 0; listing < count; ++listing) {
            const kernels::SplitGroup& group = layout.group[listed[listing]];
            for (int e = group.first; e < group.first + 8 * group.chunks; ++e) {
                if (e % 8 == 0) {
                    const float limit = kept == keep ? scores[top[kept - 1]] : never;
                    Float4 low, high;
                    std::memcpy(&low, scores + e, sizeof low);
                    std::memcpy(&high, scores + e + 4, sizeof high);
                    const Int4 below = (low < limit) | (high < limit);
                    if ((below[0] | below[1] | below[2] | below[3]) == 0) {
                        e += 7;
                        continue;
                    }
                }
                const float score = scores[e];
                if (!(score < never) || (kept == keep && score >= scores[top[kept - 1]]))
                    continue;
                int j = kept < keep ? kept++ : kept - 1;
                while (j > 0 && scores[top[j - 1]] > score) {
                    top[j] = top[j - 1];
                    --j;
                }
                top[j] = e;
            }
        }
    }

    for (int s = 0; s < kept; ++s) {
        Candidate c;
        c.e = best.e;
        const int e = top[s];
        const int n0 = layout.n0[e], e2 = n0 + layout.n2[e], e3 = e2 + layout.n3[e];
        // Each texel's index by its place in the order (the padding slots keep 0), four at a
        // time; the runs' counts and sums from the running sums, which hold whole numbers
        // exactly: the moments the indices give.
        using Byte4 = std::uint8_t __attribute__((vector_size(4)));
        const Int4 slot{0, 1, 2, 3};
        for (int q = 0; q < 4; ++q) {
            Int4 at;
            std::memcpy(&at, place + 4 * q, sizeof at);
            const Int4 entry = at < n0 ? Int4{} : at < e2 ? Int4{} + 2 : at < e3 ? Int4{} + 3 : Int4{} + 1;
            const Byte4 bytes = __builtin_convertvector((slot + 4 * q) < n ? entry : Int4{}, Byte4);
            std::memcpy(c.index + 4 * q, &bytes, sizeof bytes);
        }
        Moments m;
        const int edge[5] = {0, n0, e2, e3, n};
        constexpr int kRunEntry[4] = {0, 2, 3, 1};
        for (int run = 0; run < 4; ++run) {
            const int entry = kRunEntry[run];
            m.n[entry] = edge[run + 1] - edge[run];
            for (int ch = 0; ch < 3; ++ch)
                m.s[ch][entry] = static_cast<int>(prefix.sum[ch][edge[run + 1]] - prefix.sum[ch][edge[run]]);
        }
        invertNormals(m);
        if (!solveThenAssign(k, t, m, 1, c))
            refine(k, t, c, 1, 8);
        if (c.error < best.error)
            best = c;
    }
}

// ---- Block assembly ---------------------------------------------------------------------

bool isSingleColour(const BlockTexels& t)
{
    for (int i = 1; i < t.count; ++i)
        for (int ch = 0; ch < 3; ++ch)
            if (t.c[ch][i] != t.c[ch][0])
                return false;
    return true;
}

// Fills `t` with the texels that exist and returns whether they share one colour.
bool gatherTexels(const StartKernels& s, const std::uint8_t* bgra64, std::uint16_t validMask, BlockTexels& t)
{
    if (validMask == 0xFFFF)
        return s.gatherWhole(bgra64, t);
    t.count = 0;
    for (int i = 0; i < 16; ++i) {
        if (!(validMask & (1u << i)))
            continue;
        t.position[t.count] = static_cast<std::uint8_t>(i);
        t.c[0][t.count] = bgra64[4 * i + 2];
        t.c[1][t.count] = bgra64[4 * i + 1];
        t.c[2][t.count] = bgra64[4 * i];
        ++t.count;
    }
    const int first = t.count > 0 ? t.position[0] : 0;
    for (int i = t.count; i < 16; ++i) {
        t.position[i] = static_cast<std::uint8_t>(first);
        t.c[0][i] = bgra64[4 * first + 2];
        t.c[1][i] = bgra64[4 * first + 1];
        t.c[2][i] = bgra64[4 * first];
    }
    for (int i = 0; i < 16; ++i) {
        t.valid[i] = i < t.count;
        t.counts[i] = i < t.count ? 1.0f : 0.0f;
        t.existing[i] = i < t.count ? 0xFF : 0;
        for (int ch = 0; ch < 3; ++ch)
            t.cf[ch][i] = static_cast<float>(t.c[ch][i]);
    }
    return isSingleColour(t);
}

// The default setting after its refinement: the other placements, and the cluster search
// for busy blocks (above about 5.5 levels of error per texel), where refinement most often
// stops short; its best split costs little next to them. `axisOf` gives the principal axis.
template <typename AxisOf>
void finishDefault(const Kernels& k, const BlockTexels& t, const ChannelSums& sums, const AxisOf& axisOf, Candidate& best,
                   const Moments* known = nullptr, const kernels::PlacementSquares* ahead = nullptr)
{
    tryOtherPlacements(k, t, sums, best, 1, 2, known, ahead);
    if (best.error > 30.0f * static_cast<float>(t.count))
        clusterSearch(k, t, axisOf(), best, 1);
}

Candidate chooseColours(const Kernels& k, const StartKernels& s, const BlockTexels& t, bool singleColour, Quality q)
{
    Candidate best;
    if (singleColour) {
        const int colour[3] = {t.c[0][0], t.c[1][0], t.c[2][0]};
        encodeSingleColour(colour, t.count, best);
        return best;
    }
    // Integer sums over the texels that exist: exact, whatever the path computing them.
    ChannelSums sums;
    k.channelSums(t, sums.sum, sums.products);
    const Axis axis = principalAxis(s, t, sums);
    startAlong(s, t, axis, best, true);
    const bool settled = solveThenAssign(k, t, momentsOf(k, t, best.index), q == Quality::Fast ? 0 : 1, best);
    switch (q) {
    case Quality::Fast:
        break;
    case Quality::Default:
        if (!settled)
            refine(k, t, best, 1, 4);
        finishDefault(k, t, sums, [&axis] { return axis; }, best);
        break;
    case Quality::Best:
        if (!settled)
            refine(k, t, best, 1, 8);
        clusterSearch(k, t, axis, best, 4);
        break;
    }
    return best;
}

std::uint16_t packColour(const int f[3])
{
    return static_cast<std::uint16_t>((f[0] << 11) | (f[1] << 5) | f[2]);
}

// Writes the candidate's endpoints and the indices of the texels in `position` order (all 16
// in block order when `position` is null) to a cleared block.
void writeColourBlock(Candidate& c, int count, const std::uint8_t* position, std::uint8_t* out8)
{
    std::uint16_t c0 = packColour(c.e.f[0]);
    std::uint16_t c1 = packColour(c.e.f[1]);
    // The game decodes the swapped block to the same texels (colours 2 and 3 trade
    // places with the endpoints). Putting the larger colour first lets decoders with a
    // three-colour mode read the block the same way too, unless both colours are equal.
    if (c0 < c1) {
        std::swap(c0, c1);
        for (int i = 0; i < count; ++i)
            c.index[i] ^= 1;
    }
    out8[0] = static_cast<std::uint8_t>(c0);
    out8[1] = static_cast<std::uint8_t>(c0 >> 8);
    out8[2] = static_cast<std::uint8_t>(c1);
    out8[3] = static_cast<std::uint8_t>(c1 >> 8);
    if (count == 16) {
        for (int y = 0; y < 4; ++y)
            out8[4 + y] = static_cast<std::uint8_t>(c.index[4 * y] | (c.index[4 * y + 1] << 2) | (c.index[4 * y + 2] << 4) |
                                                    (c.index[4 * y + 3] << 6));
        return;
    }
    for (int i = 0; i < count; ++i) {
        const int pos = position[i];
        out8[4 + pos / 4] = static_cast<std::uint8_t>(out8[4 + pos / 4] | (c.index[i] << (2 * (pos % 4))));
    }
}

void encodeColourBlock(const Kernels& k, const StartKernels& s, const std::uint8_t* bgra64, std::uint8_t* out8, Quality q,
                       std::uint16_t validMask)
{
    std::memset(out8, 0, 8);
    BlockTexels t;
    const bool singleColour = gatherTexels(s, bgra64, validMask, t);
    if (t.count == 0)
        return;
    Candidate c = chooseColours(k, s, t, singleColour, q);
    writeColourBlock(c, t.count, t.position, out8);
}

}  // namespace

namespace kernels {

void encodeColourBlockWith(Isa isa, const std::uint8_t* bgra64, std::uint8_t* out8, Quality q, std::uint16_t validMask)
{
    encodeColourBlock(kernelsFor(isa), startKernelsFor(isa), bgra64, out8, q, validMask);
}

void finishDefaultBlock(Isa isa, const std::uint8_t* bgra64, const DefaultStart& start, std::uint8_t* out8,
                        const PlacementSquares* squares)
{
    const Kernels& k = kernelsFor(isa);
    const StartKernels& s = startKernelsFor(isa);
    BlockTexels t;
    s.gatherWhole(bgra64, t);
    ChannelSums sums;
    std::memcpy(sums.sum, start.sum, sizeof sums.sum);
    std::memcpy(sums.products, start.products, sizeof sums.products);
    Candidate best;
    for (int end = 0; end < 2; ++end)
        for (int ch = 0; ch < 3; ++ch)
            best.e.f[end][ch] = start.field[end][ch];
    std::memcpy(best.index, start.index, sizeof best.index);
    best.error = start.error;
    Moments moments;
    std::memcpy(moments.n, start.count, sizeof moments.n);
    std::memcpy(moments.s, start.entrySum, sizeof moments.s);
    invertNormals(moments);
    // The axis only for the blocks that reach the cluster search.
    finishDefault(k, t, sums, [&s, &t, &sums] { return principalAxis(s, t, sums); }, best, &moments, squares);
    std::memset(out8, 0, 8);
    writeColourBlock(best, t.count, t.position, out8);
}

void listPlacements(const DefaultStart& start, PlacementSquares& out)
{
    unsigned inUse = 0;
    for (int entry = 0; entry < 4; ++entry)
        inUse |= (start.count[entry] > 0 ? 1u : 0u) << entry;
    const PlacementList& list = kPlacementLists[inUse];
    out.listed = list.listed;
    if (list.listed == 0)
        return;
    ChannelSums sums;
    std::memcpy(sums.sum, start.sum, sizeof sums.sum);
    std::memcpy(sums.products, start.products, sizeof sums.products);
    out.squares = ownSquares(sums);
    for (int p = 0; p < 5; ++p)
        for (int k = 0; k < 4; ++k)
            out.entry[p].remap[k] = static_cast<std::uint8_t>(list.remap[p][k]);
}

void encodeSingleColourBlock(int red, int green, int blue, std::uint8_t* out8)
{
    const int colour[3] = {red, green, blue};
    Candidate c;
    encodeSingleColour(colour, 16, c);
    std::memset(out8, 0, 8);
    writeColourBlock(c, 16, nullptr, out8);
}

}  // namespace kernels

void encodeDxt1Block(const std::uint8_t* bgra64, std::uint8_t* out8, Quality q, std::uint16_t validMask)
{
    encodeColourBlock(kernels::kernelsFor(kernels::detectedIsa()), kernels::startKernelsFor(kernels::detectedIsa()), bgra64, out8, q, validMask);
}

void encodeDxt3Block(const std::uint8_t* bgra64, std::uint8_t* out16, Quality q, std::uint16_t validMask)
{
    for (int y = 0; y < 4; ++y) {
        unsigned row = 0;
        for (int x = 0; x < 4; ++x) {
            const int i = 4 * y + x;
            if (!(validMask & (1u << i)))
                continue;
            row |= kernels::alphaNibble(bgra64[4 * i + 3]) << (4 * x);
        }
        out16[2 * y] = static_cast<std::uint8_t>(row);
        out16[2 * y + 1] = static_cast<std::uint8_t>(row >> 8);
    }
    encodeColourBlock(kernels::kernelsFor(kernels::detectedIsa()), kernels::startKernelsFor(kernels::detectedIsa()), bgra64, out16 + 8, q, validMask);
}

}  // namespace dxt
