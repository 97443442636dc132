#include "codecs/DxtBlock.h"

#include "codecs/DxtTables.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace dxt {

namespace {

using namespace tables;

// Channel order inside the encoder: 0 red (5 bits), 1 green (6 bits), 2 blue (5 bits).
// Error weights in thousandths: 0.309, 0.609, 0.082 as integers, so that errors add up
// exactly and every thread and build chooses the same block.
constexpr int kWeight[3] = {309, 609, 82};
constexpr int kFieldMax[3] = {31, 63, 31};

int expandField(int ch, int f)
{
    return ch == 1 ? kExpand6[f] : kExpand5[f];
}

int mixField(int ch, int a, int b)
{
    return ch == 1 ? kMix6[a * 64 + b] : kMix5[a * 32 + b];
}

// The texels of a block that exist, by channel.
struct BlockTexels {
    int count = 0;
    std::uint8_t position[16] = {};
    int c[3][16] = {};
};

// Endpoint fields: f[0] is c0, f[1] is c1, each red, green, blue.
struct Endpoints {
    int f[2][3] = {};
};

struct Palette {
    int c[4][3];
};

Palette paletteOf(const Endpoints& e)
{
    Palette p;
    for (int ch = 0; ch < 3; ++ch) {
        const int a = e.f[0][ch], b = e.f[1][ch];
        p.c[0][ch] = expandField(ch, a);
        p.c[1][ch] = expandField(ch, b);
        p.c[2][ch] = mixField(ch, a, b);
        p.c[3][ch] = mixField(ch, b, a);
    }
    return p;
}

// Gives each texel its nearest palette colour (the lowest index among equals) and
// returns the block's weighted squared error.
std::uint32_t assignIndices(const BlockTexels& t, const Endpoints& e, std::uint8_t* index)
{
    const Palette p = paletteOf(e);
    std::uint32_t total = 0;
    for (int i = 0; i < t.count; ++i) {
        std::uint32_t best = UINT32_MAX;
        int bestIndex = 0;
        for (int k = 0; k < 4; ++k) {
            const int dr = p.c[k][0] - t.c[0][i];
            const int dg = p.c[k][1] - t.c[1][i];
            const int db = p.c[k][2] - t.c[2][i];
            const auto err = static_cast<std::uint32_t>(kWeight[0] * dr * dr + kWeight[1] * dg * dg + kWeight[2] * db * db);
            if (err < best) {
                best = err;
                bestIndex = k;
            }
        }
        index[i] = static_cast<std::uint8_t>(bestIndex);
        total += best;
    }
    return total;
}

// With the indices fixed, the channels are independent: the squared error of one channel
// is sum over palette entries k of n[k] p[k]^2 - 2 s[k] p[k] plus a constant, where n[k]
// counts the texels using entry k and s[k] sums their values.
struct Moments {
    int n[4] = {};
    int s[3][4] = {};
};

Moments momentsOf(const BlockTexels& t, const std::uint8_t* index)
{
    Moments m;
    for (int i = 0; i < t.count; ++i) {
        const int k = index[i];
        ++m.n[k];
        for (int ch = 0; ch < 3; ++ch)
            m.s[ch][k] += t.c[ch][i];
    }
    return m;
}

int channelCost(const Moments& m, int ch, int a, int b)
{
    const int p0 = expandField(ch, a), p1 = expandField(ch, b);
    const int p2 = mixField(ch, a, b), p3 = mixField(ch, b, a);
    const int* s = m.s[ch];
    return m.n[0] * p0 * p0 - 2 * s[0] * p0 + m.n[1] * p1 * p1 - 2 * s[1] * p1 + m.n[2] * p2 * p2 - 2 * s[2] * p2 +
           m.n[3] * p3 * p3 - 2 * s[3] * p3;
}

// Nearest field for an 8-bit target under the decoder's expansion.
template <int Bits>
constexpr std::array<std::uint8_t, 256> makeQuantise()
{
    const auto expand = makeExpand<Bits>();
    std::array<std::uint8_t, 256> q{};
    for (int v = 0; v < 256; ++v) {
        int best = 0;
        for (int f = 1; f < (1 << Bits); ++f)
            if (std::abs(expand[f] - v) < std::abs(expand[best] - v))
                best = f;
        q[v] = static_cast<std::uint8_t>(best);
    }
    return q;
}

constexpr std::array<std::uint8_t, 256> kQuantise5 = makeQuantise<5>();
constexpr std::array<std::uint8_t, 256> kQuantise6 = makeQuantise<6>();

int quantiseField(int ch, double value)
{
    const int v = std::clamp(static_cast<int>(std::lround(value)), 0, 255);
    return ch == 1 ? kQuantise6[v] : kQuantise5[v];
}

// Least-squares estimate of the expanded endpoint values for one channel, modelling the
// decoder's colours 2 and 3 as 0.66 a + 0.33 b and 0.33 a + 0.66 b less half a step of
// truncation. Returns false when the indices leave the endpoints undetermined.
bool leastSquares(const Moments& m, int ch, double& a, double& b)
{
    constexpr double n2 = 0.66, f2 = 0.33;
    const double c2 = m.n[2], c3 = m.n[3];
    const double m11 = m.n[0] + n2 * n2 * c2 + f2 * f2 * c3;
    const double m12 = n2 * f2 * (c2 + c3);
    const double m22 = m.n[1] + f2 * f2 * c2 + n2 * n2 * c3;
    const double t2 = m.s[ch][2] + 0.5 * c2, t3 = m.s[ch][3] + 0.5 * c3;
    const double r1 = m.s[ch][0] + n2 * t2 + f2 * t3;
    const double r2 = m.s[ch][1] + f2 * t2 + n2 * t3;
    const double det = m11 * m22 - m12 * m12;
    if (det < 1e-3)
        return false;
    a = (r1 * m22 - r2 * m12) / det;
    b = (m11 * r2 - m12 * r1) / det;
    return true;
}

// Best endpoint fields of one channel for fixed indices, searched in a square of
// fields around the least-squares estimate; the current fields stay when nothing
// in the square is better.
void solveChannel(const Moments& m, int ch, int radius, Endpoints& e)
{
    int bestA = e.f[0][ch], bestB = e.f[1][ch];
    int best = channelCost(m, ch, bestA, bestB);
    int centreA = bestA, centreB = bestB;
    double a, b;
    if (leastSquares(m, ch, a, b)) {
        centreA = quantiseField(ch, a);
        centreB = quantiseField(ch, b);
    }
    const int hi = kFieldMax[ch];
    for (int fa = std::max(0, centreA - radius); fa <= std::min(hi, centreA + radius); ++fa)
        for (int fb = std::max(0, centreB - radius); fb <= std::min(hi, centreB + radius); ++fb) {
            const int cost = channelCost(m, ch, fa, fb);
            if (cost < best) {
                best = cost;
                bestA = fa;
                bestB = fb;
            }
        }
    e.f[0][ch] = bestA;
    e.f[1][ch] = bestB;
}

struct Candidate {
    Endpoints e;
    std::uint8_t index[16] = {};
    std::uint32_t error = UINT32_MAX;
};

// Alternates between the best endpoints for the indices and the best indices for the
// endpoints until the error stops falling; each step can only lower it.
void refine(const BlockTexels& t, Candidate& c, int radius, int maxRounds)
{
    for (int round = 0; round < maxRounds; ++round) {
        const Moments m = momentsOf(t, c.index);
        Candidate next;
        next.e = c.e;
        for (int ch = 0; ch < 3; ++ch)
            solveChannel(m, ch, radius, next.e);
        next.error = assignIndices(t, next.e, next.index);
        if (next.error >= c.error)
            return;
        c = next;
    }
}

// ---- Blocks of one colour -------------------------------------------------------------

// For every 8-bit target and channel width, the endpoint fields whose decoded colour comes
// closest, once as an endpoint (index 0) and once as colour 2 (index 2; colour 3 is the
// same with the endpoints swapped). Built once, on first use.
struct SingleColourEntry {
    std::uint8_t a = 0, b = 0;
    std::uint16_t error = 0;  // squared channel error
};

struct SingleColourTables {
    SingleColourEntry endpoint[2][256];  // [0] 5-bit, [1] 6-bit
    SingleColourEntry mixed[2][256];
};

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
                SingleColourEntry& mx = s.mixed[wide][v];
                mx.error = UINT16_MAX;
                // Among equally good pairs take one with different fields, so that the
                // block does not look like a flat three-colour block to other decoders.
                for (int a = 0; a < fields; ++a)
                    for (int b = 0; b < fields; ++b) {
                        const int d = mixField(ch, a, b) - v;
                        if (d * d < mx.error || (d * d == mx.error && mx.a == mx.b && a != b))
                            mx = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b), static_cast<std::uint16_t>(d * d)};
                    }
            }
        }
        return s;
    }();
    return tables;
}

