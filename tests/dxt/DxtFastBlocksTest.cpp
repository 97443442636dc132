#include "codecs/DxtBlock.h"
#include "codecs/DxtKernels.h"
#include "codecs/DxtTables.h"
#include "DxtTestBlocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using dxt::kernels::Isa;

struct Path {
    Isa isa;
    const char* name;
};
constexpr Path kPaths[] = {{Isa::Scalar, "plain"}, {Isa::Sse41, "SSE4.1"}, {Isa::Avx2, "AVX2"}};

using dxt_test::Texels;
using dxt_test::filled;

// Blocks of every kind the lane paths treat apart or find hard, shuffled so that each
// kind meets every lane and every neighbour.
std::vector<Texels> sourceBlocks(unsigned seed)
{
    std::mt19937 rng(seed);
    auto random8 = [&rng] { return static_cast<std::uint8_t>(rng() & 255); };
    std::vector<Texels> blocks;
    // Single colours, also with alpha that varies (alpha takes no part in the colours),
    // and blocks one step away from a single colour.
    for (const int v : {0, 1, 127, 128, 254, 255})
        blocks.push_back(filled(v, 255 - v, v / 2));
    for (int n = 0; n < 20; ++n) {
        Texels t = filled(random8(), random8(), random8());
        for (int i = 0; i < 16; ++i)
            t[4 * i + 3] = random8();
        blocks.push_back(t);
        Texels near = filled(random8(), random8(), random8());
        const int at = static_cast<int>(rng() % 16), ch = static_cast<int>(rng() % 3);
        near[4 * at + ch] = static_cast<std::uint8_t>(near[4 * at + ch] ^ 1);
        blocks.push_back(near);
    }
    // Two colours in random arrangements, black and white among them.
    for (int n = 0; n < 60; ++n) {
        const bool extremes = n < 6;
        const std::uint8_t a[3] = {random8(), random8(), random8()}, b[3] = {random8(), random8(), random8()};
        const unsigned pattern = rng() & 0xFFFF;
        Texels t = filled(0, 0, 0);
        for (int i = 0; i < 16; ++i)
            for (int ch = 0; ch < 3; ++ch)
                t[4 * i + ch] = extremes ? ((pattern >> i) & 1 ? 255 : 0) : (pattern >> i) & 1 ? a[ch] : b[ch];
        blocks.push_back(t);
    }
    // Ties along the axis: red and green ramp up, blue stays put except at both ends,
    // where two texels of equal red and green take blue a step down and up. Blue then has
    // no share in the axis, the two project to the same point, and the first of them must
    // give the endpoint.
    for (int n = 0; n < 60; ++n) {
        const int blue = 40 + static_cast<int>(rng() % 176), d = 1 + static_cast<int>(rng() % 12);
        const int step = 1 + static_cast<int>(rng() % 15), green = static_cast<int>(rng() % 2);
        Texels t = filled(0, 0, 0);
        for (int i = 0; i < 16; ++i) {
            const int rank = i < 2 ? 0 : i >= 14 ? 15 : i;  // two texels at each end
            t[4 * i + 2] = static_cast<std::uint8_t>(rank * step);
            t[4 * i + 1] = static_cast<std::uint8_t>(green ? 255 - rank * step : 128);
            t[4 * i] = static_cast<std::uint8_t>(i == 0 || i == 15 ? blue - d : i == 1 || i == 14 ? blue + d : blue);
        }
        if (n % 2)
            for (int ch = 0; ch < 4; ++ch) {
                std::swap(t[ch], t[4 + ch]);
                std::swap(t[56 + ch], t[60 + ch]);
            }
        blocks.push_back(t);
    }
    // Full range in every channel.
    Texels range = filled(0, 0, 0);
    for (int i = 0; i < 16; ++i) {
        range[4 * i] = static_cast<std::uint8_t>(i * 17);
        range[4 * i + 1] = static_cast<std::uint8_t>(255 - i * 17);
        range[4 * i + 2] = static_cast<std::uint8_t>((i % 2) * 255);
    }
    blocks.push_back(range);
    // Blocks the decoder made from every index pattern of a row: the compressor can meet
    // them exactly, and ties between palette entries abound.
    for (int pattern = 0; pattern < 256; ++pattern) {
        const std::uint8_t block[8] = {random8(), random8(), random8(), random8(), static_cast<std::uint8_t>(pattern),
                                       static_cast<std::uint8_t>(pattern ^ 0x1B), static_cast<std::uint8_t>(~pattern),
                                       static_cast<std::uint8_t>(pattern * 7)};
        Texels t{};
        dxt::decodeDxt1Block(block, t.data());
        blocks.push_back(t);
    }
    // Random texels, noise around one colour, and the finest noise: a few colours one or
    // two steps apart, where texels tie along the axis and the first of equals must win.
    for (int n = 0; n < 800; ++n) {
        Texels t = filled(0, 0, 0);
        constexpr int kSpreads[] = {256, 12, 2, 3, 4};
        const int spread = kSpreads[n % 5];
        const int base[3] = {random8(), random8(), random8()};
        for (int i = 0; i < 16; ++i)
            for (int ch = 0; ch < 3; ++ch)
                t[4 * i + ch] = static_cast<std::uint8_t>(std::clamp(base[ch] + static_cast<int>(rng() % spread) - spread / 2, 0, 255));
        blocks.push_back(t);
    }
    // Three or four noisy clusters of colours, scattered over the block: the default
    // setting's refinement takes its most rounds on these, and its other placements and
    // cluster search have work to do.
    for (int n = 0; n < 600; ++n) {
        const int clusters = 3 + n % 2, noise = 1 + static_cast<int>(rng() % 24);
        int centre[4][3];
        for (auto& c : centre)
            for (int& v : c)
                v = random8();
        Texels t = filled(0, 0, 0);
        for (int i = 0; i < 16; ++i) {
            const int* c = centre[rng() % clusters];
            for (int ch = 0; ch < 3; ++ch)
                t[4 * i + ch] = static_cast<std::uint8_t>(std::clamp(c[ch] + static_cast<int>(rng() % noise) - noise / 2, 0, 255));
        }
        blocks.push_back(t);
    }
    // Blocks of photographs (red, green, blue per texel) on which the default setting's
    // refinement runs all its rounds.
    static constexpr std::uint8_t kLongRefinement[][48] = {
        {42, 204, 217, 42, 204, 217, 43, 204, 217, 43, 204, 217, 43, 204, 217, 43, 204, 217, 42, 204, 217, 43, 203, 216,
         43, 203, 217, 43, 204, 217, 43, 203, 217, 43, 203, 217, 43, 203, 216, 42, 204, 216, 43, 203, 217, 43, 203, 217},
        {43, 204, 217, 43, 204, 217, 42, 204, 216, 43, 204, 217, 43, 203, 217, 43, 204, 217, 43, 204, 216, 42, 204, 217,
         42, 204, 217, 43, 204, 217, 43, 204, 216, 43, 203, 217, 43, 203, 217, 43, 203, 217, 43, 203, 217, 43, 203, 217},
        {241, 128, 165, 241, 129, 165, 242, 130, 164, 242, 131, 164, 244, 133, 171, 243, 132, 170, 243, 133, 169, 243, 134, 169,
         244, 135, 175, 244, 135, 174, 243, 134, 173, 242, 135, 172, 241, 134, 174, 242, 134, 173, 242, 134, 172, 241, 134, 171},
        {219, 197, 150, 221, 201, 157, 225, 206, 167, 229, 213, 180, 216, 193, 144, 217, 194, 146, 219, 197, 151, 221, 201, 157,
         215, 192, 141, 216, 193, 142, 216, 193, 144, 217, 195, 147, 215, 190, 138, 215, 191, 139, 215, 192, 141, 216, 193, 143},
        {37, 95, 159, 37, 95, 159, 37, 95, 159, 37, 96, 159, 37, 95, 159, 37, 96, 159, 38, 98, 160, 39, 99, 161,
         37, 97, 160, 38, 98, 160, 41, 102, 163, 40, 102, 161, 40, 100, 161, 41, 102, 162, 36, 96, 157, 42, 107, 161},
    };
    // A block of a photograph whose indices leave a palette entry unused and whose other
    // placement along the palette is followed up, by a narrow margin.
    static constexpr std::uint8_t kPlacementFollowed[][48] = {
        {180, 107, 103, 182, 107, 102, 183, 107, 102, 184, 107, 101, 165, 111, 110, 166, 111, 110, 165, 111, 110, 166, 111, 110,
         160, 111, 112, 160, 112, 113, 160, 112, 113, 159, 113, 113, 161, 110, 112, 160, 111, 112, 159, 111, 113, 158, 112, 114},
    };
    // Blocks of photographs whose other placements depend on each other: in the first, a
    // later placement would be followed up against the start's error but not against the
    // error an earlier one has won; in the others two placements win in turn.
    static constexpr std::uint8_t kPlacementsInTurn[][48] = {
        {68, 240, 228, 68, 240, 227, 67, 239, 227, 68, 239, 227, 68, 240, 228, 67, 239, 228, 68, 240, 228, 67, 240, 228,
         68, 240, 228, 67, 239, 228, 68, 240, 228, 67, 240, 228, 67, 239, 227, 67, 240, 227, 67, 239, 227, 68, 239, 227},
        {66, 237, 228, 66, 237, 228, 66, 237, 228, 65, 236, 228, 66, 237, 228, 66, 237, 228, 66, 237, 227, 66, 237, 228,
         66, 237, 227, 66, 237, 228, 66, 237, 228, 65, 237, 227, 66, 237, 228, 66, 237, 228, 66, 237, 227, 66, 237, 228},
        {61, 230, 225, 60, 229, 224, 61, 230, 225, 61, 230, 225, 61, 230, 224, 61, 230, 224, 60, 229, 224, 61, 230, 225,
         60, 229, 225, 60, 229, 225, 60, 229, 225, 60, 230, 224, 60, 229, 224, 60, 229, 224, 60, 229, 225, 60, 229, 224},
    };
    for (const auto& rgb : kPlacementsInTurn) {
        Texels t = filled(0, 0, 0);
        for (int i = 0; i < 16; ++i)
            for (int ch = 0; ch < 3; ++ch)
                t[4 * i + 2 - ch] = rgb[3 * i + ch];
        blocks.push_back(t);
    }
    for (const auto& rgb : kPlacementFollowed) {
        Texels t = filled(0, 0, 0);
        for (int i = 0; i < 16; ++i)
            for (int ch = 0; ch < 3; ++ch)
                t[4 * i + 2 - ch] = rgb[3 * i + ch];
        blocks.push_back(t);
    }
    for (const auto& rgb : kLongRefinement) {
        Texels t = filled(0, 0, 0);
        for (int i = 0; i < 16; ++i)
            for (int ch = 0; ch < 3; ++ch)
                t[4 * i + 2 - ch] = rgb[3 * i + ch];
        blocks.push_back(t);
    }
    std::shuffle(blocks.begin(), blocks.end(), rng);
    return blocks;
}

