#include "codecs/TextureLoader.h"
#include "codecs/TextureWriter.h"

#include <VolumeBuilder.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

namespace {

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

std::uint32_t le32(const std::vector<unsigned char>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// A smooth picture with some noise: gradients in colour and alpha.
PixelBitmap testImage(int w, int h, unsigned seed = 1)
{
    std::mt19937 rng(seed);
    PixelBitmap bmp;
    bmp.create(w, h, 32, true);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = bmp.row(y) + 4 * x;
            const int noise = static_cast<int>(rng() % 9) - 4;
            p[0] = static_cast<std::uint8_t>(std::clamp(x * 255 / std::max(1, w - 1) + noise, 0, 255));
            p[1] = static_cast<std::uint8_t>(std::clamp(y * 255 / std::max(1, h - 1) + noise, 0, 255));
            p[2] = static_cast<std::uint8_t>((x + y) * 255 / std::max(1, w + h - 2));
            p[3] = static_cast<std::uint8_t>(255 - y * 255 / std::max(1, h - 1));
        }
    return bmp;
}

LoadedTexture loadFile(const std::filesystem::path& path)
{
    const auto bytes = readFile(path);
    return loadTexture(bytes.data(), bytes.size());
}

TEST(TextureWriter, HeaderAndSizeForEveryFormatAndMapOption)
{
    TempDir dir;
    struct Case {
        int formatIndex;
        int w, h;
        MapOption option;
        int maps;
        std::uint32_t code;
        std::size_t size;
    };
    const Case cases[] = {
        {3, 64, 64, MapOption::LargestOnly, 1, 8, 36 + 8192},
        {0, 4, 4, MapOption::LargestOnly, 1, 10, 44},
        {1, 8, 4, MapOption::KeepAll, 1, 12, 36 + 32},
        {2, 16, 8, MapOption::LargestOnly, 1, 6, 36 + 256},
        {4, 4, 8, MapOption::LargestOnly, 1, 2, 36 + 128},
        {0, 256, 128, MapOption::Generate, 6, 10, 36 + 16 + 64 + 256 + 1024 + 4096 + 16384},
        {4, 8, 8, MapOption::Generate, 2, 2, 36 + 64 + 256},
        // Below 4 x 4 the block maps take the reader's sizes: 1 x 1 none, 2 x 2 two bytes.
        {0, 4, 4, MapOption::Generate, 3, 10, 36 + 0 + 2 + 8},
        {1, 4, 4, MapOption::Generate, 3, 12, 36 + 0 + 4 + 16},
    };
    for (const Case& c : cases) {
        const auto path = dir / "t.tex";
        const bool alpha = texture::FORMATS[static_cast<std::size_t>(c.formatIndex)].hasAlpha;
        ASSERT_EQ(writeTexture(path, c.option, alpha, c.maps, testImage(c.w, c.h), c.formatIndex), TextureWriteStatus::Ok);
        const auto b = readFile(path);
        ASSERT_EQ(b.size(), c.size) << c.formatIndex << " " << c.w << "x" << c.h;
        EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "KTEX");
        const std::uint32_t expected[8] = {0, c.code, static_cast<std::uint32_t>(c.w), static_cast<std::uint32_t>(c.h),
                                           static_cast<std::uint32_t>(c.maps), static_cast<std::uint32_t>(c.w),
                                           static_cast<std::uint32_t>(c.h), 0xFFFFFFFFu};
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(le32(b, 4 + 4 * static_cast<std::size_t>(i)), expected[i]) << "field " << i;
        const LoadedTexture t = loadTexture(b.data(), b.size());
        ASSERT_TRUE(t.ok());
        EXPECT_EQ(t.count(), c.maps);
        EXPECT_EQ(t.maps[t.count() - 1].width(), c.w);
    }
}

TEST(TextureWriter, RefusalsCreateNoFileAndKeepAnExistingOne)
{
    TempDir dir;
    const auto path = dir / "t.tex";
    writeFile(path, {'o', 'l', 'd'});
    struct Case {
        const char* name;
        PixelBitmap image;
        bool alpha;
        MapOption option;
        int maps;
        int formatIndex;
        TextureWriteStatus status;
    };
    const Case cases[] = {
        {"2 x 2", testImage(2, 2), false, MapOption::LargestOnly, 1, 0, TextureWriteStatus::BadSize},
        {"4 x 6", testImage(4, 6), false, MapOption::LargestOnly, 1, 0, TextureWriteStatus::BadSize},
        {"4096 wide", testImage(4096, 4), false, MapOption::LargestOnly, 1, 0, TextureWriteStatus::BadSize},
        {"DXT3 without alpha", testImage(4, 4), false, MapOption::LargestOnly, 1, 1, TextureWriteStatus::AlphaMismatch},
        {"RGB 565 with alpha", testImage(4, 4), true, MapOption::LargestOnly, 1, 3, TextureWriteStatus::AlphaMismatch},
        {"format index 5", testImage(4, 4), true, MapOption::LargestOnly, 1, 5, TextureWriteStatus::AlphaMismatch},
        {"11 maps", testImage(8, 8), false, MapOption::Generate, 11, 0, TextureWriteStatus::BadMapCount},
        {"0 maps", testImage(8, 8), false, MapOption::Generate, 0, 0, TextureWriteStatus::BadMapCount},
        {"maps halving to nothing", testImage(8, 8), false, MapOption::Generate, 5, 0, TextureWriteStatus::BadMapCount},
        {"one map with a count of 3", testImage(8, 8), false, MapOption::LargestOnly, 3, 0, TextureWriteStatus::BadMapCount},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(writeTexture(path, c.option, c.alpha, c.maps, c.image, c.formatIndex), c.status) << c.name;
        EXPECT_EQ(readFile(path), (std::vector<unsigned char>{'o', 'l', 'd'})) << c.name;
    }
    EXPECT_EQ(writeTexture(dir / "missing" / "t.tex", MapOption::LargestOnly, false, 1, testImage(4, 4), 0),
              TextureWriteStatus::OpenFailed);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // no temporary left
}

