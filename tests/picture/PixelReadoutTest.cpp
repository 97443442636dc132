#include "document/PixelReadout.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

PixelBitmap onePixel(std::uint32_t argb, bool alpha)
{
    PixelBitmap b;
    b.create(2, 2, 32, alpha);
    for (int y = 0; y < 2; ++y)
        std::memset(b.row(y), 0, 8);
    std::memcpy(b.row(1) + 4, &argb, 4);  // pixel (1, 1), little-endian BGRA
    return b;
}

}  // namespace

TEST(PixelReadout, ChannelsWithTheLiftOf254AndTheMissingAlpha)
{
    struct Case {
        std::uint32_t argb;
        bool alpha;
        int r, g, b, a;
    } cases[] = {
        {0x80FEFEFEu, true, 255, 254, 255, 128},  // red and blue lifted, green kept
        {0x10FDFEFCu, true, 253, 254, 252, 16},
        {0x00112233u, false, 0x11, 0x22, 0x33, 255},  // no alpha: 255 whatever is stored
        {0xFF000000u, true, 0, 0, 0, 255},
        {0x00FFFFFFu, true, 255, 255, 255, 0},
    };
    for (const Case& c : cases) {
        const PixelReadout r = readPixel(onePixel(c.argb, c.alpha), 1, 1);
        EXPECT_EQ(r.x, 1);
        EXPECT_EQ(r.y, 1);
        EXPECT_EQ(r.red, c.r) << std::hex << c.argb;
        EXPECT_EQ(r.green, c.g) << std::hex << c.argb;
        EXPECT_EQ(r.blue, c.b) << std::hex << c.argb;
        EXPECT_EQ(r.alpha, c.a) << std::hex << c.argb;
        EXPECT_EQ(r.reserved1, 0);
        EXPECT_EQ(r.reserved2, 0);
    }
}

TEST(PixelReadout, RowsAreTopDown)
{
    PixelBitmap b = onePixel(0xFF102030u, true);  // written at row 1, the bottom row
    EXPECT_EQ(readPixel(b, 1, 1).red, 0x10);
    EXPECT_EQ(readPixel(b, 1, 0).red, 0);
}
