// Decoding the tool-made fixtures: the type is detected, the pixels match the
// reference decode, the depth at bitsWanted 0 and the alpha flag are right, and
// the refused variants fail with their codes.
#include "ImageTestSupport.h"

#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

using namespace imagetest;

namespace {

struct FixtureCase {
    const char* file;
    int type;
    int bitsAtZero;     // depth with bitsWanted 0
    bool alpha;         // hasAlpha
    int tolerance;      // largest channel difference from the reference
    bool compareAlpha;  // the reference's alpha is the decoder's too
};

void PrintTo(const FixtureCase& c, std::ostream* os) { *os << c.file; }

const FixtureCase kFixtures[] = {
    {"bmp_1bit.bmp", IMAGE_BMP, 8, false, 0, false},
    {"bmp_4bit.bmp", IMAGE_BMP, 8, false, 0, false},
    {"bmp_8bit.bmp", IMAGE_BMP, 8, false, 0, false},
    {"bmp_rle4.bmp", IMAGE_BMP, 8, false, 0, false},
    {"bmp_rle8.bmp", IMAGE_BMP, 8, false, 0, false},
    {"bmp_24bit.bmp", IMAGE_BMP, 32, false, 0, false},
    {"bmp_32bit.bmp", IMAGE_BMP, 32, false, 0, false},
    {"bmp_32bit_v5.bmp", IMAGE_BMP, 32, false, 0, false},
    {"tga_24.tga", IMAGE_TGA, 32, false, 0, false},
    {"tga_24_topdown.tga", IMAGE_TGA, 32, false, 0, false},
    {"tga_32_rle.tga", IMAGE_TGA, 32, true, 0, true},
    {"tga_8map.tga", IMAGE_TGA, 8, false, 0, false},
    {"tga_8map_rle.tga", IMAGE_TGA, 8, false, 0, false},
    {"tga_8grey.tga", IMAGE_TGA, 8, false, 0, false},
    {"tga_8grey_rle.tga", IMAGE_TGA, 8, false, 0, false},
    {"tif_rgb.tif", IMAGE_TIFF, 32, false, 0, false},
    {"tif_rgba_lzw.tif", IMAGE_TIFF, 32, true, 0, true},
    {"tif_palette.tif", IMAGE_TIFF, 8, false, 0, false},
    {"tif_grey_zip.tif", IMAGE_TIFF, 8, false, 0, false},
    {"tif_tiled.tif", IMAGE_TIFF, 32, false, 0, false},
    {"tif_rgb16.tif", IMAGE_TIFF, 32, false, 0, false},
    {"tif_bilevel_g4.tif", IMAGE_TIFF, 8, false, 0, false},
    {"tif_miniswhite.tif", IMAGE_TIFF, 8, false, 0, false},
    {"tif_ycbcr_jpeg.tif", IMAGE_TIFF, 32, false, 3, false},
    {"tif_bottomleft.tif", IMAGE_TIFF, 32, false, 0, false},  // Orientation tag honoured
    {"eps_preview.eps", IMAGE_EPS, 32, false, 0, false},
    {"jpg_rgb.jpg", IMAGE_JPEG, 32, false, 0, false},
    {"jpg_grey.jpg", IMAGE_JPEG, 8, false, 0, false},
    {"jpg_progressive.jpg", IMAGE_JPEG, 32, false, 0, false},
    {"png_rgb.png", IMAGE_PNG, 32, false, 0, false},
    {"png_rgba.png", IMAGE_PNG, 32, true, 0, true},
    {"png_palette.png", IMAGE_PNG, 8, false, 0, false},
    {"png_palette_trns.png", IMAGE_PNG, 8, false, 0, false},  // tRNS makes no alpha image
    {"png_grey1.png", IMAGE_PNG, 8, false, 0, false},
    {"png_grey16.png", IMAGE_PNG, 8, false, 0, false},
    {"png_grey_alpha.png", IMAGE_PNG, 32, true, 0, true},
    {"png_rgb16.png", IMAGE_PNG, 32, false, 0, false},
    {"png_interlaced.png", IMAGE_PNG, 32, false, 0, false},
    {"pcx_8bit.pcx", IMAGE_PCX, 32, false, 0, false},
    {"pcx_24bit.pcx", IMAGE_PCX, 32, false, 0, false},
    {"pcx_1bit_4planes.pcx", IMAGE_PCX, 32, false, 0, false},
    {"pcx_1bit_2planes.pcx", IMAGE_PCX, 32, false, 0, false},
    {"pcx_4bit.pcx", IMAGE_PCX, 32, false, 0, false},
    {"pcx_2bit.pcx", IMAGE_PCX, 32, false, 0, false},
    {"pcx_mono.pcx", IMAGE_PCX, 32, false, 0, false},
    {"pgm_p5.pgm", IMAGE_PGM, 8, false, 0, false},
    {"pgm_p2.pgm", IMAGE_PGM, 8, false, 0, false},
    {"pgm_p5_16bit.pgm", IMAGE_PGM, 8, false, 0, false},
    {"pgm_maxval15.pgm", IMAGE_PGM, 8, false, 0, false},
    {"pict_direct.pict", IMAGE_PICT, 32, false, 0, false},
    {"pict_palette.pict", IMAGE_PICT, 32, false, 0, false},
    {"pict_bitmap.pict", IMAGE_PICT, 32, false, 0, false},
    {"pict_v1.pict", IMAGE_PICT, 32, false, 0, false},
};

class DecodeFixture : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(DecodeFixture, MatchesTheReferenceAtBothDepths)
{
    const FixtureCase& c = GetParam();
    const std::vector<std::uint8_t> bytes = readBytes(fixture(c.file));
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(detectImageType(bytes.data(), bytes.size()), c.type);

