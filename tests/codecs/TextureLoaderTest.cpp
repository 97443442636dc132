#include "codecs/TextureLoader.h"

#include "TextureBytes.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using testsupport::TextureHeader;
using testsupport::textureBytes;

LoadedTexture load(const std::vector<std::uint8_t>& bytes)
{
    return loadTexture(bytes.data(), bytes.size());
}

// An 8-byte colour block of one solid colour: c0 = c1 = v, all indices 0.
std::vector<std::uint8_t> solidBlock(std::uint16_t v)
{
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v),
            static_cast<std::uint8_t>(v >> 8), 0, 0, 0, 0};
}

TEST(TextureLoader, RefusesMalformedTextures)
{
    const std::vector<std::uint8_t> rgba(4 * 4 * 4, 0);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        TextureLoadStatus status;
    };
    auto badMagic = textureBytes(2, 4, 4, 1, rgba);
    badMagic[3] = 'Y';
    auto shortData = textureBytes(2, 4, 4, 1, rgba);
    shortData.pop_back();
    auto shortHeader = textureBytes(2, 4, 4, 1, {});
    shortHeader.resize(35);
    const Case cases[] = {
        {"bad magic", badMagic, TextureLoadStatus::NotTexture},
        {"three bytes", {'K', 'T', 'E'}, TextureLoadStatus::NotTexture},
        {"count 11", textureBytes(2, 4, 4, 11, rgba), TextureLoadStatus::TooManyMaps},
        {"count 11 before an unknown format", textureBytes(3, 4, 4, 11, rgba), TextureLoadStatus::TooManyMaps},
        {"format 4", textureBytes(4, 4, 4, 1, rgba), TextureLoadStatus::UnknownFormat},
        {"format 0x10B", textureBytes(0x10B, 4, 4, 1, rgba), TextureLoadStatus::UnknownFormat},
        {"data one byte short", shortData, TextureLoadStatus::Truncated},
        {"header cut", shortHeader, TextureLoadStatus::Truncated},
        {"second map missing", textureBytes(2, 4, 4, 2, std::vector<std::uint8_t>(4 * 4 * 4)), TextureLoadStatus::Truncated},
        {"negative width", textureBytes(2, -4, 4, 1, rgba), TextureLoadStatus::BadSize},
        {"width of zero, height huge", textureBytes(10, 0, 0x7FFFFFFF, 1, {}), TextureLoadStatus::BadSize},
    };
    for (const Case& c : cases) {
        const LoadedTexture t = load(c.bytes);
        EXPECT_EQ(t.status, c.status) << c.name;
        EXPECT_EQ(t.count(), 0) << c.name;
    }
    EXPECT_EQ(loadTexture(nullptr, 0).status, TextureLoadStatus::NotTexture);
}

TEST(TextureLoader, UncompressedFormatsExpandAsTheGameDoes)
{
    struct Case {
        std::uint32_t format;
        std::vector<std::uint8_t> data;  // two pixels
        std::uint32_t first, second;     // 0xAARRGGBB
        bool alpha;
    };
    const Case cases[] = {
        {2, {1, 2, 3, 4, 250, 251, 252, 253}, 0x04030201u, 0xFDFCFBFAu, true},
        {6, {0x21, 0x43, 0xFF, 0x0F}, 0x44332211u, 0x00FFFFFFu, true},
        {8, {0xFF, 0xFF, 0x1F, 0xF8}, 0xFFF8FCF8u, 0xFFF800F8u, false},
        {8, {0xE0, 0x07, 0x00, 0x00}, 0xFF00FC00u, 0xFF000000u, false},
    };
    for (const Case& c : cases) {
        const LoadedTexture t = load(textureBytes(c.format, 2, 1, 1, c.data));
        ASSERT_TRUE(t.ok()) << c.format;
        EXPECT_EQ(t.hasAlpha, c.alpha);
        ASSERT_EQ(t.count(), 1);
        const PixelBitmap& m = t.maps[0];
        EXPECT_TRUE(m.hasAlpha());  // always set on the maps themselves
        EXPECT_EQ(m.bitsPerPixel(), 32);
        EXPECT_EQ(m.pixelAt(0, 0), c.first) << c.format;
        EXPECT_EQ(m.pixelAt(1, 0), c.second) << c.format;
    }
}