std::array<std::uint8_t, 8> plainBlock(const Texels& t, dxt::Quality q)
{
    std::array<std::uint8_t, 8> out{};
    dxt::kernels::encodeColourBlockWith(Isa::Scalar, t.data(), out.data(), q);
    return out;
}

// The settings whose rows run in the lanes, with each path's row function.
struct RowSetting {
    dxt::Quality quality;
    const char* name;
    dxt::kernels::FastBlocksFn (*rowsFor)(Isa);
};
constexpr RowSetting kRowSettings[] = {{dxt::Quality::Fast, "fast", dxt::kernels::fastBlocksFor},
                                       {dxt::Quality::Default, "default", dxt::kernels::defaultBlocksFor}};

TEST(DxtFastBlocks, EveryPathEncodesEveryBlockAsThePlainEncoder)
{
    const unsigned seed = 20261210;
    SCOPED_TRACE("seed " + std::to_string(seed));
    const std::vector<Texels> blocks = sourceBlocks(seed);
    for (const RowSetting& setting : kRowSettings)
    for (const Path& path : kPaths) {
        if (!dxt::kernels::supported(path.isa)) {
            std::printf("%s not offered by this processor: not compared\n", path.name);
            continue;
        }
        SCOPED_TRACE(setting.name);
        const dxt::kernels::FastBlocksFn encodeRow = setting.rowsFor(path.isa);
        // Rows of every length up to 17 (every tail after groups of 4 and of 8), and long
        // rows, over which the default setting gathers the blocks that go on alone and
        // finishes them when its store is full; each written with and without room between
        // the blocks, from rows with spare bytes.
        std::vector<int> counts;
        for (int count = 1; count <= 17; ++count)
            counts.push_back(count);
        counts.insert(counts.end(), {64, 133});
        std::size_t next = 0;
        while (next < blocks.size())
            for (const int count : counts)
                for (const std::size_t outStride : {std::size_t{8}, std::size_t{16}}) {
                    const std::size_t stride = 16 * static_cast<std::size_t>(count) + 12;
                    std::vector<std::uint8_t> pixels(4 * stride, 0xEE);
                    std::vector<Texels> row;
                    for (int b = 0; b < count; ++b) {
                        row.push_back(blocks[next++ % blocks.size()]);
                        for (int y = 0; y < 4; ++y)
                            std::memcpy(&pixels[y * stride + 16 * b], row.back().data() + 16 * y, 16);
                    }
                    std::vector<std::uint8_t> out(count * outStride + 8, 0x5A);
                    encodeRow(pixels.data(), stride, count, out.data(), outStride);
                    for (int b = 0; b < count; ++b) {
                        std::array<std::uint8_t, 8> got;
                        std::memcpy(got.data(), &out[b * outStride], 8);
                        ASSERT_EQ(got, plainBlock(row[b], setting.quality)) << path.name << ", " << count << " blocks, block " << b;
                        // Nothing written between the blocks or past the last.
                        for (std::size_t i = b * outStride + 8; i < (b + 1) * outStride + (b + 1 == count ? 8 : 0); ++i)
                            ASSERT_EQ(out[i], 0x5A) << path.name << ", " << count << " blocks, byte " << i;
                    }
                }
    }
}

