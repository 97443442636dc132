#pragma once

#include "codecs/DxtBlock.h"

#include <array>
#include <cstddef>
#include <cstdint>

// The block compressor's two hot loops, once in plain C++ and once each for SSE4.1 and
// AVX2. The plain versions are the reference: the vector versions perform the same
// single-precision operations in the same order (no fused multiply-add, sums in the fixed
// tree order written down below), so all three give bit-identical results and the
// compressor's output does not depend on the machine it runs on.
//
// Internal to the codecs; the tests include it to compare the paths.
// The vector kernels exist for x86 processors; elsewhere their names stand for the plain
// kernels and supported() offers only Isa::Scalar.
#ifndef KORVIX_DXT_X86
#if defined(__x86_64__) || defined(__i386__)
#define KORVIX_DXT_X86 1
#else
#define KORVIX_DXT_X86 0
#endif
#endif

namespace dxt::kernels {

// The texels of a block that exist, by channel, packed to the front. The arrays are
// always filled to 16 (copies of the first texel, with `counts` 0) so that the loops
// over them have a fixed length.
struct BlockTexels {
    int count;
    std::uint8_t position[16];
    std::int32_t c[3][16];   // 0 red, 1 green, 2 blue
    float cf[3][16];         // the same as floats
    float counts[16];        // 1 for the texels that exist, else 0
    std::int32_t valid[16];  // the same as integers
    std::uint8_t existing[16];  // the same as bytes, 0xFF or 0
};

// Gives each texel its nearest colour of `palette` (red, green, blue as floats; the
// lowest index among equals) under the error 0.309 dr^2 + 0.609 dg^2 + 0.082 db^2, and
// returns the block's error summed over the existing texels. The sum runs as a tree:
// texel i with i + 8, then with i + 4, then i + 2, then the last pair.
using AssignFn = float (*)(const BlockTexels& t, const float palette[4][3], std::uint8_t* index);

// A block's cluster search scores every split of its texels, ordered along the axis, into
// runs for the palette entries 0, 2, 3 and 1. The splits of n texels are laid out in
// groups of equal (n0, n2), the run of n3 = 0, 1, ... inside a group padded to a multiple
// of 8 with entries that score +infinity (as do the splits that leave an endpoint free).
struct SplitGroup {
    std::uint8_t n0, e2;   // e2 = n0 + n2: where the run for entry 3 starts
    std::uint16_t first;   // first entry, a multiple of 8
    std::uint16_t chunks;  // entries / 8
};

struct SplitLayout {
    int groupCount = 0;
    int entries = 0;  // a multiple of 8
    SplitGroup group[153];
    // Per entry: the inverse of the normal matrix, half a step of truncation per texel
    // on entry 3 (entry 2's, 0.5 n2, is the same for a whole group), the offsets' own
    // share of the error (+infinity for a split not to be taken) and the runs' lengths.
    alignas(32) float i11[1600], i12[1600], i22[1600], half3[1600], bias[1600];
    std::uint8_t n0[1600], n2[1600], n3[1600];
};

// Running sums of red, green and blue along the axis order: sum[ch][j] over the first j
// texels, j = 0 ... n, then copies of the total up to index 31.
struct PrefixSums {
    alignas(32) float sum[3][32];
    // The same for the texels' weighted squares (w_r r^2 + w_g g^2 + w_b b^2), which only the
    // bounds below use.
    alignas(32) float squares[32];
};

// Writes the score of every entry of the listed groups of `layout` (groups[0 ... groupCount),
// in increasing order) to `scores` and returns the first entry of the least score among
// them, or -1 when none is finite. The score of a split is the residual of its
// least-squares endpoints, less what all splits share:
//   per channel, with s0 s2 s3 s1 the runs' sums, t2 = s2 + 0.5 n2, t3 = s3 + half3,
//   r1 = (s0 + 0.66 t2) + 0.33 t3, r2 = (s1 + 0.33 t2) + 0.66 t3,
//   part = w * ((s2 + s3) - (r1 * (r1 * i11 + (2 r2) * i12) + (r2 * r2) * i22)),
//   score = ((bias + part red) + part green) + part blue.
// The layout of the splits of n = 2 ... 16 texels, built once on first use.
const SplitLayout& splitLayout(int n);

using ScoreSplitsFn = int (*)(const SplitLayout& layout, const PrefixSums& prefix, int n, const std::uint8_t* groups, int groupCount,
                              float* scores);
// The search of the splits with one kept, from the groups' bounds (bound[g], as splitBounds
// gives them; the layout's groupCount values): it scores the first group of the least bound,
// then every other group whose bound lies within `margin` of the least score found there
// (when no split scores below its group's bound by more than the margin, no group passed over
// holds a score as low), and returns the first entry of the least score of them all, or -1
// when none is finite. Only the scored groups' entries of `scores` are written.
using SearchSplitsFn = int (*)(const SplitLayout& layout, const PrefixSums& prefix, int n, const float* bound, float margin, float* scores);
// The numbers 0 ... 152: every group of a layout listed.
inline constexpr std::array<std::uint8_t, 153> kEveryGroup = [] {
    std::array<std::uint8_t, 153> all{};
    for (int g = 0; g < 153; ++g)
        all[g] = static_cast<std::uint8_t>(g);
    return all;
}();

// Integer sums over the texels that exist: each channel's sum, and the sums of the
// products of the channel pairs (0, 0), (0, 1), (0, 2), (1, 1), (1, 2), (2, 2).
using ChannelSumsFn = void (*)(const BlockTexels& t, std::int32_t sum[3], std::int32_t products[6]);
// For each palette entry k, how many of the texels that exist have index k (count[k])
// and the sums of their channels (sum[ch][k]).
using EntrySumsFn = void (*)(const BlockTexels& t, const std::uint8_t* index, std::int32_t count[4], std::int32_t sum[3][4]);

// The three channels' endpoint search in one call (declared with its kernels at the end).
struct SquareScores;
using ScoreSquaresFn = void (*)(const std::int32_t count[4], const std::int32_t sum[3][4], const std::int32_t centre[3][2],
                                const std::int32_t field[2][3], SquareScores& out);

using SplitBoundsFn = void (*)(const PrefixSums& prefix, int n, float* bound);

// The cluster search's order: the texels that exist by their keys along `axis` (red, green,
// blue; the key t.cf[0] * axis[0] + t.cf[1] * axis[1] + t.cf[2] * axis[2]), the earlier of
// equal keys first. Writes the texel at each place (order[0 ... count)), each texel's place
// (place[0 ... count); place has room for 16) and the running sums along that order (the
// squares w_r r^2 + w_g g^2 + w_b b^2 of each texel computed as written). Every path gives
// the same bits.
using OrderAlongFn = void (*)(const BlockTexels& t, const float axis[3], std::uint8_t* order, std::int32_t* place, PrefixSums& prefix);

struct Kernels {
    AssignFn assign;
    ScoreSplitsFn scoreSplits;
    ChannelSumsFn channelSums;
    EntrySumsFn entrySums;
    ScoreSquaresFn scoreSquares;
    SplitBoundsFn splitBounds;
    SearchSplitsFn searchSplits;
    OrderAlongFn orderAlong;
};

enum class Isa { Scalar, Sse41, Avx2 };

// The best instruction set this processor offers, detected once (KORVIX_DXT_ISA = scalar or
// sse4.1 in the environment holds it lower).
Isa detectedIsa();
// Whether this processor can run `isa`'s kernels.
bool supported(Isa isa);
// The kernels of `isa`, which must be supported.
const Kernels& kernelsFor(Isa isa);

void channelSumsScalar(const BlockTexels& t, std::int32_t sum[3], std::int32_t products[6]);
void channelSumsAvx2(const BlockTexels& t, std::int32_t sum[3], std::int32_t products[6]);
void entrySumsScalar(const BlockTexels& t, const std::uint8_t* index, std::int32_t count[4], std::int32_t sum[3][4]);
void entrySumsAvx2(const BlockTexels& t, const std::uint8_t* index, std::int32_t count[4], std::int32_t sum[3][4]);
void entrySumsSse41(const BlockTexels& t, const std::uint8_t* index, std::int32_t count[4], std::int32_t sum[3][4]);
float assignScalar(const BlockTexels& t, const float palette[4][3], std::uint8_t* index);
int scoreSplitsScalar(const SplitLayout& layout, const PrefixSums& prefix, int n, const std::uint8_t* groups, int groupCount,
                      float* scores);
float assignSse41(const BlockTexels& t, const float palette[4][3], std::uint8_t* index);
int scoreSplitsSse41(const SplitLayout& layout, const PrefixSums& prefix, int n, const std::uint8_t* groups, int groupCount,
                     float* scores);
float assignAvx2(const BlockTexels& t, const float palette[4][3], std::uint8_t* index);
int scoreSplitsAvx2(const SplitLayout& layout, const PrefixSums& prefix, int n, const std::uint8_t* groups, int groupCount,
                    float* scores);
void orderAlongScalar(const BlockTexels& t, const float axis[3], std::uint8_t* order, std::int32_t* place, PrefixSums& prefix);
void orderAlongAvx2(const BlockTexels& t, const float axis[3], std::uint8_t* order, std::int32_t* place, PrefixSums& prefix);
int searchSplitsScalar(const SplitLayout& layout, const PrefixSums& prefix, int n, const float* bound, float margin, float* scores);
int searchSplitsSse41(const SplitLayout& layout, const PrefixSums& prefix, int n, const float* bound, float margin, float* scores);
int searchSplitsAvx2(const SplitLayout& layout, const PrefixSums& prefix, int n, const float* bound, float margin, float* scores);

// The decoder: a colour block into 4 rows of 4 texels, row r at rows[r] + offset, with
// alpha from the 8 alpha bytes of a DXT3 block when `alpha8` is given, else 255.
// paletteOf gives the block's four colours as blue | green << 8 | red << 16 (alpha 0).
using DecodeFn = void (*)(const std::uint8_t* colour8, const std::uint8_t* alpha8, std::uint8_t* const* rows,
                          std::size_t offset);
void paletteOf(const std::uint8_t* colour8, std::uint32_t palette[4]);
void decodeScalar(const std::uint8_t* colour8, const std::uint8_t* alpha8, std::uint8_t* const* rows, std::size_t offset);
// Needs SSE4.1 and a little-endian machine (which every SSE4.1 machine is).
void decodeSse41(const std::uint8_t* colour8, const std::uint8_t* alpha8, std::uint8_t* const* rows, std::size_t offset);
// The decoder this machine uses (the vector one where it can run).
DecodeFn decoder();

// encodeDxt1Block with the kernels of `isa`, which must be supported.
void encodeColourBlockWith(Isa isa, const std::uint8_t* bgra64, std::uint8_t* out8, Quality q,
                           std::uint16_t validMask = 0xFFFF);

// The error weights, red, green, blue.
inline constexpr float kWeight[3] = {0.309f, 0.609f, 0.082f};

// ---- The endpoint search of all three channels in one call ----------------------------

// For fixed indices, with count[k] texels on palette entry k and sum[ch][k] the sum of their
// channel ch (0 red with 5-bit fields, 1 green with 6, 2 blue with 5), the score of a field
// pair (a, b) is the channel's error less what every pair shares,
//   sum over k of p[k] (count[k] p[k] - 2 sum[ch][k]),
// p being the pair's four palette values (the channel's kChannelPalettes word). For each
// channel the kernel scores the 3 x 3 pairs (centre[ch][0] - 1 + i, centre[ch][1] - 1 + j),
// i, j = 0 ... 2, that lie inside the field range (the centre always does), and the present
// fields field[0][ch] (c0) and field[1][ch] (c1). In integers, so every path gives the same
// answer; count and sum are those of at most 16 texels (the vector paths hold the terms in
// 16 bits).
struct SquareScores {
    std::int32_t least[4];    // per channel, the least score of the pairs
    std::int32_t pair[4];     // the first pair of that score in the order i, then j, as 3 i + j
    std::int32_t present[4];  // the score of the present fields
    std::int32_t centre[4];   // the score of the centre pair (pair 4)
};

void scoreSquaresScalar(const std::int32_t count[4], const std::int32_t sum[3][4], const std::int32_t centre[3][2],
                        const std::int32_t field[2][3], SquareScores& out);
void scoreSquaresAvx2(const std::int32_t count[4], const std::int32_t sum[3][4], const std::int32_t centre[3][2],
                      const std::int32_t field[2][3], SquareScores& out);
void scoreSquaresSse41(const std::int32_t count[4], const std::int32_t sum[3][4], const std::int32_t centre[3][2],
                       const std::int32_t field[2][3], SquareScores& out);

// ---- Lower bounds for the cluster search ----------------------------------------------

// Whatever its endpoints, a split gives each of its four runs one colour, so its residual is
// at least the runs' own spread: the weighted squared distances of their texels from the
// runs' means. For each group of splitLayout(n), in its order (n0, then n2), splitBounds
// writes the spread of runs 0 and 2 plus the least spread of the rest cut into two runs,
// less the texels' weighted squares (what the scores leave out): no split of the group
// scores below it by more than boundMargin, which covers the rounding of the scores and of
// the bounds in single precision. The plain version works four runs at a time, the AVX2 one
// eight, with the same operations per run: the same bounds. `bound` has room for the
// layout's groupCount + 7 values.
void splitBounds(const PrefixSums& prefix, int n, float* bound);
void splitBoundsAvx2(const PrefixSums& prefix, int n, float* bound);
float boundMargin(const PrefixSums& prefix, int n);

}  // namespace dxt::kernels

