#include "codecs/DxtBlock.h"
#include "codecs/DxtKernels.h"
#include "codecs/DxtTables.h"
#include "DxtTestBlocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using dxt::kernels::Isa;

struct VectorPath {
    Isa isa;
    const char* name;
};
constexpr VectorPath kVectorPaths[] = {{Isa::Sse41, "SSE4.1"}, {Isa::Avx2, "AVX2"}};
constexpr dxt::Quality kQualities[] = {dxt::Quality::Fast, dxt::Quality::Default, dxt::Quality::Best};

using dxt_test::Texels;
using dxt_test::filled;

// Source blocks for the comparisons, each with the texel mask it is encoded with.
struct SourceBlock {
    std::string what;
    Texels texels;
    std::uint16_t mask;
};

std::vector<SourceBlock> sourceBlocks(unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<SourceBlock> blocks;
    auto random8 = [&rng] { return static_cast<std::uint8_t>(rng() & 255); };

    for (int v : {0, 1, 127, 128, 254, 255})
        blocks.push_back({"flat " + std::to_string(v), filled(v, 255 - v, v / 2), 0xFFFF});
    // Two colours in every arrangement of a random 16-bit pattern; also the extremes.
    for (int n = 0; n < 200; ++n) {
        const std::uint8_t a[3] = {random8(), random8(), random8()}, b[3] = {random8(), random8(), random8()};
        const unsigned pattern = rng() & 0xFFFF;
        Texels t = filled(0, 0, 0);
        for (int i = 0; i < 16; ++i)
            for (int ch = 0; ch < 3; ++ch)
                t[4 * i + ch] = (pattern >> i) & 1 ? a[ch] : b[ch];
        blocks.push_back({"two colours " + std::to_string(n), t, 0xFFFF});
    }
    // Full range: black and white, and every channel from 0 to 255 across the block.
    Texels range = filled(0, 0, 0);
    for (int i = 0; i < 16; ++i) {
        range[4 * i] = static_cast<std::uint8_t>(i * 17);
        range[4 * i + 1] = static_cast<std::uint8_t>(255 - i * 17);
        range[4 * i + 2] = static_cast<std::uint8_t>((i % 2) * 255);
    }
    blocks.push_back({"full range", range, 0xFFFF});
    // Every index pattern of a row (all 256 bytes), on random endpoints, as the decoder
    // shows them: blocks that the compressor can meet exactly.
    for (int pattern = 0; pattern < 256; ++pattern) {
        std::uint8_t block[8] = {random8(), random8(), random8(), random8(), static_cast<std::uint8_t>(pattern),
                                 static_cast<std::uint8_t>(pattern ^ 0x1B), static_cast<std::uint8_t>(~pattern),
                                 static_cast<std::uint8_t>(pattern * 7)};
        Texels t{};
        dxt::decodeDxt1Block(block, t.data());
        blocks.push_back({"index pattern " + std::to_string(pattern), t, 0xFFFF});
    }
    // Random texels, random neighbours of one colour (fine noise), and partial blocks.
    for (int n = 0; n < 400; ++n) {
        Texels t{};
        const int spread = n % 2 ? 256 : 24;
        const int base[3] = {random8(), random8(), random8()};
        for (int i = 0; i < 16; ++i)
            for (int ch = 0; ch < 3; ++ch)
                t[4 * i + ch] = static_cast<std::uint8_t>(std::clamp(base[ch] + static_cast<int>(rng() % spread) - spread / 2, 0, 255));
        const std::uint16_t mask = n % 5 == 0 ? static_cast<std::uint16_t>(rng() | 1) : 0xFFFF;
        blocks.push_back({"random " + std::to_string(n), t, mask});
    }
    return blocks;
}