// Rows in which blocks of a single colour come in runs between the others: whole batches of
// them, batches that mix both, and the others gathered over several batches up to the
// row's end (with a vector's worth or less left over).
TEST(DxtFastBlocks, EveryPathEncodesRowsWithRunsOfSingleColoursAsThePlainEncoder)
{
    const std::vector<Texels> blocks = sourceBlocks(20261211);
    std::vector<Texels> single, other;
    for (const Texels& t : blocks) {
        bool flat = true;
        for (int i = 1; i < 16; ++i)
            for (int ch = 0; ch < 3; ++ch)
                flat = flat && t[4 * i + ch] == t[ch];
        (flat ? single : other).push_back(t);
    }
    ASSERT_FALSE(single.empty());
    for (const RowSetting& setting : kRowSettings)
        for (const Path& path : kPaths) {
            if (!dxt::kernels::supported(path.isa))
                continue;
            const dxt::kernels::FastBlocksFn encodeRow = setting.rowsFor(path.isa);
            std::size_t nextSingle = 0, nextOther = 0;
            // (runs of single colours, runs of others, row length)
            for (const auto& [singleRun, otherRun, count] : {std::array{1, 1, 33}, std::array{3, 5, 40}, std::array{8, 8, 64},
                                                              std::array{9, 7, 70}, std::array{16, 1, 50}, std::array{2, 15, 61},
                                                              std::array{5, 3, 8}, std::array{7, 1, 16}, std::array{1, 9, 17}}) {
                const std::size_t stride = 16 * static_cast<std::size_t>(count) + 4;
                std::vector<std::uint8_t> pixels(4 * stride, 0xEE);
                std::vector<Texels> row;
                for (int b = 0; b < count; ++b) {
                    const bool flat = b % (singleRun + otherRun) < singleRun;
                    row.push_back(flat ? single[nextSingle++ % single.size()] : other[nextOther++ % other.size()]);
                    for (int y = 0; y < 4; ++y)
                        std::memcpy(&pixels[y * stride + 16 * b], row.back().data() + 16 * y, 16);
                }
                std::vector<std::uint8_t> out(8 * static_cast<std::size_t>(count));
                encodeRow(pixels.data(), stride, count, out.data(), 8);
                for (int b = 0; b < count; ++b) {
                    std::array<std::uint8_t, 8> got;
                    std::memcpy(got.data(), &out[8 * b], 8);
                    ASSERT_EQ(got, plainBlock(row[b], setting.quality))
                        << setting.name << ", " << path.name << ", runs " << singleRun << " and " << otherRun << ", block " << b;
                }
            }
        }
}