    const Reference ref = readPam(fixture(std::string(c.file) + ".pam"));
    ASSERT_GT(ref.width, 0);
    PixelBitmap full;
    decodeFile(fixture(c.file), full, 32);
    EXPECT_EQ(full.bitsPerPixel(), 32);
    EXPECT_EQ(full.hasAlpha(), c.alpha);
    const int difference = maxDifference(full, ref, c.compareAlpha);
    EXPECT_GE(difference, 0) << "size " << full.width() << " x " << full.height();
    EXPECT_LE(difference, c.tolerance);

    // bitsWanted 0 keeps the depth class and shows the same colours.
    PixelBitmap own;
    decodeMemory(bytes.data(), bytes.size(), own, 0);
    EXPECT_EQ(own.bitsPerPixel(), c.bitsAtZero);
    EXPECT_EQ(own.hasAlpha(), c.alpha);
    ASSERT_EQ(own.width(), full.width());
    ASSERT_EQ(own.height(), full.height());
    for (int y = 0; y < full.height(); ++y)
        for (int x = 0; x < full.width(); ++x)
            ASSERT_EQ(argbAt(own, x, y), full.pixelAt(x, y)) << "at " << x << ", " << y;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DecodeFixture, ::testing::ValuesIn(kFixtures),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

int codeOf(const std::string& path, int bitsWanted = 32)
{
    PixelBitmap bitmap;
    try {
        decodeFile(path, bitmap, bitsWanted);
    } catch (const CTextException& e) {
        return e.code();
    }
    return 0;
}

TEST(DecodeRefusals, RefusedVariantsFailWithTheirCodes)
{
    const struct {
        const char* file;
        int code;
    } cases[] = {
        {"bmp_os2.bmp", 2},            // 12-byte info header
        {"bmp_rle8_delta.bmp", 6},     // run-length delta escape
        {"pcx_bad_signature.pcx", 7},  // end palette without its 12 byte
        {"pict_jpeg.pict", 6},         // QuickTime JPEG data
        {"refused.gif", 6},
        {"refused_unknown.bin", 8},
    };
    for (const auto& c : cases)
        EXPECT_EQ(codeOf(fixture(c.file)), c.code) << c.file;
}

TEST(DecodeRefusals, BitsWantedOtherThanZeroOr32IsRefused)
{
    EXPECT_EQ(codeOf(fixture("tga_24.tga"), 16), 2);
}

TEST(DecodeRefusals, MissingFileReportsTheOpenFailure)
{
    PixelBitmap bitmap;
    try {
        decodeFile(fixture("no-such-file.bmp"), bitmap, 32);
        FAIL() << "no exception";
    } catch (const CTextException& e) {
        EXPECT_EQ(e.code(), ENOENT);
        EXPECT_NE(e.message().find("Opening "), std::string::npos);
        EXPECT_NE(e.message().find(" failed"), std::string::npos);
    }
}

TEST(DecodeRefusals, NullMemoryIsRefused)
{
    PixelBitmap bitmap;
    try {
        decodeMemory(nullptr, 100, bitmap, 32);
        FAIL() << "no exception";
    } catch (const CTextException& e) {
        EXPECT_NE(e.message().find("Reading from memory at"), std::string::npos);
    }
}

TEST(DetectImageType, ContentDecidesOverTheExtension)
{
    TempDir dir;
    std::filesystem::copy_file(fixture("bmp_24bit.bmp"), dir.file("picture.tga"));
    PixelBitmap bitmap;
    decodeFile(dir.file("picture.tga"), bitmap, 32);
    EXPECT_EQ(maxDifference(bitmap, readPam(fixture("bmp_24bit.bmp.pam")), false), 0);
}

TEST(DetectImageType, SignaturesAndTheirOrder)
{
    std::vector<std::uint8_t> tga(18, 0);
    tga[2] = 2;
    tga[16] = 24;
    std::vector<std::uint8_t> pict(600, 0);
    pict[522] = 0x00, pict[523] = 0x11, pict[524] = 0x02, pict[525] = 0xFF;
    std::vector<std::uint8_t> pictV1(541, 0);
    pictV1[522] = 0x11, pictV1[523] = 0x01, pictV1[524] = 0x01, pictV1[525] = 0x00;
    std::vector<std::uint8_t> shortPict(pict.begin(), pict.begin() + 540);  // 540 bytes are too few
    std::vector<std::uint8_t> eps = {0xC5, 0xD0, 0xD3, 0xC6};
    eps.resize(32, 0);
    eps[20] = 32, eps[24] = 1;
    std::vector<std::uint8_t> epsNoPreview = eps;
    epsNoPreview[24] = 0;
    // A "BM" file whose bytes also satisfy the TGA test is a bitmap.
    std::vector<std::uint8_t> bmpLikeTga = tga;
    bmpLikeTga[0] = 'B', bmpLikeTga[1] = 'M';
    bmpLikeTga[1] = 'M';
    const struct {
        std::vector<std::uint8_t> bytes;
        int type;
    } cases[] = {
        {{'B', 'M'}, IMAGE_BMP},
        {tga, IMAGE_TGA},
        {{'G', 'I', 'F', '8', '9', 'a'}, IMAGE_GIF},
        {{'I', 'I', 0x2A, 0x00}, IMAGE_TIFF},
        {{'M', 'M', 0x00, 0x2A}, IMAGE_TIFF},
        {pict, IMAGE_PICT},
        {pictV1, IMAGE_PICT},
        {shortPict, IMAGE_NONE},
        {{0xFF, 0xD8, 0xFF, 0xE0}, IMAGE_JPEG},
        {{0x89, 'P', 'N', 'G'}, IMAGE_PNG},
        {eps, IMAGE_EPS},
        {epsNoPreview, IMAGE_NONE},
        {{10, 5, 1, 8}, IMAGE_PCX},
        {{'P', '5', '\n'}, IMAGE_PGM},
        {{'P', '2', '\n'}, IMAGE_PGM},
        {{'P', '6', '\n'}, IMAGE_NONE},
        {{}, IMAGE_NONE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(detectImageType(c.bytes.data(), c.bytes.size()), c.type) << "case of type " << c.type;
    EXPECT_EQ(detectImageType(bmpLikeTga.data(), bmpLikeTga.size()), IMAGE_BMP);
}

// The 15- and 16-bit TGA rules: five bits in the top of each byte (no low-bit
// fill), alpha 128 or 0 from the attribute bit at 16 bits, 255 at 15 bits.
TEST(TgaDecoder, SixteenBitPixelsFollowTheFiveBitRule)
{
    PixelBitmap bitmap;
    decodeFile(fixture("tga_16.tga"), bitmap, 32);
    ASSERT_EQ(bitmap.width(), 4);
    ASSERT_EQ(bitmap.height(), 2);
    EXPECT_TRUE(bitmap.hasAlpha());
    // Stored bottom-up: the first four values are the bottom row.
    const std::uint16_t stored[8] = {0xFFFF, 0x7FFF, 0x8000, 0x0000, 0xFC00, 0x83E0, 0x801F, 0x5294};
    const std::uint32_t expected[8] = {0x80F8F8F8, 0x00F8F8F8, 0x80000000, 0x00000000,
                                       0x80F80000, 0x8000F800, 0x800000F8, 0x00A0A0A0};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(bitmap.pixelAt(i % 4, 1 - i / 4), expected[i]) << std::hex << "value " << stored[i];

    // The reference reader scales five bits to eight; our rule keeps the top five.
    const Reference ref = readPam(fixture("tga_16.tga.pam"));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(bitmap.pixelAt(x, y) & 0x00FFFFFF, ref.at(x, y) & 0x00F8F8F8);
}

TEST(TgaDecoder, FifteenBitRunsCrossRowsAndAreOpaque)
{
    PixelBitmap bitmap;
    decodeFile(fixture("tga_15_rle.tga"), bitmap, 32);
    EXPECT_FALSE(bitmap.hasAlpha());
    const Reference ref = readPam(fixture("tga_15_rle.tga.pam"));
    ASSERT_EQ(bitmap.width(), ref.width);
    ASSERT_EQ(bitmap.height(), ref.height);
    for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x)
            EXPECT_EQ(bitmap.pixelAt(x, y), 0xFF000000u | (ref.at(x, y) & 0x00F8F8F8)) << x << ", " << y;
}

TEST(TgaDecoder, ColourMappedImageKeepsItsMapAtEightBits)
{
    PixelBitmap bitmap;
    decodeFile(fixture("tga_8map.tga"), bitmap, 0);
    ASSERT_EQ(bitmap.bitsPerPixel(), 8);
    const Reference ref = readPam(fixture("tga_8map.tga.pam"));
    // Every reference colour is found in the table under the stored index.
    for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x)
            EXPECT_EQ(bitmap.colourTable()[bitmap.pixelAt(x, y)] & 0xFFFFFF, ref.at(x, y) & 0xFFFFFF);
}

// Pictures large enough to be converted in bands on several threads: every
// pixel lands in its row whatever band it falls in, bottom-up and top-down, at
// every depth that is stored raw. 1024 x 515 splits into bands of unequal length.
TEST(TgaDecoder, LargeRawPicturesDecodeEveryRowInItsPlace)
{
    constexpr int W = 1024, H = 515;
    const auto value = [](int x, int s, int c) { return static_cast<std::uint8_t>(x * (c + 1) + s * (3 - c) + (x >> 8)); };
    struct Case {
        int depth;
        bool topDown;
    };
    for (const Case c : {Case{24, false}, Case{24, true}, Case{32, false}, Case{32, true}, Case{8, false}}) {
        SCOPED_TRACE(::testing::Message() << c.depth << " bits" << (c.topDown ? ", top-down" : ""));
        const int bpp = c.depth / 8;
        std::vector<std::uint8_t> tga(18, 0);
        tga[2] = c.depth == 8 ? 3 : 2;  // grey, true colour
        tga[12] = W & 0xFF, tga[13] = W >> 8, tga[14] = H & 0xFF, tga[15] = H >> 8;
        tga[16] = static_cast<std::uint8_t>(c.depth);
        tga[17] = c.topDown ? 0x20 : 0;
        for (int s = 0; s < H; ++s)
            for (int x = 0; x < W; ++x)
                for (int k = 0; k < bpp; ++k)
                    tga.push_back(value(x, s, k));
        PixelBitmap bitmap;
        decodeMemory(tga.data(), tga.size(), bitmap, 32);
        ASSERT_EQ(bitmap.width(), W);
        ASSERT_EQ(bitmap.height(), H);
        int wrong = 0;
        for (int s = 0; s < H; ++s) {
            const int y = c.topDown ? s : H - 1 - s;
            for (int x = 0; x < W; ++x) {
                const std::uint32_t b = value(x, s, 0);
                const std::uint32_t expected = c.depth == 8    ? 0xFF000000u | b << 16 | b << 8 | b
                                               : c.depth == 24 ? 0xFF000000u | std::uint32_t{value(x, s, 2)} << 16
                                                                     | std::uint32_t{value(x, s, 1)} << 8 | b
                                                               : std::uint32_t{value(x, s, 3)} << 24
                                                                     | std::uint32_t{value(x, s, 2)} << 16
                                                                     | std::uint32_t{value(x, s, 1)} << 8 | b;
                if (bitmap.pixelAt(x, y) != expected && ++wrong <= 3)
                    ADD_FAILURE() << "pixel " << x << ", " << y << ": " << std::hex << bitmap.pixelAt(x, y)
                                  << " instead of " << expected;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

class RecordingRenderer : public MetafileRenderer {
public:
    void render(int type, const std::uint8_t*, std::size_t size, PixelBitmap& bitmap, const DecodeLimits&) override
    {
        types.push_back(type);
        sizes.push_back(size);
        bitmap.create(2, 2, 32, true);
    }
    std::vector<int> types;
    std::vector<std::size_t> sizes;
};

TEST(Metafiles, DetectedByNameOnlyAndRenderedByTheRegisteredRenderer)
{
    TempDir dir;
    std::filesystem::copy_file(fixture("bmp_24bit.bmp"), dir.file("drawing.wmf"));
    std::filesystem::copy_file(fixture("bmp_24bit.bmp"), dir.file("Drawing.Emf"));
    const std::shared_ptr<MetafileRenderer> previous = metafileRenderer();

    setMetafileRenderer(nullptr);
    EXPECT_EQ(codeOf(dir.file("drawing.wmf")), 6);

    auto renderer = std::make_shared<RecordingRenderer>();
    setMetafileRenderer(renderer);
    PixelBitmap bitmap;
    decodeFile(dir.file("drawing.wmf"), bitmap, 32);
    decodeFile(dir.file("Drawing.Emf"), bitmap, 32);
    // From memory, the same bytes are a bitmap.
    const std::vector<std::uint8_t> bytes = readBytes(dir.file("drawing.wmf"));
    decodeMemory(bytes.data(), bytes.size(), bitmap, 32);
    setMetafileRenderer(previous);

    EXPECT_EQ(renderer->types, (std::vector<int>{IMAGE_WMF, IMAGE_EMF}));
    EXPECT_EQ(bitmap.width(), 13);
}

}  // namespace