// The best any block can do for a single colour: every texel takes the same palette
// entry, and the channels' fields are independent once that entry is chosen.
void encodeSingleColour(const BlockTexels& t, Candidate& c)
{
    const SingleColourTables& s = singleColourTables();
    std::uint32_t errEndpoint = 0, errMixed = 0;
    for (int ch = 0; ch < 3; ++ch) {
        const int v = t.c[ch][0];
        errEndpoint += static_cast<std::uint32_t>(kWeight[ch] * s.endpoint[ch == 1][v].error);
        errMixed += static_cast<std::uint32_t>(kWeight[ch] * s.mixed[ch == 1][v].error);
    }
    const bool mixed = errMixed < errEndpoint;
    for (int ch = 0; ch < 3; ++ch) {
        const SingleColourEntry& entry = (mixed ? s.mixed : s.endpoint)[ch == 1][t.c[ch][0]];
        c.e.f[0][ch] = entry.a;
        c.e.f[1][ch] = entry.b;
    }
    std::fill(c.index, c.index + 16, static_cast<std::uint8_t>(mixed ? 2 : 0));
    c.error = static_cast<std::uint32_t>(t.count) * std::min(errEndpoint, errMixed);
}

// ---- The principal axis start -----------------------------------------------------------

// Endpoints at the two texels lying furthest apart along the principal axis of the
// texels' colours, measured in the weighted space so that green counts most.
Endpoints principalAxisEndpoints(const BlockTexels& t)
{
    static const double scale[3] = {std::sqrt(0.309), std::sqrt(0.609), std::sqrt(0.082)};
    double mean[3] = {};
    for (int ch = 0; ch < 3; ++ch) {
        for (int i = 0; i < t.count; ++i)
            mean[ch] += t.c[ch][i];
        mean[ch] /= t.count;
    }
    double cov[3][3] = {};
    for (int i = 0; i < t.count; ++i) {
        double d[3];
        for (int ch = 0; ch < 3; ++ch)
            d[ch] = (t.c[ch][i] - mean[ch]) * scale[ch];
        for (int r = 0; r < 3; ++r)
            for (int s = r; s < 3; ++s)
                cov[r][s] += d[r] * d[s];
    }
    cov[1][0] = cov[0][1];
    cov[2][0] = cov[0][2];
    cov[2][1] = cov[1][2];

    // Power iteration from the row of the largest variance.
    int start = 0;
    for (int ch = 1; ch < 3; ++ch)
        if (cov[ch][ch] > cov[start][start])
            start = ch;
    double v[3] = {cov[start][0], cov[start][1], cov[start][2]};
    for (int it = 0; it < 8; ++it) {
        double w[3];
        for (int r = 0; r < 3; ++r)
            w[r] = cov[r][0] * v[0] + cov[r][1] * v[1] + cov[r][2] * v[2];
        const double len = std::max({std::fabs(w[0]), std::fabs(w[1]), std::fabs(w[2])});
        if (len < 1e-12)
            break;
        for (int r = 0; r < 3; ++r)
            v[r] = w[r] / len;
    }

    int lo = 0, hi = 0;
    double minDot = 1e300, maxDot = -1e300;
    for (int i = 0; i < t.count; ++i) {
        double dot = 0;
        for (int ch = 0; ch < 3; ++ch)
            dot += t.c[ch][i] * scale[ch] * v[ch];
        if (dot < minDot) {
            minDot = dot;
            lo = i;
        }
        if (dot > maxDot) {
            maxDot = dot;
            hi = i;
        }
    }
    Endpoints e;
    for (int ch = 0; ch < 3; ++ch) {
        e.f[0][ch] = quantiseField(ch, t.c[ch][hi]);
        e.f[1][ch] = quantiseField(ch, t.c[ch][lo]);
    }
    return e;
}