// The start's kernels on their own: the gathered planes and the single-colour answer, the
// extremes and indices along axes of every sign, the zero axis among them (all texels
// project to one point; black texels project to zeros of either sign), and the principal
// axis of every number of texels, to the bit.
TEST(DxtStartKernels, EveryPathGathersAndStartsAsThePlainKernels)
{
    const unsigned seed = 4242;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    std::vector<Texels> blocks = sourceBlocks(seed);
    Texels withBlack = filled(0, 0, 0);
    for (int i = 8; i < 16; ++i)
        withBlack[4 * i + i % 3] = static_cast<std::uint8_t>(16 * i);
    blocks.push_back(withBlack);
    const dxt::kernels::StartKernels& plain = dxt::kernels::startKernelsFor(Isa::Scalar);
    for (const Path& path : kPaths) {
        if (path.isa == Isa::Scalar || !dxt::kernels::supported(path.isa))
            continue;
        const dxt::kernels::StartKernels& vector = dxt::kernels::startKernelsFor(path.isa);
        for (std::size_t n = 0; n < blocks.size(); ++n) {
            dxt::kernels::BlockTexels a{}, b{};
            ASSERT_EQ(vector.gatherWhole(blocks[n].data(), b), plain.gatherWhole(blocks[n].data(), a)) << path.name << ", block " << n;
            ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << path.name << ", block " << n;
            for (int round = 0; round < 4; ++round) {
                std::uniform_real_distribution<float> component(-1.0f, 1.0f);
                float axis[3] = {component(rng), component(rng), component(rng)};
                if (round == 0)
                    axis[0] = axis[1] = axis[2] = 0.0f;
                if (round == 1)
                    axis[rng() % 3] = 0.0f;
                int lo[2], hi[2];
                std::array<std::uint8_t, 16> index[2];
                plain.startAlong(a, axis, lo[0], hi[0], index[0].data());
                vector.startAlong(a, axis, lo[1], hi[1], index[1].data());
                ASSERT_TRUE(lo[0] == lo[1] && hi[0] == hi[1] && index[0] == index[1]) << path.name << ", block " << n << ", round " << round;
                vector.startAlong(a, axis, lo[1], hi[1], nullptr);
                ASSERT_TRUE(lo[0] == lo[1] && hi[0] == hi[1]) << path.name << ", block " << n << ", round " << round;
            }
            // The axis of the first `count` texels, for every count.
            for (int count = 1; count <= 16; ++count) {
                std::int32_t sum[3] = {}, products[6] = {};
                for (int i = 0; i < count; ++i) {
                    int p = 0;
                    for (int r = 0; r < 3; ++r) {
                        sum[r] += a.c[r][i];
                        for (int c = r; c < 3; ++c)
                            products[p++] += a.c[r][i] * a.c[c][i];
                    }
                }
                float axis[2][3];
                plain.principalAxis(sum, products, count, axis[0]);
                vector.principalAxis(sum, products, count, axis[1]);
                ASSERT_EQ(std::memcmp(axis[0], axis[1], sizeof axis[0]), 0) << path.name << ", block " << n << ", " << count << " texels";
            }
        }
    }
}