TEST(TextureWriter, UncompressedFormatsRoundTripExactly)
{
    TempDir dir;
    PixelBitmap image = testImage(32, 16, 7);
    // Values that the 16-bit formats hold exactly.
    PixelBitmap q565(image), q4444(image);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) {
            std::uint8_t* a = q565.row(y) + 4 * x;
            a[0] &= 0xF8, a[1] &= 0xFC, a[2] &= 0xF8, a[3] = 255;
            std::uint8_t* b = q4444.row(y) + 4 * x;
            for (int c = 0; c < 4; ++c)
                b[c] = static_cast<std::uint8_t>((b[c] >> 4) * 17);
        }
    struct Case {
        int formatIndex;
        const PixelBitmap* image;
    };
    for (const Case& c : {Case{4, &image}, Case{3, &q565}, Case{2, &q4444}}) {
        const bool alpha = texture::FORMATS[static_cast<std::size_t>(c.formatIndex)].hasAlpha;
        ASSERT_EQ(writeTexture(dir / "t.tex", MapOption::LargestOnly, alpha, 1, *c.image, c.formatIndex), TextureWriteStatus::Ok);
        const LoadedTexture t = loadFile(dir / "t.tex");
        ASSERT_TRUE(t.ok());
        for (int y = 0; y < 16; ++y)
            ASSERT_EQ(std::memcmp(t.maps[0].row(y), c.image->row(y), 32 * 4), 0) << c.formatIndex << " row " << y;
    }
}

TEST(TextureWriter, GeneratedMapsAreAreaMeansOfTheFullImage)
{
    TempDir dir;
    const PixelBitmap image = testImage(256, 128, 3);
    ASSERT_EQ(writeTexture(dir / "t.tex", MapOption::Generate, true, 6, image, 4), TextureWriteStatus::Ok);
    const LoadedTexture t = loadFile(dir / "t.tex");
    ASSERT_TRUE(t.ok());
    ASSERT_EQ(t.count(), 6);
    for (int i = 0; i < 6; ++i) {
        const PixelBitmap& m = t.maps[i];
        const int f = 32 >> i;  // reduced by 32, 16, 8, 4, 2 and 1
        ASSERT_EQ(m.width(), 8 << i);
        ASSERT_EQ(m.height(), 4 << i);
        for (int y = 0; y < m.height(); y += 3)
            for (int x = 0; x < m.width(); x += 5)
                for (int c = 0; c < 4; ++c) {
                    int sum = 0;
                    for (int j = 0; j < f; ++j)
                        for (int k = 0; k < f; ++k)
                            sum += image.row(y * f + j)[4 * (x * f + k) + c];
                    ASSERT_EQ(m.row(y)[4 * x + c], (sum + f * f / 2) / (f * f)) << i << " " << x << "," << y;
                }
    }
}

TEST(TextureWriter, CompressedMapsDecodeCloseToTheImage)
{
    TempDir dir;
    const PixelBitmap image = testImage(64, 32, 5);
    for (int formatIndex : {0, 1}) {
        const bool alpha = formatIndex == 1;
        ASSERT_EQ(writeTexture(dir / "t.tex", MapOption::Generate, alpha, 4, image, formatIndex), TextureWriteStatus::Ok);
        const LoadedTexture t = loadFile(dir / "t.tex");
        ASSERT_TRUE(t.ok());
        const PixelBitmap& m = t.maps[3];
        double squared = 0;
        int worstAlpha = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const double d = m.row(y)[4 * x + c] - image.row(y)[4 * x + c];
                    squared += d * d;
                }
                const int a = m.row(y)[4 * x + 3];
                worstAlpha = std::max(worstAlpha, std::abs(a - (alpha ? image.row(y)[4 * x + 3] : 255)));
            }
        const double rms = std::sqrt(squared / (64 * 32 * 3));
        EXPECT_LT(rms, 6.0) << formatIndex;
        EXPECT_LE(worstAlpha, 8) << formatIndex;  // 4-bit alpha rounds to the nearest of 16 steps
    }
}