TEST(TextureLoader, RowsComeFromTheTopAndBlocksInRowMajorOrder)
{
    // RGBA 8888, 1 x 2: the first stored pixel is the top row.
    const LoadedTexture rows = load(textureBytes(2, 1, 2, 1, {1, 1, 1, 1, 2, 2, 2, 2}));
    ASSERT_TRUE(rows.ok());
    EXPECT_EQ(rows.maps[0].pixelAt(0, 0), 0x01010101u);
    EXPECT_EQ(rows.maps[0].pixelAt(0, 1), 0x02020202u);

    // DXT1 8 x 8: blocks red, green / blue, white.
    std::vector<std::uint8_t> data;
    for (std::uint16_t v : {0xF800, 0x07E0, 0x001F, 0xFFFF}) {
        const auto b = solidBlock(v);
        data.insert(data.end(), b.begin(), b.end());
    }
    const LoadedTexture blocks = load(textureBytes(10, 8, 8, 1, data));
    ASSERT_TRUE(blocks.ok());
    EXPECT_FALSE(blocks.hasAlpha);
    const PixelBitmap& m = blocks.maps[0];
    EXPECT_EQ(m.pixelAt(3, 3), 0xFFFE0000u);
    EXPECT_EQ(m.pixelAt(4, 0), 0xFF00FF00u);
    EXPECT_EQ(m.pixelAt(0, 4), 0xFF0000FEu);
    EXPECT_EQ(m.pixelAt(7, 7), 0xFFFEFFFEu);

    // DXT3: alpha nibbles, the leftmost pixel in the lowest nibble; format bytes 9-11 ignored.
    std::vector<std::uint8_t> dxt3 = {0x1F, 0, 0, 0, 0, 0, 0, 0};
    const auto colour = solidBlock(0xFFFF);
    dxt3.insert(dxt3.end(), colour.begin(), colour.end());
    const LoadedTexture a = load(textureBytes(0xABCD000C, 4, 4, 1, dxt3));
    ASSERT_TRUE(a.ok());
    EXPECT_TRUE(a.hasAlpha);
    EXPECT_EQ(a.format, texture::Format::Dxt3);
    EXPECT_EQ(a.maps[0].pixelAt(0, 0) >> 24, 255u);
    EXPECT_EQ(a.maps[0].pixelAt(1, 0) >> 24, 17u);
    EXPECT_EQ(a.maps[0].pixelAt(2, 0) >> 24, 0u);
}

TEST(TextureLoader, MapChainOfAWholeDxt1Texture)
{
    // 256 x 256 with 9 maps: 1 x 1 (0 bytes), 2 x 2 (2 bytes), 4 x 4 (8 bytes) ... 256 x 256
    // (32768 bytes). Each map is one solid colour, distinct per map.
    std::vector<std::uint8_t> data;
    const std::uint16_t colours[9] = {0, 0xF800, 0x07E0, 0x001F, 0xFFE0, 0x07FF, 0xF81F, 0x8410, 0xFFFF};
    for (int i = 0; i < 9; ++i) {
        const int side = 1 << i;
        const std::size_t size = static_cast<std::size_t>(side * side / 2);
        const auto block = solidBlock(colours[i]);
        for (std::size_t k = 0; k < size; ++k)
            data.push_back(block[k % 8]);
    }
    EXPECT_EQ(data.size(), 43690u);
    const LoadedTexture t = load(textureBytes(10, 256, 256, 9, data));
    ASSERT_TRUE(t.ok());
    ASSERT_EQ(t.count(), 9);
    for (int i = 0; i < 9; ++i) {
        const PixelBitmap& m = t.maps[i];
        ASSERT_EQ(m.width(), 1 << i);
        ASSERT_EQ(m.height(), 1 << i);
        // A 1 x 1 map has no data and reads as black; every other map is its colour.
        const LoadedTexture single = load(textureBytes(10, 4, 4, 1, solidBlock(colours[i])));
        EXPECT_EQ(m.pixelAt(m.width() - 1, m.height() - 1), single.maps[0].pixelAt(0, 0)) << "map " << i;
    }
    data.pop_back();
    EXPECT_EQ(load(textureBytes(10, 256, 256, 9, data)).status, TextureLoadStatus::Truncated);
}