TEST(DxtFastBlocks, NearestFieldTablesMatchTheExpansion)
{
    for (int v = 0; v < 256; ++v) {
        const auto check = [v](const auto& table, const auto& expand, const char* what) {
            const int f = table[v];
            const int d = std::abs(expand[f] - v);
            for (int other = 0; other < static_cast<int>(expand.size()); ++other) {
                const int e = std::abs(expand[other] - v);
                EXPECT_TRUE(e > d || (e == d && other >= f)) << what << " " << v << ": field " << f << ", field " << other;
            }
        };
        check(dxt::tables::kNearestField5, dxt::tables::kExpand5, "5 bits");
        check(dxt::tables::kNearestField6, dxt::tables::kExpand6, "6 bits");
        // The vector paths compute the same fields by a formula.
        EXPECT_EQ(dxt::tables::kNearestFieldFormula5(v), dxt::tables::kNearestField5[v]) << "5 bits, " << v;
        EXPECT_EQ(dxt::tables::kNearestFieldFormula6(v), dxt::tables::kNearestField6[v]) << "6 bits, " << v;
    }
}

// The square's words are read three rows at a time around any field pair, so every row
// must stand at its place with a whole guard row before the first and after the last.
TEST(DxtFastBlocks, RowGuardedPalettesHoldEveryWordWithGuardRows)
{
    const auto check = [](const auto& guarded, const auto& words, int bits, const char* what) {
        const std::size_t row = std::size_t{1} << bits;
        ASSERT_EQ(guarded.size(), words.size() + 2 * row + 4) << what;
        for (std::size_t at = 0; at < guarded.size(); ++at) {
            const bool inside = at >= row + 1 && at < row + 1 + words.size();
            EXPECT_EQ(guarded[at], inside ? words[at - row - 1] : 0u) << what << ", word " << at;
        }
    };
    check(dxt::tables::kRowGuardedPalettes5, dxt::tables::kChannelPalettes5, 5, "5 bits");
    check(dxt::tables::kRowGuardedPalettes6, dxt::tables::kChannelPalettes6, 6, "6 bits");
}