TEST(DxtKernels, VectorPathsEncodeEveryBlockAsThePlainPathDoes)
{
    const unsigned seed = 20261210;
    SCOPED_TRACE("seed " + std::to_string(seed));
    const auto blocks = sourceBlocks(seed);
    for (const VectorPath& path : kVectorPaths) {
        if (!dxt::kernels::supported(path.isa)) {
            std::printf("%s not offered by this processor: not compared\n", path.name);
            continue;
        }
        for (const dxt::Quality q : kQualities)
            for (const SourceBlock& b : blocks) {
                std::array<std::uint8_t, 8> plain{}, vector{};
                dxt::kernels::encodeColourBlockWith(Isa::Scalar, b.texels.data(), plain.data(), q, b.mask);
                dxt::kernels::encodeColourBlockWith(path.isa, b.texels.data(), vector.data(), q, b.mask);
                ASSERT_EQ(vector, plain) << path.name << ", " << b.what << ", quality " << static_cast<int>(q);
            }
    }
}

dxt::kernels::BlockTexels texelsOf(const Texels& t, int count)
{
    dxt::kernels::BlockTexels b{};
    b.count = count;
    for (int i = 0; i < 16; ++i) {
        const int from = i < count ? i : 0;
        for (int ch = 0; ch < 3; ++ch) {
            b.c[ch][i] = t[4 * from + 2 - ch];
            b.cf[ch][i] = static_cast<float>(b.c[ch][i]);
        }
        b.counts[i] = i < count ? 1.0f : 0.0f;
        b.valid[i] = i < count;
    }
    return b;
}

TEST(DxtKernels, AssignGivesTheSameIndicesAndTheSameErrorBits)
{
    std::mt19937 rng(77);
    const auto blocks = sourceBlocks(78);
    for (const VectorPath& path : kVectorPaths) {
        if (!dxt::kernels::supported(path.isa))
            continue;
        const auto& kernels = dxt::kernels::kernelsFor(path.isa);
        for (const SourceBlock& b : blocks) {
            const int count = 1 + static_cast<int>(rng() % 16);
            const auto t = texelsOf(b.texels, count);
            // Palettes with ties (equal entries) as well as unrelated ones.
            float palette[4][3];
            for (auto& entry : palette)
                for (float& v : entry)
                    v = static_cast<float>(rng() % 256);
            if (rng() % 3 == 0)
                std::memcpy(palette[2], palette[1], sizeof palette[1]);
            std::uint8_t plain[16], vector[16];
            const float plainError = dxt::kernels::assignScalar(t, palette, plain);
            const float vectorError = kernels.assign(t, palette, vector);
            ASSERT_EQ(std::bit_cast<std::uint32_t>(vectorError), std::bit_cast<std::uint32_t>(plainError)) << path.name << ", " << b.what;
            ASSERT_EQ(std::memcmp(plain, vector, 16), 0) << path.name << ", " << b.what;
        }
    }
}

TEST(DxtKernels, SplitScoresMatchForEveryTexelCount)
{
    std::mt19937 rng(5);
    for (const VectorPath& path : kVectorPaths) {
        if (!dxt::kernels::supported(path.isa))
            continue;
        const auto& kernels = dxt::kernels::kernelsFor(path.isa);
        for (int n = 2; n <= 16; ++n)
            for (int trial = 0; trial < 20; ++trial) {
                // Sums of n sorted-or-not texel values: any non-decreasing running sums.
                dxt::kernels::PrefixSums prefix{};
                for (int ch = 0; ch < 3; ++ch) {
                    prefix.sum[ch][0] = 0;
                    for (int j = 0; j < n; ++j)
                        prefix.sum[ch][j + 1] = prefix.sum[ch][j] + static_cast<float>(trial == 0 ? 100 : rng() % 256);
                    for (int j = n + 1; j < 32; ++j)
                        prefix.sum[ch][j] = prefix.sum[ch][n];
                }
                const auto& layout = dxt::kernels::splitLayout(n);
                std::vector<float> plain(1600), vector(1600);
                const int plainFirst = dxt::kernels::scoreSplitsScalar(layout, prefix, n, dxt::kernels::kEveryGroup.data(), layout.groupCount, plain.data());
                const int vectorFirst = kernels.scoreSplits(layout, prefix, n, dxt::kernels::kEveryGroup.data(), layout.groupCount, vector.data());
                ASSERT_EQ(vectorFirst, plainFirst) << path.name << ", " << n << " texels";
                for (int e = 0; e < layout.entries; ++e)
                    ASSERT_EQ(std::bit_cast<std::uint32_t>(vector[e]), std::bit_cast<std::uint32_t>(plain[e]))
                        << path.name << ", " << n << " texels, entry " << e;
            }
    }
}