// ---- Block assembly ---------------------------------------------------------------------

BlockTexels gatherTexels(const std::uint8_t* bgra64, std::uint16_t validMask)
{
    BlockTexels t;
    for (int i = 0; i < 16; ++i) {
        if (!(validMask & (1u << i)))
            continue;
        t.position[t.count] = static_cast<std::uint8_t>(i);
        t.c[0][t.count] = bgra64[4 * i + 2];
        t.c[1][t.count] = bgra64[4 * i + 1];
        t.c[2][t.count] = bgra64[4 * i];
        ++t.count;
    }
    return t;
}

bool isSingleColour(const BlockTexels& t)
{
    for (int i = 1; i < t.count; ++i)
        for (int ch = 0; ch < 3; ++ch)
            if (t.c[ch][i] != t.c[ch][0])
                return false;
    return true;
}

Candidate chooseColours(const BlockTexels& t, Quality q)
{
    Candidate best;
    if (isSingleColour(t)) {
        encodeSingleColour(t, best);
        return best;
    }
    best.e = principalAxisEndpoints(t);
    best.error = assignIndices(t, best.e, best.index);
    switch (q) {
    case Quality::Fast:
        refine(t, best, 1, 1);
        break;
    case Quality::Default:
    case Quality::Best:
        refine(t, best, 2, 8);
        break;
    }
    return best;
}

