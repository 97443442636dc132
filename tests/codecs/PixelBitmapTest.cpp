#include "codecs/CTextException.h"
#include "codecs/PixelBitmap.h"

#include <VolumeBuilder.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

using testsupport::readFile;
using testsupport::TempDir;

std::uint32_t le32(const std::vector<unsigned char>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(PixelBitmap, DefaultIsSixteenSquareGreyAtEightBits)
{
    const PixelBitmap bmp;
    EXPECT_EQ(bmp.width(), 16);
    EXPECT_EQ(bmp.height(), 16);
    EXPECT_EQ(bmp.bitsPerPixel(), 8);
    ASSERT_NE(bmp.colourTable(), nullptr);
    EXPECT_EQ(bmp.colourTable()[0], 0xFF000000u);
    EXPECT_EQ(bmp.colourTable()[1], 0xFF010101u);
    EXPECT_EQ(bmp.colourTable()[255], 0xFFFFFFFFu);
    EXPECT_EQ(bmp.storageSize(), 40u + 256 * 4 + 16 * 16);
}

TEST(PixelBitmap, RowsAreStoredBottomUp)
{
    PixelBitmap bmp;
    bmp.create(3, 2, 32, true);
    EXPECT_EQ(bmp.bytesPerLine(), 12);
    EXPECT_EQ(bmp.row(0), bmp.pixels() + 12);  // the top row is stored last
    EXPECT_EQ(bmp.row(1), bmp.pixels());
    EXPECT_EQ(bmp.storage() + 40, bmp.pixels());
    EXPECT_EQ(bmp.colourTable(), nullptr);
    EXPECT_EQ(bmp.memoryUsed(), 40 + 24 + sizeof(PixelBitmap));

    bmp.create(5, 1, 8, false);
    EXPECT_EQ(bmp.bytesPerLine(), 8);
}

TEST(PixelBitmap, CopyCropAndPixelAt)
{
    PixelBitmap bmp;
    bmp.create(4, 3, 32, true);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            const std::uint32_t v = 0xAA000000u | static_cast<std::uint32_t>(y << 8 | x);
            std::memcpy(bmp.row(y) + 4 * x, &v, 4);
        }
    const std::uint8_t* before = bmp.pixels();
    bmp.copyFrom(bmp, 0);
    EXPECT_EQ(bmp.pixels(), before);  // a copy onto itself changes nothing
    EXPECT_EQ(bmp.pixelAt(3, 2), 0xAA000203u);

    PixelBitmap part(bmp);
    part.crop(1, 3, 1, 3);
    ASSERT_EQ(part.width(), 2);
    ASSERT_EQ(part.height(), 2);
    EXPECT_EQ(part.pixelAt(0, 0), 0xAA000101u);
    EXPECT_EQ(part.pixelAt(1, 1), 0xAA000202u);
    EXPECT_TRUE(part.hasAlpha());

    part.crop(1, 9, -4, 1);  // clipped to the bitmap
    EXPECT_EQ(part.width(), 1);
    EXPECT_EQ(part.height(), 1);
    EXPECT_EQ(part.pixelAt(0, 0), 0xAA000102u);

    PixelBitmap grey;
    grey.create(2, 1, 8, false);
    grey.row(0)[0] = 0;
    grey.row(0)[1] = 255;
    PixelBitmap wide;
    wide.copyFrom(grey, 32);
    EXPECT_EQ(wide.pixelAt(0, 0), 0xFF000000u);
    EXPECT_EQ(wide.pixelAt(1, 0), 0xFFFFFFFFu);

    PixelBitmap moved(std::move(wide));
    EXPECT_EQ(moved.pixelAt(1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(wide.width(), 0);  // NOLINT: a moved-from bitmap is empty but valid
    EXPECT_EQ(wide.height(), 0);
}

TEST(PixelBitmap, SaveAsBmpWritesTwentyFourBitsPaddedWithBlanks)
{
    TempDir dir;
    PixelBitmap bmp;
    bmp.create(1, 2, 32, true);
    const std::uint32_t top = 0x80112233u, bottom = 0x80445566u;
    std::memcpy(bmp.row(0), &top, 4);
    std::memcpy(bmp.row(1), &bottom, 4);
    bmp.saveAsBmp((dir / "a.bmp").string());

    const auto b = readFile(dir / "a.bmp");
    ASSERT_EQ(b.size(), 54u + 2 * 4);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(le32(b, 2), 62u);
    EXPECT_EQ(le32(b, 10), 54u);
    EXPECT_EQ(b[14 + 14], 24);
    // Bottom row first, blue green red and one fill byte 0x20.
    EXPECT_EQ(std::vector<unsigned char>(b.begin() + 54, b.end()),
              (std::vector<unsigned char>{0x66, 0x55, 0x44, 0x20, 0x33, 0x22, 0x11, 0x20}));
}

TEST(PixelBitmap, RefusesSizesItCannotHold)
{
    PixelBitmap bmp;
    for (auto [w, h] : {std::pair{0x7FFFFFFF, 1}, std::pair{-1, 4}}) {
        try {
            bmp.create(w, h, 32, false);
            FAIL() << w << " x " << h;
        } catch (const CTextException& e) {
            EXPECT_EQ(e.code(), 10);
            EXPECT_EQ(e.message(), "Can't create bitmap.");
        }
    }
}

TEST(PixelBitmap, SaveAsBmpFailureThrowsCodeFive)
{
    TempDir dir;
    const PixelBitmap bmp;
    try {
        bmp.saveAsBmp((dir / "missing" / "x.bmp").string());
        FAIL() << "no exception";
    } catch (const CTextException& e) {
        EXPECT_EQ(e.code(), 5);
        EXPECT_EQ(e.message(), "SaveAsBmp:Can't open file.");
    }
}

}  // namespace