// The integer kernels: the sums of a block's channels and of the texels on each palette
// entry (indices past the texels that exist hold anything from 0 to 3), and the search
// over a channel's 3 x 3 endpoint pairs, with ties (the first pair must win), pairs that
// may never be chosen and starting costs that no pair beats.
TEST(DxtKernels, IntegerKernelsGiveThePlainResults)
{
    const unsigned seed = 1414;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    const auto blocks = sourceBlocks(seed);
    for (const VectorPath& path : kVectorPaths) {
        if (!dxt::kernels::supported(path.isa))
            continue;
        const auto& kernels = dxt::kernels::kernelsFor(path.isa);
        for (const SourceBlock& b : blocks) {
            const int count = 1 + static_cast<int>(rng() % 16);
            const auto t = texelsOf(b.texels, count);
            std::int32_t plainSum[3], vectorSum[3], plainProducts[6], vectorProducts[6];
            dxt::kernels::channelSumsScalar(t, plainSum, plainProducts);
            kernels.channelSums(t, vectorSum, vectorProducts);
            ASSERT_EQ(std::memcmp(plainSum, vectorSum, sizeof plainSum), 0) << path.name << ", " << b.what;
            ASSERT_EQ(std::memcmp(plainProducts, vectorProducts, sizeof plainProducts), 0) << path.name << ", " << b.what;

            std::uint8_t index[16];
            for (auto& k : index)
                k = static_cast<std::uint8_t>(rng() % 4);
            std::int32_t plainCount[4], vectorCount[4], plainEntry[3][4], vectorEntry[3][4];
            dxt::kernels::entrySumsScalar(t, index, plainCount, plainEntry);
            kernels.entrySums(t, index, vectorCount, vectorEntry);
            ASSERT_EQ(std::memcmp(plainCount, vectorCount, sizeof plainCount), 0) << path.name << ", " << b.what;
            ASSERT_EQ(std::memcmp(plainEntry, vectorEntry, sizeof plainEntry), 0) << path.name << ", " << b.what;
        }
    }
}

TEST(DxtKernels, SplitLayoutHoldsEverySplitOnce)
{
    // Each split of n texels into four runs appears exactly once among the entries that
    // can be taken or are left out for an undetermined endpoint; the first least score
    // therefore is the first least split in the order the runs are listed.
    for (int n = 2; n <= 16; ++n) {
        const auto& layout = dxt::kernels::splitLayout(n);
        ASSERT_EQ(layout.entries % 8, 0);
        int listed = 0;
        for (int g = 0; g < layout.groupCount; ++g) {
            const auto& group = layout.group[g];
            EXPECT_EQ(group.first % 8, 0);
            const int run = n - group.e2 + 1;
            for (int j = 0; j < 8 * group.chunks; ++j) {
                const int e = group.first + j;
                EXPECT_EQ(layout.n0[e] + layout.n2[e], group.e2);
                if (j < run)
                    ++listed;
                else
                    EXPECT_EQ(layout.bias[e], std::numeric_limits<float>::infinity());
            }
        }
        EXPECT_EQ(listed, (n + 1) * (n + 2) * (n + 3) / 6) << n;
    }
}

}  // namespace