TEST(TextureLoader, SizesComeFromTheReferencePairAndTheCountByte)
{
    const std::vector<std::uint8_t> data(4 * 8 * 2, 7);
    // The pair at 12/16 is ignored; 24/28 decide.
    const LoadedTexture pair = load(textureBytes(TextureHeader{2, 99, 99, 1, 8, 2}, data));
    ASSERT_TRUE(pair.ok());
    EXPECT_EQ(pair.maps[0].width(), 8);
    EXPECT_EQ(pair.maps[0].height(), 2);

    // Count bytes 0 and -1 (0xFF, the other bytes ignored) mean one map.
    for (std::uint32_t count : {0u, 0xFFu, 0x12345600u}) {
        const LoadedTexture one = load(textureBytes(2, 8, 2, count, data));
        ASSERT_TRUE(one.ok()) << count;
        EXPECT_EQ(one.count(), 1);
        EXPECT_EQ(one.maps[0].width(), 8);
    }

    // 256 x 128 with 6 maps: 8 x 4 up to 256 x 128, smallest first.
    std::size_t total = 0;
    for (int i = 0; i < 6; ++i)
        total += static_cast<std::size_t>((8 << i) * (4 << i) * 2);
    const LoadedTexture chain = load(textureBytes(8, 256, 128, 6, std::vector<std::uint8_t>(total)));
    ASSERT_TRUE(chain.ok());
    ASSERT_EQ(chain.count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(chain.maps[i].width(), 8 << i);
        EXPECT_EQ(chain.maps[i].height(), 4 << i);
    }

    // Ten maps are allowed. A reference side below 2^(n-1) halves to 0, and every
    // larger map doubles that 0: the maps are empty and hold no data.
    const LoadedTexture ten = load(textureBytes(2, 4, 512, 10, {}));
    ASSERT_TRUE(ten.ok());
    EXPECT_EQ(ten.count(), 10);
    EXPECT_EQ(ten.maps[0].width(), 0);
    EXPECT_EQ(ten.maps[0].height(), 1);
    EXPECT_EQ(ten.maps[9].width(), 0);
    EXPECT_EQ(ten.maps[9].height(), 512);
}

TEST(TextureLoader, DamagedHeadersNeverReadPastTheBytes)
{
    // Valid textures of every format with their header bytes and length changed at
    // random; each copy is exactly as long as its bytes, so a sanitizer build sees
    // any read past the end.
    const unsigned seed = 20261209;
    std::mt19937 rng(seed);
    for (std::uint32_t format : {2u, 6u, 8u, 10u, 12u}) {
        const auto info = texture::infoOf(*texture::formatFromCode(static_cast<std::uint8_t>(format)));
        ASSERT_NE(info, nullptr);
        std::size_t size = 0;
        for (int i = 0; i < 4; ++i)
            size += static_cast<std::size_t>(texture::mapDataSize(info->format, 16 >> (3 - i), 8 >> (3 - i)));
        const auto good = textureBytes(format, 16, 8, 4, std::vector<std::uint8_t>(size, 0x5A));
        ASSERT_TRUE(load(good).ok());
        for (int round = 0; round < 400; ++round) {
            auto bytes = good;
            for (int k = 0; k < 3; ++k) {
                const std::size_t at = std::uniform_int_distribution<std::size_t>(8, 35)(rng);
                bytes[at] = static_cast<std::uint8_t>(rng() % 4 == 0 ? rng() : rng() % 20);
            }
            bytes.resize(std::uniform_int_distribution<std::size_t>(0, bytes.size())(rng));
            const LoadedTexture t = load(bytes);
            EXPECT_EQ(t.ok(), t.count() >= 1) << "seed " << seed << " format " << format << " round " << round;
        }
    }
}

}  // namespace