// A picture with flat areas, gradients, noise and alpha, on rows with spare bytes.
struct Picture {
    int width, height;
    std::size_t stride;
    std::vector<std::uint8_t> pixels;
};

Picture picture(int width, int height, unsigned seed)
{
    std::mt19937 rng(seed);
    Picture p{width, height, 4 * static_cast<std::size_t>(width) + 20, {}};
    p.pixels.assign(p.stride * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* t = &p.pixels[y * p.stride + 4 * static_cast<std::size_t>(x)];
            const int region = (x / 12 + y / 12) % 3;
            t[0] = static_cast<std::uint8_t>(region == 0 ? 40 : region == 1 ? x * 3 : rng());
            t[1] = static_cast<std::uint8_t>(region == 0 ? 200 : region == 1 ? y * 5 : rng());
            t[2] = static_cast<std::uint8_t>(region == 0 ? 90 : region == 1 ? x + y : rng());
            t[3] = static_cast<std::uint8_t>(x * 7 + y);
        }
    return p;
}

TEST(DxtFastBlocks, MapsComeOutAsBlockByBlockForEveryThreadCount)
{
    for (const dxt::Quality quality : {dxt::Quality::Fast, dxt::Quality::Default})
    for (const bool dxt3 : {false, true})
        for (const auto& [w, h] : {std::pair{70, 45}, std::pair{64, 32}, std::pair{13, 7}}) {
            const Picture p = picture(w, h, 5);
            const int across = (w + 3) / 4, down = (h + 3) / 4;
            const std::size_t blockBytes = dxt3 ? 16 : 8;
            // The reference: each block copied out and encoded on its own.
            std::vector<std::uint8_t> expected(across * down * blockBytes);
            for (int by = 0; by < down; ++by)
                for (int bx = 0; bx < across; ++bx) {
                    std::uint8_t block[64] = {};
                    std::uint16_t mask = 0;
                    for (int y = 0; y < 4 && 4 * by + y < h; ++y)
                        for (int x = 0; x < 4 && 4 * bx + x < w; ++x) {
                            std::memcpy(block + 4 * (4 * y + x), &p.pixels[(4 * by + y) * p.stride + 4 * (4 * bx + x)], 4);
                            mask = static_cast<std::uint16_t>(mask | 1u << (4 * y + x));
                        }
                    std::uint8_t* dst = &expected[(by * across + bx) * blockBytes];
                    if (dxt3)
                        dxt::encodeDxt3Block(block, dst, quality, mask);
                    else
                        dxt::encodeDxt1Block(block, dst, quality, mask);
                }
            for (const unsigned threads : {1u, 2u, 7u}) {
                std::vector<std::uint8_t> out(expected.size() + 16, 0x5A);
                dxt::encodeImage(p.pixels.data(), w, h, p.stride, dxt3, out.data(), quality, threads);
                EXPECT_TRUE(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(expected.size()), out.end(),
                                        [](std::uint8_t b) { return b == 0x5A; }));
                out.resize(expected.size());
                EXPECT_EQ(out, expected) << w << " x " << h << (dxt3 ? " DXT3, " : " DXT1, ") << threads << " threads, setting "
                                         << static_cast<int>(quality);
            }
        }
}

}  // namespace
