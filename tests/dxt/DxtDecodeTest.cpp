#include "codecs/DxtBlock.h"
#include "codecs/DxtTables.h"
#include "DxtTestBlocks.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using Block8 = std::array<std::uint8_t, 8>;
using dxt_test::Texels;

// The game's formulas evaluated directly in double precision, the reference for the tables.
int refExpand5(unsigned v)
{
    return static_cast<int>(v * 8.2258);
}

int refExpand6(unsigned v)
{
    return static_cast<int>(v * 4.04762);
}

int refMix(int a, int b)
{
    const double near = 0.66f;
    const double far = 0.33f;
    const double sum = near * a + far * b;
    return static_cast<int>(sum);
}

Block8 colourBlock(std::uint16_t c0, std::uint16_t c1, std::array<std::uint8_t, 4> rows)
{
    return {static_cast<std::uint8_t>(c0), static_cast<std::uint8_t>(c0 >> 8),
            static_cast<std::uint8_t>(c1), static_cast<std::uint8_t>(c1 >> 8),
            rows[0], rows[1], rows[2], rows[3]};
}

// Red, green, blue of texel (x, y).
std::array<int, 3> rgbAt(const Texels& t, int x, int y)
{
    const std::uint8_t* p = t.data() + 4 * (4 * y + x);
    return {p[2], p[1], p[0]};
}

TEST(DxtDecode, KnownColours)
{
    struct Case {
        std::uint16_t c0, c1;
        std::array<std::array<int, 3>, 4> colours;  // red, green, blue for indices 0..3
    };
    const Case cases[] = {
        {0xFFFF, 0x0000, {{{254, 255, 254}, {0, 0, 0}, {167, 168, 167}, {83, 84, 83}}}},
        // Equal endpoints still interpolate with weights summing to 0.99.
        {0xFFFF, 0xFFFF, {{{254, 255, 254}, {254, 255, 254}, {251, 252, 251}, {251, 252, 251}}}},
        // c0 < c1 is read in four-colour mode as well: index 3 is no transparent black.
        {0x0000, 0xFFFF, {{{0, 0, 0}, {254, 255, 254}, {83, 84, 83}, {167, 168, 167}}}},
        // Pure channels: red 31 only, green 63 only, blue 31 only.
        {0xF800, 0x07E0, {{{254, 0, 0}, {0, 255, 0}, {167, 84, 0}, {83, 168, 0}}}},
        {0x001F, 0x0000, {{{0, 0, 254}, {0, 0, 0}, {0, 0, 167}, {0, 0, 83}}}},
    };
    for (const Case& c : cases) {
        // Row y holds index y in all four texels.
        const Block8 block = colourBlock(c.c0, c.c1, {0x00, 0x55, 0xAA, 0xFF});
        Texels out{};
        dxt::decodeDxt1Block(block.data(), out.data());
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                EXPECT_EQ(rgbAt(out, x, y), c.colours[y]) << std::hex << c.c0 << " " << c.c1 << " index " << y;
                EXPECT_EQ(out[4 * (4 * y + x) + 3], 255);
            }
    }
}

TEST(DxtDecode, IndexBitOrder)
{
    // Row 0: texels use indices 0, 1, 2, 3 from the left (lowest bits first); row 3 reversed.
    const Block8 block = colourBlock(0xFFFF, 0x0000, {0xE4, 0x00, 0x00, 0x1B});
    Texels out{};
    dxt::decodeColourBlock(block.data(), out.data());
    const std::array<int, 4> greens = {255, 0, 168, 84};
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(rgbAt(out, x, 0)[1], greens[x]) << x;
        EXPECT_EQ(rgbAt(out, x, 3)[1], greens[3 - x]) << x;
        EXPECT_EQ(rgbAt(out, x, 1)[1], 255) << x;
    }
}

TEST(DxtDecode, Dxt3AlphaNibbles)
{
    std::array<std::uint8_t, 16> block{};
    // Row 0 nibbles from the left: 15, 1, 0, 8; row 2: 0, 0, 0, 15.
    block[0] = 0x1F;
    block[1] = 0x80;
    block[5] = 0xF0;
    const Block8 colour = colourBlock(0x07E0, 0x07E0, {0, 0, 0, 0});
    std::copy(colour.begin(), colour.end(), block.begin() + 8);
    Texels out{};
    dxt::decodeDxt3Block(block.data(), out.data());
    const std::array<int, 4> row0 = {255, 17, 0, 136};
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(out[4 * x + 3], row0[x]) << x;
        EXPECT_EQ(out[4 * (8 + x) + 3], x == 3 ? 255 : 0) << x;
        EXPECT_EQ(out[4 * (4 + x) + 3], 0) << x;
        EXPECT_EQ(rgbAt(out, x, 0), (std::array<int, 3>{0, 255, 0}));
    }
}