namespace {

TEST(DxtKernels, VectorDecoderGivesThePlainDecodersTexels)
{
    if (!dxt::kernels::supported(Isa::Sse41))
        GTEST_SKIP() << "SSE4.1 not offered by this processor";
    std::mt19937 rng(31337);
    // Every index byte in every row, with random colours and alpha; then random blocks.
    std::vector<std::array<std::uint8_t, 16>> blocks;
    for (int v = 0; v < 256; ++v) {
        std::array<std::uint8_t, 16> b;
        for (auto& byte : b)
            byte = static_cast<std::uint8_t>(rng());
        for (int r = 0; r < 4; ++r)
            b[12 + r] = static_cast<std::uint8_t>(v + 64 * r);
        blocks.push_back(b);
    }
    for (int n = 0; n < 5000; ++n) {
        std::array<std::uint8_t, 16> b;
        for (auto& byte : b)
            byte = static_cast<std::uint8_t>(rng());
        blocks.push_back(b);
    }
    for (const auto& b : blocks)
        for (const bool dxt3 : {false, true}) {
            std::array<std::uint8_t, 64> plain{}, vector{};
            std::uint8_t* const plainRows[4] = {&plain[0], &plain[16], &plain[32], &plain[48]};
            std::uint8_t* const vectorRows[4] = {&vector[0], &vector[16], &vector[32], &vector[48]};
            dxt::kernels::decodeScalar(b.data() + 8, dxt3 ? b.data() : nullptr, plainRows, 0);
            dxt::kernels::decodeSse41(b.data() + 8, dxt3 ? b.data() : nullptr, vectorRows, 0);
            ASSERT_EQ(vector, plain) << (dxt3 ? "DXT3" : "DXT1");
        }
}

}  // namespace

