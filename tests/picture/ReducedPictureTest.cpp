#include "document/ReducedPicture.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// A picture whose bytes differ per pixel and channel, alpha included.
PixelBitmap patterned(int w, int h)
{
    PixelBitmap b;
    b.create(w, h, 32, true);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c)
                b.row(y)[4 * x + c] = static_cast<std::uint8_t>((x * 37 + y * 11 + c * 71 + x * y) & 0xFF);
    return b;
}

// The rounded mean of channel c over the pixels of [x0, x1) x [y0, y1).
int mean(const PixelBitmap& b, int x0, int y0, int x1, int y1, int c)
{
    int sum = 0, n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x, ++n)
            sum += b.row(y)[4 * x + c];
    return (sum + n / 2) / n;
}

}  // namespace

TEST(ReducedPicture, EveryPixelIsTheAverageOfItsBlockIncludingPartialEdgeBlocks)
{
    for (const int f : {2, 4, 16}) {
        const PixelBitmap src = patterned(37, 21);
        const PixelBitmap out = reducedPicture(src, f);
        ASSERT_EQ(out.width(), (37 + f - 1) / f) << f;
        ASSERT_EQ(out.height(), (21 + f - 1) / f) << f;
        EXPECT_TRUE(out.hasAlpha());
        for (int oy = 0; oy < out.height(); ++oy)
            for (int ox = 0; ox < out.width(); ++ox)
                for (int c = 0; c < 4; ++c)
                    ASSERT_EQ(out.row(oy)[4 * ox + c],
                              mean(src, ox * f, oy * f, std::min(37, ox * f + f), std::min(21, oy * f + f), c))
                        << "factor " << f << " at " << ox << "," << oy << " channel " << c;
    }
}