// The decoder reads colours through compile-time tables. Channels are decoded
// independently, so checking every pair of endpoint fields per channel, for both
// interpolated colours, covers every colour block there is.
TEST(DxtDecode, TablesEqualTheFormulasForEveryInput)
{
    for (unsigned v = 0; v < 32; ++v)
        ASSERT_EQ(dxt::tables::kExpand5[v], refExpand5(v)) << v;
    for (unsigned v = 0; v < 64; ++v)
        ASSERT_EQ(dxt::tables::kExpand6[v], refExpand6(v)) << v;
    EXPECT_EQ(dxt::tables::kExpand5[31], 254);
    EXPECT_EQ(dxt::tables::kExpand6[63], 255);

    // Every c0 against 64 partners c1 whose fields run through every 5-bit and 6-bit
    // value: each (c0 field, c1 field) pair of every channel occurs, and the block holds
    // all four indices in every row.
    std::uint64_t mismatches = 0;
    Texels out{};
    for (unsigned c0 = 0; c0 < 65536; ++c0) {
        for (unsigned k = 0; k < 64; ++k) {
            const unsigned c1 = ((k >> 1) << 11) | (k << 5) | ((k + 7) & 31);
            const Block8 block = colourBlock(static_cast<std::uint16_t>(c0), static_cast<std::uint16_t>(c1),
                                             {0xE4, 0x4E, 0xB1, 0x1B});
            dxt::decodeColourBlock(block.data(), out.data());
            const int e0[3] = {refExpand5(c0 >> 11), refExpand6((c0 >> 5) & 63), refExpand5(c0 & 31)};
            const int e1[3] = {refExpand5(c1 >> 11), refExpand6((c1 >> 5) & 63), refExpand5(c1 & 31)};
            std::array<std::array<int, 3>, 4> palette;
            for (int ch = 0; ch < 3; ++ch) {
                palette[0][ch] = e0[ch];
                palette[1][ch] = e1[ch];
                palette[2][ch] = refMix(e0[ch], e1[ch]);
                palette[3][ch] = refMix(e1[ch], e0[ch]);
            }
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) {
                    const int index = (block[4 + y] >> (2 * x)) & 3;
                    if (rgbAt(out, x, y) != palette[index])
                        ++mismatches;
                }
        }
    }
    EXPECT_EQ(mismatches, 0u);
}

// A whole map decoded straight into its rows equals the blocks decoded one by one, for
// sides that are and are not multiples of 4, with rows stored bottom-up as in a bitmap;
// nothing is written past a row's last texel or outside the map's rows.
TEST(DxtDecode, ImageIntoRowsEqualsBlockByBlock)
{
    const std::uint32_t seed = 14;
    std::mt19937 rng(seed);
    const std::pair<int, int> sizes[] = {{1, 1}, {3, 5}, {4, 4}, {5, 7}, {8, 4}, {13, 9}, {16, 16}, {2, 12}};
    constexpr std::uint8_t kGuard = 0xA5;
    for (const bool dxt3 : {false, true})
        for (const auto& [w, h] : sizes) {
            const int across = (w + 3) / 4, down = (h + 3) / 4;
            const std::size_t blockBytes = dxt3 ? 16 : 8;
            std::vector<std::uint8_t> blocks(blockBytes * static_cast<std::size_t>(across * down));
            for (auto& b : blocks)
                b = static_cast<std::uint8_t>(rng());
            // Stored bottom-up, each row followed by 8 guard bytes, guard rows around.
            const std::size_t stride = 4 * static_cast<std::size_t>(w) + 8;
            std::vector<std::uint8_t> store(stride * static_cast<std::size_t>(h + 2), kGuard);
            std::vector<std::uint8_t*> rows(static_cast<std::size_t>(h));
            for (int y = 0; y < h; ++y)
                rows[static_cast<std::size_t>(y)] = store.data() + stride * static_cast<std::size_t>(h - y);
            dxt::decodeImage(blocks.data(), w, h, dxt3, rows.data());

            Texels texels{};
            for (int by = 0; by < down; ++by)
                for (int bx = 0; bx < across; ++bx) {
                    const std::uint8_t* block = &blocks[blockBytes * static_cast<std::size_t>(by * across + bx)];
                    if (dxt3)
                        dxt::decodeDxt3Block(block, texels.data());
                    else
                        dxt::decodeDxt1Block(block, texels.data());
                    for (int y = 4 * by; y < std::min(h, 4 * by + 4); ++y)
                        for (int x = 4 * bx; x < std::min(w, 4 * bx + 4); ++x)
                            for (int c = 0; c < 4; ++c)
                                ASSERT_EQ(rows[static_cast<std::size_t>(y)][4 * x + c], texels[4 * (4 * (y - 4 * by) + x - 4 * bx) + c])
                                    << (dxt3 ? "DXT3 " : "DXT1 ") << w << " x " << h << " at " << x << ", " << y << " seed " << seed;
                }
            for (std::size_t i = 0; i < stride; ++i) {
                ASSERT_EQ(store[i], kGuard) << w << " x " << h;
                ASSERT_EQ(store[stride * static_cast<std::size_t>(h + 1) + i], kGuard) << w << " x " << h;
            }
            for (int y = 0; y < h; ++y)
                for (std::size_t i = 4 * static_cast<std::size_t>(w); i < stride; ++i)
                    ASSERT_EQ(rows[static_cast<std::size_t>(y)][i], kGuard) << w << " x " << h << " row " << y;
        }
}

}  // namespace