namespace {

// The three channels' endpoint search: moments of real texel sets (so the terms stay in
// the range the vector paths hold in 16 bits), centres at both ends of the field range and
// inside, present fields anywhere, and blocks of one value where many pairs score alike.
TEST(DxtKernels, EndpointSearchOfAllChannelsGivesThePlainScores)
{
    const unsigned seed = 2718;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    for (const VectorPath& path : kVectorPaths) {
        if (!dxt::kernels::supported(path.isa))
            continue;
        const auto& kernels = dxt::kernels::kernelsFor(path.isa);
        for (int trial = 0; trial < 30000; ++trial) {
            std::int32_t count[4] = {}, sum[3][4] = {};
            const int texels = 1 + static_cast<int>(rng() % 16);
            const int kind = trial % 4;  // 0 random, 1 one value, 2 extremes, 3 one entry only
            const int one = static_cast<int>(rng() % 256);
            for (int i = 0; i < texels; ++i) {
                const int k = kind == 3 ? 0 : static_cast<int>(rng() % 4);
                ++count[k];
                for (int ch = 0; ch < 3; ++ch)
                    sum[ch][k] += kind == 1 ? one : kind == 2 ? (rng() % 2 ? 255 : 0) : static_cast<int>(rng() % 256);
            }
            std::int32_t centre[3][2], field[2][3];
            for (int ch = 0; ch < 3; ++ch) {
                const int top = ch == 1 ? 63 : 31;
                for (int end = 0; end < 2; ++end) {
                    const unsigned pick = rng() % 4;
                    centre[ch][end] = pick == 0 ? 0 : pick == 1 ? top : static_cast<int>(rng() % (top + 1));
                    field[end][ch] = static_cast<int>(rng() % (top + 1));
                }
            }
            dxt::kernels::SquareScores plain{}, vector{};
            dxt::kernels::scoreSquaresScalar(count, sum, centre, field, plain);
            kernels.scoreSquares(count, sum, centre, field, vector);
            ASSERT_EQ(std::memcmp(&plain, &vector, sizeof plain), 0) << path.name << ", trial " << trial;
        }
    }
}

// The plain search against the scores written out: every pair of the square that exists,
// scored by the channel's error for its palette.
TEST(DxtKernels, EndpointSearchScoresAreTheChannelErrors)
{
    std::mt19937 rng(99);
    for (int trial = 0; trial < 2000; ++trial) {
        std::int32_t count[4] = {}, sum[3][4] = {};
        int value[16][3], entry[16];
        for (int i = 0; i < 16; ++i) {
            entry[i] = static_cast<int>(rng() % 4);
            ++count[entry[i]];
            for (int ch = 0; ch < 3; ++ch) {
                value[i][ch] = static_cast<int>(rng() % 256);
                sum[ch][entry[i]] += value[i][ch];
            }
        }
        std::int32_t centre[3][2], field[2][3];
        for (int ch = 0; ch < 3; ++ch) {
            const int top = ch == 1 ? 63 : 31;
            centre[ch][0] = trial % 3 == 0 ? 0 : static_cast<int>(rng() % (top + 1));
            centre[ch][1] = trial % 3 == 1 ? top : static_cast<int>(rng() % (top + 1));
            field[0][ch] = static_cast<int>(rng() % (top + 1));
            field[1][ch] = static_cast<int>(rng() % (top + 1));
        }
        dxt::kernels::SquareScores scores{};
        dxt::kernels::scoreSquaresScalar(count, sum, centre, field, scores);
        for (int ch = 0; ch < 3; ++ch) {
            const int bits = ch == 1 ? 6 : 5, top = (1 << bits) - 1;
            const auto& palettes = ch == 1 ? dxt::tables::kChannelPalettes6.data() : dxt::tables::kChannelPalettes5.data();
            // The channel's squared error less the texels' own squares.
            const auto error = [&](int a, int b) {
                const std::uint32_t word = palettes[(a << bits) + b];
                int total = 0;
                for (int i = 0; i < 16; ++i) {
                    const int p = static_cast<int>((word >> (8 * entry[i])) & 0xFF);
                    total += (p - value[i][ch]) * (p - value[i][ch]) - value[i][ch] * value[i][ch];
                }
                return total;
            };
            EXPECT_EQ(scores.present[ch], error(field[0][ch], field[1][ch]));
            EXPECT_EQ(scores.centre[ch], error(centre[ch][0], centre[ch][1]));
            int least = std::numeric_limits<int>::max(), first = -1;
            for (int pair = 0; pair < 9; ++pair) {
                const int a = centre[ch][0] - 1 + pair / 3, b = centre[ch][1] - 1 + pair % 3;
                if (a >= 0 && a <= top && b >= 0 && b <= top && error(a, b) < least) {
                    least = error(a, b);
                    first = pair;
                }
            }
            EXPECT_EQ(scores.least[ch], least) << "trial " << trial << ", channel " << ch;
            EXPECT_EQ(scores.pair[ch], first) << "trial " << trial << ", channel " << ch;
        }
    }
}

}  // namespace