// A single map is encoded from the picture's own rows (stored bottom-up) in
// bands on several threads: its blocks are those of the whole picture encoded
// top-down on one thread, with alpha read as 255 where the texture has none.
TEST(TextureWriter, OneMapIsThePicturesBlocksInOrderOnAnyThreadCount)
{
    TempDir dir;
    constexpr int W = 512, H = 256;  // 8192 blocks: shared among the threads there are
    const PixelBitmap image = testImage(W, H, 9);
    for (const int formatIndex : {0, 1}) {
        SCOPED_TRACE(formatIndex);
        const bool alpha = formatIndex == 1;
        std::vector<std::uint8_t> topDown(std::size_t{W} * H * 4);
        for (int y = 0; y < H; ++y) {
            std::memcpy(&topDown[std::size_t{W} * 4 * y], image.row(y), std::size_t{W} * 4);
            for (int x = 0; !alpha && x < W; ++x)
                topDown[(std::size_t{W} * y + x) * 4 + 3] = 255;
        }
        std::vector<std::uint8_t> expected(std::size_t{W} * H / 16 * (alpha ? 16 : 8));
        dxt::encodeImage(topDown.data(), W, H, std::size_t{W} * 4, alpha, expected.data(), dxt::Quality::Fast, 1);

        ASSERT_EQ(writeTexture(dir / "t.tex", MapOption::LargestOnly, alpha, 1, image, formatIndex, dxt::Quality::Fast),
                  TextureWriteStatus::Ok);
        const auto bytes = readFile(dir / "t.tex");
        ASSERT_EQ(bytes.size(), 36 + expected.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + 36));
    }
}

TEST(TextureWriter, MapsBelowFourPixelsKeepTheirMeanColour)
{
    TempDir dir;
    PixelBitmap image;
    image.create(4, 4, 32, false);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const std::uint32_t v = (x + y) % 2 ? 0xFF203040u : 0xFFA0B0C0u;  // mean (0x60, 0x70, 0x80)
            std::memcpy(image.row(y) + 4 * x, &v, 4);
        }
    ASSERT_EQ(writeTexture(dir / "t.tex", MapOption::Generate, false, 3, image, 0), TextureWriteStatus::Ok);
    const LoadedTexture t = loadFile(dir / "t.tex");
    ASSERT_TRUE(t.ok());
    const PixelBitmap& small = t.maps[1];
    ASSERT_EQ(small.width(), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
            const std::uint8_t* p = small.row(y) + 4 * x;
            EXPECT_NEAR(p[0], 0x80, 8);
            EXPECT_NEAR(p[1], 0x70, 4);
            EXPECT_NEAR(p[2], 0x60, 8);
        }
}

TEST(TextureWriter, CompressorDeliversThreePiecesAndKeepsOnlyTheMap)
{
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    const PixelBitmap image = testImage(4, 4);
    std::vector<std::uint8_t> pixels(64);
    for (int y = 0; y < 4; ++y)
        std::memcpy(&pixels[16 * static_cast<std::size_t>(y)], image.row(y), 16);

    writeCompressedChunk(3, "abc");  // no output file: nothing, the counter does not move
    setCompressedOutput(f);
    EXPECT_EQ(compressImage(nullptr, 4, 4, 17), COMPRESS_NO_PIXELS);
    EXPECT_EQ(compressImage(pixels.data(), 4, 4, 17, false, false, 2), COMPRESS_BAD_PIXEL_SIZE);
    EXPECT_EQ(compressImage(pixels.data(), 4, 3, 17), COMPRESS_NOT_POWER_OF_TWO);
    EXPECT_EQ(compressImage(pixels.data(), 0, 4, 17), COMPRESS_NOT_POWER_OF_TWO);
    EXPECT_EQ(compressImage(pixels.data(), 4, 4, 11), COMPRESS_UNSUPPORTED);
    EXPECT_EQ(compressImage(pixels.data(), 4, 4, 17), COMPRESS_OK);
    EXPECT_EQ(compressImage(pixels.data(), 4, 4, 16), COMPRESS_OK);
    EXPECT_EQ(compressImage(pixels.data(), 1, 1, 10), COMPRESS_OK);  // no bytes for a 1 x 1 block map
    EXPECT_FALSE(compressedOutputFailed());
    setCompressedOutput(nullptr);

    std::fflush(f);
    const long size = std::ftell(f);
    EXPECT_EQ(size, 64 + 32);
    std::rewind(f);
    std::vector<std::uint8_t> written(static_cast<std::size_t>(size));
    ASSERT_EQ(std::fread(written.data(), 1, written.size(), f), written.size());
    std::fclose(f);
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), written.begin()));
    const std::uint8_t* p = pixels.data() + 4;
    const unsigned v565 = (p[2] >> 3) << 11 | (p[1] >> 2) << 5 | p[0] >> 3;
    EXPECT_EQ(written[64 + 2], v565 & 0xFF);
    EXPECT_EQ(written[64 + 3], v565 >> 8);
}

}  // namespace