// ---- The fast setting, several blocks at once ----------------------------------------------

namespace dxt::kernels {

// Encodes `count` whole blocks lying side by side with Quality::Fast: texel (x, y) of block b
// is at pixels + y * stride + 16 * b + 4 * x (blue, green, red, alpha), and block b's 8-byte
// colour block goes to out + b * outStride. The vector versions run one block per lane
// (eight for AVX2, four for SSE4.1) with the plain encoder's operations in its order, so
// every block comes out bit for bit as encodeColourBlockWith(Isa::Scalar, ..., Fast) gives it.
using FastBlocksFn = void (*)(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out,
                              std::size_t outStride);
void fastBlocksScalar(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out, std::size_t outStride);
void fastBlocksSse41(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out, std::size_t outStride);
void fastBlocksAvx2(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out, std::size_t outStride);
// The version for `isa`, which must be supported.
FastBlocksFn fastBlocksFor(Isa isa);

// The same for Quality::Default: the start, the first endpoint search and the refinement
// rounds run one block per lane (bit for bit as the plain encoder), then each block that is
// not a single colour and not done goes on alone (other placements, the cluster search of
// busy blocks) through finishDefaultBlock, the screens and endpoint searches of its other
// placements made ahead, one placement per lane, gathered from the blocks of several batches. Every block comes out as encodeColourBlockWith(Isa::Scalar,
// ..., Default) gives it.
using DefaultBlocksFn = FastBlocksFn;
void defaultBlocksScalar(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out, std::size_t outStride);
void defaultBlocksSse41(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out, std::size_t outStride);
void defaultBlocksAvx2(const std::uint8_t* pixels, std::size_t stride, int count, std::uint8_t* out, std::size_t outStride);
DefaultBlocksFn defaultBlocksFor(Isa isa);

// What the lanes hand on for a whole block: the endpoint fields (c0, c1; red, green, blue),
// the indices of the 16 texels, their error, how many texels use each palette entry and the
// sums of their channels (as entrySums gives them), and the block's channel sums and sums of
// products (as channelSums gives them).
struct DefaultStart {
    std::uint8_t field[2][3];
    std::uint8_t index[16];
    float error;
    std::int32_t count[4];
    std::int32_t entrySum[3][4];
    std::int32_t sum[3];
    std::int32_t products[6];
};
// Finishes a whole block (bgra64, 16 texels) of the default setting from that state with the
// kernels of `isa` and writes its colour block to out8.
// `squares`, when given, holds the endpoint searches of the block's other placements made
// ahead (listPlacements, then the scores filled in): the same as the block would make them.
struct PlacementSquares;
void finishDefaultBlock(Isa isa, const std::uint8_t* bgra64, const DefaultStart& start, std::uint8_t* out8,
                        const PlacementSquares* squares = nullptr);

// A placement of the default setting (its indices moved to other palette entries) is
// followed up only while its error with the moved indices, before they are chosen anew, stays
// below 1 / kPlacementKeep times the best error so far.
inline constexpr float kPlacementKeep = 0.6f;

// The other placements of a block from that state, in the order finishDefaultBlock tries
// them, so that their screens and endpoint searches can be made ahead for many blocks side
// by side: each placement to try is listed with the remap of its entries. Before the block
// is finished, each is to be given what the block's own screens and endpoint search would
// make of it: `gate`, the larger of kPlacementKeep times its least-squares fit error (as
// fitError gives it; infinite when the moved indices leave an endpoint free) and
// kPlacementKeep times the exact error of the fields the centre step keeps (as scoredError
// gives it), so that the placement is followed up exactly when gate < the best error so far
// (the endpoint search's later step can only lower that error); and `field`, the endpoint
// fields after both steps (c0, c1; red, green, blue).
struct PlacementSquare {
    std::uint8_t remap[4];
    float gate;
    std::uint8_t field[2][3];
};
struct PlacementSquares {
    PlacementSquare entry[5];
    unsigned listed = 0;  // bit p: placement p is listed
    float squares = 0;    // the block's own weighted squares, which every error shares
};
void listPlacements(const DefaultStart& start, PlacementSquares& out);

// For every 8-bit target and channel width, the endpoint fields whose decoded colour comes
// closest, once as an endpoint (index 0, fields a = b, the lowest of the least error) and
// once as colour 2 (index 2; colour 3 is the same with the endpoints swapped): the first
// pair (a, then b) of the least error, or the first such pair of two different fields when
// the first has equal ones. Built once, on first use.
struct SingleColourEntry {
    std::uint8_t a = 0, b = 0;
    std::uint16_t error = 0;  // squared channel error
};

struct SingleColourTables {
    SingleColourEntry endpoint[2][256];  // [0] 5-bit, [1] 6-bit
    SingleColourEntry mixed[2][256];
};

const SingleColourTables& singleColourTables();

// The block every setting gives 16 texels of one colour (channels 0 to 255).
void encodeSingleColourBlock(int red, int green, int blue, std::uint8_t* out8);

// A DXT3 alpha nibble: floor(alpha * 15 / 255 + 0.5) in integers; alpha / 17 is never
// exactly halfway between two nibbles, so no tie arises.
inline unsigned alphaNibble(unsigned alpha)
{
    return (30u * alpha + 255u) / 510u;
}

}  // namespace dxt::kernels