namespace {

// The running sums of n texels sorted along green, of one of five kinds: 0 random, 1 two
// values, 2 fine noise, 3 dark, 4 extremes.
dxt::kernels::PrefixSums sortedTexelSums(std::mt19937& rng, int n, int kind)
{
    std::array<std::array<int, 3>, 16> texel{};
    const int base = static_cast<int>(rng() % 256);
    for (int i = 0; i < n; ++i)
        for (int ch = 0; ch < 3; ++ch) {
            const int noise = static_cast<int>(rng() % 7) - 3;
            texel[i][ch] = kind == 0 ? static_cast<int>(rng() % 256)
                         : kind == 1 ? (rng() % 2 ? base : 255 - base)
                         : kind == 2 ? std::clamp(base + noise, 0, 255)
                         : kind == 3 ? static_cast<int>(rng() % 4)
                                     : (rng() % 2 ? 255 : 0);
        }
    std::sort(texel.begin(), texel.begin() + n, [](const auto& a, const auto& b) { return a[1] < b[1]; });
    dxt::kernels::PrefixSums prefix{};
    for (int j = 0; j < n; ++j) {
        float own = 0;
        for (int ch = 0; ch < 3; ++ch) {
            const float v = static_cast<float>(texel[j][ch]);
            prefix.sum[ch][j + 1] = prefix.sum[ch][j] + v;
            own += dxt::kernels::kWeight[ch] * v * v;
        }
        prefix.squares[j + 1] = prefix.squares[j] + own;
    }
    for (int j = n + 1; j < 32; ++j) {
        for (int ch = 0; ch < 3; ++ch)
            prefix.sum[ch][j] = prefix.sum[ch][n];
        prefix.squares[j] = prefix.squares[n];
    }
    return prefix;
}

// The cluster search scores only the groups whose bound its best score does not undercut by
// more than the margin; that gives the same split only if no score lies further below its
// group's bound. Texel runs sorted along one channel, in blocks of few and many values,
// dark and bright, for every texel count.
TEST(DxtKernels, NoSplitScoresBelowItsGroupsBound)
{
    std::mt19937 rng(4242);
    for (int n = 2; n <= 16; ++n)
        for (int trial = 0; trial < 300; ++trial) {
            const int kind = trial % 5;
            const dxt::kernels::PrefixSums prefix = sortedTexelSums(rng, n, kind);
            const auto& layout = dxt::kernels::splitLayout(n);
            std::vector<float> scores(1600);
            dxt::kernels::scoreSplitsScalar(layout, prefix, n, dxt::kernels::kEveryGroup.data(), layout.groupCount, scores.data());
            float bound[160];
            dxt::kernels::splitBounds(prefix, n, bound);
            const float margin = dxt::kernels::boundMargin(prefix, n);
            for (int g = 0; g < layout.groupCount; ++g) {
                const auto& group = layout.group[g];
                for (int e = group.first; e < group.first + 8 * group.chunks; ++e)
                    ASSERT_GE(scores[e], bound[g] - margin) << n << " texels, kind " << kind << ", trial " << trial << ", entry " << e;
            }
            // Every path's bounds are the plain ones, bit for bit (they choose the groups
            // scored, so a path of its own could change the output).
            for (const Isa isa : {Isa::Sse41, Isa::Avx2}) {
                if (!dxt::kernels::supported(isa))
                    continue;
                float other[160];
                dxt::kernels::kernelsFor(isa).splitBounds(prefix, n, other);
                for (int g = 0; g < layout.groupCount; ++g)
                    ASSERT_EQ(std::bit_cast<std::uint32_t>(other[g]), std::bit_cast<std::uint32_t>(bound[g]))
                        << static_cast<int>(isa) << ", " << n << " texels, kind " << kind << ", trial " << trial << ", group " << g;
            }
        }
}

// Scoring a list of groups gives the scores and the first least split of those groups alone.
TEST(DxtKernels, SplitScoresOfListedGroups)
{
    std::mt19937 rng(8);
    for (const Isa isa : {Isa::Scalar, Isa::Sse41, Isa::Avx2}) {
        if (!dxt::kernels::supported(isa))
            continue;
        const auto& kernels = dxt::kernels::kernelsFor(isa);
        for (int n = 2; n <= 16; ++n) {
            dxt::kernels::PrefixSums prefix{};
            for (int ch = 0; ch < 3; ++ch) {
                for (int j = 0; j < n; ++j)
                    prefix.sum[ch][j + 1] = prefix.sum[ch][j] + static_cast<float>(rng() % 256);
                for (int j = n + 1; j < 32; ++j)
                    prefix.sum[ch][j] = prefix.sum[ch][n];
            }
            const auto& layout = dxt::kernels::splitLayout(n);
            std::vector<float> all(1600), some(1600);
            kernels.scoreSplits(layout, prefix, n, dxt::kernels::kEveryGroup.data(), layout.groupCount, all.data());
            std::vector<std::uint8_t> listed;
            for (int g = 0; g < layout.groupCount; ++g)
                if (rng() % 3 == 0)
                    listed.push_back(static_cast<std::uint8_t>(g));
            const int first = kernels.scoreSplits(layout, prefix, n, listed.data(), static_cast<int>(listed.size()), some.data());
            int expected = -1;
            for (const std::uint8_t g : listed) {
                const auto& group = layout.group[g];
                for (int e = group.first; e < group.first + 8 * group.chunks; ++e) {
                    ASSERT_EQ(std::bit_cast<std::uint32_t>(some[e]), std::bit_cast<std::uint32_t>(all[e]));
                    if (all[e] < std::numeric_limits<float>::infinity() && (expected < 0 || all[e] < all[expected]))
                        expected = e;
                }
            }
            EXPECT_EQ(first, expected) << n << " texels";
            EXPECT_EQ(kernels.scoreSplits(layout, prefix, n, listed.data(), 0, some.data()), -1);
        }
    }
}

// The search with one split kept gives the first least split of them all on every path, and
// every path scores the same groups: with the bounds as they are, with their least held by
// several groups (the seed is the first of them) and with every bound the same (all scored).
TEST(DxtKernels, SplitSearchFindsTheFirstLeastOfAll)
{
    constexpr float unwritten = -1.5e38f;
    std::mt19937 rng(77);
    for (int n = 2; n <= 16; ++n)
        for (int trial = 0; trial < 60; ++trial) {
            const dxt::kernels::PrefixSums prefix = sortedTexelSums(rng, n, trial % 5);
            const auto& layout = dxt::kernels::splitLayout(n);
            std::vector<float> all(1600);
            const int allFirst =
                dxt::kernels::scoreSplitsScalar(layout, prefix, n, dxt::kernels::kEveryGroup.data(), layout.groupCount, all.data());
            float bound[160];
            dxt::kernels::splitBounds(prefix, n, bound);
            const float margin = dxt::kernels::boundMargin(prefix, n);
            const float least = *std::min_element(bound, bound + layout.groupCount);
            for (const char* what : {"as they are", "least held twice", "all the same"}) {
                float given[160];
                std::copy(bound, bound + 160, given);
                if (what[0] == 'l')
                    given[rng() % layout.groupCount] = least;
                if (what[0] == 'a')
                    std::fill(given, given + 160, least);
                std::vector<float> plain(1600, unwritten);
                const int plainFirst = dxt::kernels::searchSplitsScalar(layout, prefix, n, given, margin, plain.data());
                ASSERT_EQ(plainFirst, allFirst) << n << " texels, trial " << trial << ", bounds " << what;
                for (const VectorPath& path : kVectorPaths) {
                    if (!dxt::kernels::supported(path.isa))
                        continue;
                    std::vector<float> vector(1600, unwritten);
                    const int vectorFirst = dxt::kernels::kernelsFor(path.isa).searchSplits(layout, prefix, n, given, margin, vector.data());
                    ASSERT_EQ(vectorFirst, allFirst) << path.name << ", " << n << " texels, trial " << trial << ", bounds " << what;
                    for (int e = 0; e < layout.entries; ++e)
                        ASSERT_EQ(std::bit_cast<std::uint32_t>(vector[e]), std::bit_cast<std::uint32_t>(plain[e]))
                            << path.name << ", " << n << " texels, trial " << trial << ", bounds " << what << ", entry " << e;
                }
            }
        }
}

// The texels of a source block that its mask keeps, packed to the front as the encoder packs
// them (the padding slots copy the first).
dxt::kernels::BlockTexels texelsOf(const SourceBlock& block)
{
    dxt::kernels::BlockTexels t{};
    t.count = 0;
    for (int i = 0; i < 16; ++i)
        if (block.mask & (1u << i))
            t.position[t.count++] = static_cast<std::uint8_t>(i);
    for (int i = t.count; i < 16; ++i)
        t.position[i] = t.position[0];
    for (int i = 0; i < 16; ++i) {
        for (int ch = 0; ch < 3; ++ch) {
            t.c[ch][i] = block.texels[4 * t.position[i] + 2 - ch];
            t.cf[ch][i] = static_cast<float>(t.c[ch][i]);
        }
        t.valid[i] = i < t.count;
        t.counts[i] = i < t.count ? 1.0f : 0.0f;
        t.existing[i] = i < t.count ? 0xFF : 0;
    }
    return t;
}

// The order along an axis is the stable sort of the keys (ties, in blocks of few colours, keep
// the texels' order), the places are its inverse and the running sums are added up along it;
// every path gives the plain path's bits. Axes of every sign, with zero components, and
// partial blocks.
TEST(DxtKernels, OrderAlongIsTheStableSortOfTheKeys)
{
    std::mt19937 rng(31);
    std::uniform_real_distribution<float> component(-1.0f, 1.0f);
    for (const SourceBlock& block : sourceBlocks(12)) {
        const dxt::kernels::BlockTexels t = texelsOf(block);
        if (t.count < 2)
            continue;
        float axis[3] = {component(rng), component(rng), component(rng)};
        if (rng() % 4 == 0)
            axis[rng() % 3] = 0;
        const int n = t.count;
        float key[16];
        std::array<int, 16> expected{};
        for (int i = 0; i < n; ++i) {
            key[i] = t.cf[0][i] * axis[0] + t.cf[1][i] * axis[1] + t.cf[2][i] * axis[2];
            expected[i] = i;
        }
        std::stable_sort(expected.begin(), expected.begin() + n, [&key](int a, int b) { return key[a] < key[b]; });
        std::uint8_t order[16];
        std::int32_t place[16];
        dxt::kernels::PrefixSums prefix;
        dxt::kernels::orderAlongScalar(t, axis, order, place, prefix);
        float running[4] = {};
        for (int j = 0; j < n; ++j) {
            const int i = expected[j];
            ASSERT_EQ(order[j], i) << block.what << ", place " << j;
            ASSERT_EQ(place[i], j) << block.what << ", texel " << i;
            for (int ch = 0; ch < 3; ++ch)
                running[ch] += t.cf[ch][i];
            const float r = t.cf[0][i], g = t.cf[1][i], b = t.cf[2][i];
            running[3] += dxt::kernels::kWeight[0] * r * r + dxt::kernels::kWeight[1] * g * g + dxt::kernels::kWeight[2] * b * b;
            for (int ch = 0; ch < 3; ++ch)
                ASSERT_EQ(prefix.sum[ch][j + 1], running[ch]) << block.what << ", place " << j;
            ASSERT_EQ(prefix.squares[j + 1], running[3]) << block.what << ", place " << j;
        }
        for (int j = n + 1; j < 32; ++j)
            ASSERT_EQ(prefix.squares[j], running[3]) << block.what;
        for (const VectorPath& path : kVectorPaths) {
            if (!dxt::kernels::supported(path.isa))
                continue;
            std::uint8_t otherOrder[16];
            std::int32_t otherPlace[16];
            dxt::kernels::PrefixSums other;
            dxt::kernels::kernelsFor(path.isa).orderAlong(t, axis, otherOrder, otherPlace, other);
            ASSERT_EQ(std::memcmp(otherOrder, order, static_cast<std::size_t>(n)), 0) << path.name << ", " << block.what;
            ASSERT_EQ(std::memcmp(otherPlace, place, sizeof(std::int32_t) * static_cast<std::size_t>(n)), 0) << path.name << ", " << block.what;
            ASSERT_EQ(std::memcmp(&other, &prefix, sizeof prefix), 0) << path.name << ", " << block.what;
        }
    }
}

}  // namespace