std::uint16_t packColour(const int f[3])
{
    return static_cast<std::uint16_t>((f[0] << 11) | (f[1] << 5) | f[2]);
}

void encodeColourBlock(const std::uint8_t* bgra64, std::uint8_t* out8, Quality q, std::uint16_t validMask)
{
    std::memset(out8, 0, 8);
    const BlockTexels t = gatherTexels(bgra64, validMask);
    if (t.count == 0)
        return;
    Candidate c = chooseColours(t, q);
    std::uint16_t c0 = packColour(c.e.f[0]);
    std::uint16_t c1 = packColour(c.e.f[1]);
    // The game decodes the swapped block to the same texels (colours 2 and 3 trade
    // places with the endpoints). Putting the larger colour first lets decoders with a
    // three-colour mode read the block the same way too, unless both colours are equal.
    if (c0 < c1) {
        std::swap(c0, c1);
        for (int i = 0; i < t.count; ++i)
            c.index[i] ^= 1;
    }
    out8[0] = static_cast<std::uint8_t>(c0);
    out8[1] = static_cast<std::uint8_t>(c0 >> 8);
    out8[2] = static_cast<std::uint8_t>(c1);
    out8[3] = static_cast<std::uint8_t>(c1 >> 8);
    for (int i = 0; i < t.count; ++i) {
        const int pos = t.position[i];
        out8[4 + pos / 4] = static_cast<std::uint8_t>(out8[4 + pos / 4] | (c.index[i] << (2 * (pos % 4))));
    }
}

}  // namespace

void encodeDxt1Block(const std::uint8_t* bgra64, std::uint8_t* out8, Quality q, std::uint16_t validMask)
{
    encodeColourBlock(bgra64, out8, q, validMask);
}

void encodeDxt3Block(const std::uint8_t* bgra64, std::uint8_t* out16, Quality q, std::uint16_t validMask)
{
    for (int y = 0; y < 4; ++y) {
        unsigned row = 0;
        for (int x = 0; x < 4; ++x) {
            const int i = 4 * y + x;
            if (!(validMask & (1u << i)))
                continue;
            // floor(alpha * 15 / 255 + 0.5) in integers; alpha / 17 is never exactly
            // halfway between two nibbles, so no tie arises.
            const unsigned nibble = (30u * bgra64[4 * i + 3] + 255u) / 510u;
            row |= nibble << (4 * x);
        }
        out16[2 * y] = static_cast<std::uint8_t>(row);
        out16[2 * y + 1] = static_cast<std::uint8_t>(row >> 8);
    }
    encodeColourBlock(bgra64, out16 + 8, q, validMask);
}

}  // namespace dxt
