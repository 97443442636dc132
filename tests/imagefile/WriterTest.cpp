// The writers: the TGA layout to the byte, lossless round trips through our own
// decoders, the JPEG error floor, and that a failed
// write leaves no file and an existing file untouched.
#include "ImageTestSupport.h"

#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace imagetest;

namespace {

PixelBitmap sampleBitmap(bool alpha)
{
    PixelBitmap bitmap;
    decodeFile(fixture("png_rgba.png"), bitmap, 32);
    bitmap.setHasAlpha(alpha);
    return bitmap;
}

bool samePixels(const PixelBitmap& a, const PixelBitmap& b, std::uint32_t mask)
{
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((argbAt(a, x, y) & mask) != (argbAt(b, x, y) & mask))
                return false;
    return true;
}

TEST(WriteTga, TwoPixelImageIsWrittenByteExact)
{
    TempDir dir;
    auto image = createRawImage(2, 1, 3, 2, 8);
    ASSERT_TRUE(image);
    const std::uint8_t pixels[] = {10, 20, 30, 40, 50, 60};
    std::copy(std::begin(pixels), std::end(pixels), image->row(0));
    ASSERT_EQ(writeTga(*image, dir.file("two.tga")), 0);

    const std::vector<std::uint8_t> bytes = readBytes(dir.file("two.tga"));
    ASSERT_EQ(bytes.size(), 50u);
    const std::vector<std::uint8_t> header = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 18), header);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 18, bytes.begin() + 24),
              (std::vector<std::uint8_t>{30, 20, 10, 60, 50, 40}));
    const std::string footer(bytes.begin() + 32, bytes.end());
    EXPECT_EQ(footer, std::string("TRUEVISION-XFILE.") + '\0');
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 24, bytes.begin() + 32), std::vector<std::uint8_t>(8, 0));
}

TEST(WriteTga, RefusesWhatItCannotWriteAndLeavesNoFile)
{
    TempDir dir;
    auto grey = createRawImage(2, 2, 1, 2, 8);
    ASSERT_TRUE(grey);
    EXPECT_EQ(writeTga(*grey, dir.file("grey.tga")), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("grey.tga")));
    auto rgb = createRawImage(2, 2, 3, 2, 8);
    EXPECT_EQ(writeTga(*rgb, dir.file("missing-dir/x.tga")), 1);
}

TEST(CreateRawImage, SampleTypeMustAgreeWithBitsAndRowsArePacked)
{
    EXPECT_FALSE(createRawImage(4, 4, 3, 2, 16));
    EXPECT_FALSE(createRawImage(4, 4, 3, 5, 8));
    EXPECT_FALSE(createRawImage(0, 4, 3, 2, 8));
    const struct {
        int width, channels, sampleType, bits, bytesPerRow;
    } cases[] = {{3, 3, 2, 8, 9}, {5, 1, 1, 1, 1}, {9, 1, 1, 1, 2}, {3, 4, 3, 16, 24}, {1, 3, 4, 32, 12}};
    for (const auto& c : cases) {
        auto image = createRawImage(c.width, 2, c.channels, c.sampleType, c.bits);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->bytesPerRow, c.bytesPerRow) << c.width << " x " << c.channels << " x " << c.bits;
        EXPECT_EQ(image->row(1)[0], 0);
    }
}

// Lossless formats give back what was written; .tga keeps alpha only for a
// bitmap that has it, .bmp, .tif and opaque .png drop it.
TEST(WriteImageFile, LosslessFormatsRoundTrip)
{
    TempDir dir;
    const struct {
        const char* name;
        bool alpha;
        bool keepsAlpha;
    } cases[] = {
        {"a.tga", true, true},  {"b.tga", false, false}, {"c.bmp", true, false}, {"d.TIF", true, false},
        {"e.tiff", false, false}, {"f.png", true, true},  {"g.png", false, false},
    };
    for (const auto& c : cases) {
        const PixelBitmap original = sampleBitmap(c.alpha);
        writeImageFile(dir.file(c.name), original);
        PixelBitmap back;
        decodeFile(dir.file(c.name), back, 32);
        EXPECT_EQ(back.hasAlpha(), c.keepsAlpha) << c.name;
        EXPECT_TRUE(samePixels(original, back, c.keepsAlpha ? 0xFFFFFFFF : 0x00FFFFFF)) << c.name;
    }
}

TEST(WriteImageFile, EightBitBitmapsKeepTheirPalette)
{
    TempDir dir;
    PixelBitmap original;
    decodeFile(fixture("bmp_8bit.bmp"), original, 0);
    ASSERT_EQ(original.bitsPerPixel(), 8);
    for (const char* name : {"p.tif", "p.png", "p.bmp"}) {
        writeImageFile(dir.file(name), original);
        PixelBitmap back;
        decodeFile(dir.file(name), back, 0);
        EXPECT_EQ(back.bitsPerPixel(), 8) << name;
        EXPECT_TRUE(samePixels(original, back, 0x00FFFFFF)) << name;
    }
    writeImageFile(dir.file("p.tga"), original);
    PixelBitmap back;
    decodeFile(dir.file("p.tga"), back, 0);
    EXPECT_TRUE(samePixels(original, back, 0x00FFFFFF));
}

TEST(WriteImageFile, TiffIsUncompressedRgb)
{
    TempDir dir;
    const PixelBitmap original = sampleBitmap(true);
    encodeTiff(dir.file("x.tif"), original);
    const auto size = std::filesystem::file_size(dir.file("x.tif"));
    const auto pixelBytes = static_cast<std::uintmax_t>(original.width() * original.height() * 3);
    EXPECT_GE(size, pixelBytes);
    EXPECT_LT(size, pixelBytes + 400);
}

TEST(WriteImageFile, JpegStaysWithinItsErrorFloor)
{
    TempDir dir;
    PixelBitmap smooth;
    smooth.create(64, 48, 32, false);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            reinterpret_cast<std::uint32_t*>(smooth.row(y))[x] =
                0xFF000000u | static_cast<std::uint32_t>((x * 4) << 16 | (y * 5) << 8 | (x + y) * 2);
    writeImageFile(dir.file("s.JPEG"), smooth);
    PixelBitmap back;
    decodeFile(dir.file("s.JPEG"), back, 32);
    Reference ref{64, 48, false, {}};
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            ref.pixels.push_back(smooth.pixelAt(x, y));
    EXPECT_LE(maxDifference(back, ref, false), 12);
    EXPECT_FALSE(back.hasAlpha());
}

TEST(WriteImageFile, FailureLeavesAnExistingFileUntouched)
{
    TempDir dir;
    const std::string target = dir.file("keep.jpg");
    std::filesystem::copy_file(fixture("jpg_rgb.jpg"), target);
    const std::vector<std::uint8_t> before = readBytes(target);
    PixelBitmap empty;
    empty.create(0, 0, 32, false);
    EXPECT_THROW(writeImageFile(target, empty), CTextException);
    EXPECT_EQ(readBytes(target), before);
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(target).parent_path()))
        EXPECT_EQ(entry.path().filename(), "keep.jpg");  // no temporary file left behind
}

TEST(WriteImageFile, UnknownExtensionIsRefused)
{
    TempDir dir;
    try {
        writeImageFile(dir.file("x.gif"), sampleBitmap(false));
        FAIL() << "no exception";
    } catch (const CTextException& e) {
        EXPECT_EQ(e.code(), 2);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.gif")));
    EXPECT_TRUE(isWritableImageName("a/b.JPG"));
    EXPECT_FALSE(isWritableImageName("a/b.gif"));
}

}  // namespace