// ---- The start every setting shares, one block at a time -----------------------------------

namespace dxt::kernels {

// Fills `t` from a block whose 16 texels all exist (position i is texel i) and returns
// whether they all have one colour (alpha takes no part).
using GatherWholeFn = bool (*)(const std::uint8_t* bgra64, BlockTexels& t);
// Projects the 16 slots on `axis` (red, green, blue) as t.cf[0] * axis[0] + t.cf[1] * axis[1]
// + t.cf[2] * axis[2]; `lo` and `hi` are the first slots of the least and the greatest
// projection. When `index` is not null, each slot gets its index by position between them
// in four equal steps: step = truncate((dot - least) * (3 / (greatest - least)) + 0.5)
// (the scale 0 when they are equal), steps 0, 1, 2 and 3 are indices 1, 3, 2 and 0.
using StartAlongFn = void (*)(const BlockTexels& t, const float axis[3], int& lo, int& hi, std::uint8_t* index);
// The principal axis of `count` texels from their channel sums and the sums of the channel
// products (as ChannelSumsFn gives them), in the space the error weights span (green counts
// most): the weighted covariance, divided by its trace, squared, and four steps of power
// iteration from its row of the largest variance; `axis` comes out scaled back for plain
// colours. The plain kernel writes down the order of every operation.
using PrincipalAxisFn = void (*)(const std::int32_t sum[3], const std::int32_t products[6], int count, float axis[3]);

struct StartKernels {
    GatherWholeFn gatherWhole;
    StartAlongFn startAlong;
    PrincipalAxisFn principalAxis;
};

// Square roots of the error weights: they take a colour into the space the error spans.
inline constexpr float kAxisScale[3] = {0.5558777f, 0.7803845f, 0.2863564f};

// The covariance of `count` texels' colours in that space, from their sums: the first step
// of every principalAxis kernel.
inline void weightedCovariance(const std::int32_t sum[3], const std::int32_t products[6], int count, float cov[3][3])
{
    const float inverseCount = 1.0f / static_cast<float>(count);
    int p = 0;
    for (int r = 0; r < 3; ++r)
        for (int c = r; c < 3; ++c) {
            const float centred = static_cast<float>(products[p++]) - static_cast<float>(sum[r]) * static_cast<float>(sum[c]) * inverseCount;
            cov[r][c] = cov[c][r] = centred * kAxisScale[r] * kAxisScale[c];
        }
}

bool gatherWholeScalar(const std::uint8_t* bgra64, BlockTexels& t);
bool gatherWholeSse41(const std::uint8_t* bgra64, BlockTexels& t);
void startAlongScalar(const BlockTexels& t, const float axis[3], int& lo, int& hi, std::uint8_t* index);
void startAlongSse41(const BlockTexels& t, const float axis[3], int& lo, int& hi, std::uint8_t* index);
void principalAxisScalar(const std::int32_t sum[3], const std::int32_t products[6], int count, float axis[3]);
void principalAxisSse41(const std::int32_t sum[3], const std::int32_t products[6], int count, float axis[3]);
// The kernels of `isa`, which must be supported (AVX2 has nothing to add to sixteen texels
// and takes the SSE4.1 ones).
const StartKernels& startKernelsFor(Isa isa);

}  // namespace dxt::kernels
