#include "document/PictureGeometry.h"

#include <gtest/gtest.h>

namespace {

PictureGeometry geometry(int cw, int ch, int w, int h, int zoom, int sx = 0, int sy = 0)
{
    return PictureGeometry{cw, ch, w, h, zoom, sx, sy};
}

}  // namespace

TEST(PictureGeometry, OriginCentresSmallPicturesAndStartsLargeOnesAtZero)
{
    struct Case {
        int cw, ch, w, h, zoom, x0, y0;
    } cases[] = {
        {400, 300, 64, 64, 1, 168, 118},
        {400, 300, 64, 64, 4, 72, 22},
        {400, 300, 64, 64, 8, 0, 0},      // 512 x 512 is larger both ways
        {401, 301, 64, 64, 1, 168, 118},  // halves truncate
        {400, 300, 1, 1, 32, 184, 134},
        {400, 300, 2048, 16, 1, 0, 142},  // wide: scrolled across, centred down
        {0, 0, 4, 4, 1, 0, 0},
    };
    for (const Case& c : cases) {
        const auto g = geometry(c.cw, c.ch, c.w, c.h, c.zoom);
        EXPECT_EQ(g.originX(), c.x0) << c.cw << "x" << c.ch << " picture " << c.w << " zoom " << c.zoom;
        EXPECT_EQ(g.originY(), c.y0) << c.cw << "x" << c.ch << " picture " << c.h << " zoom " << c.zoom;
    }
}

TEST(PictureGeometry, FrameLinesOnlyWhenThereIsRoomAroundThePicture)
{
    // 64 x 64 at zoom 1 in 400 x 300: lines at x 167 and 232, y 117 and 182.
    const auto g = geometry(400, 300, 64, 64, 1);
    EXPECT_TRUE(g.frameLinesShown());
    EXPECT_EQ(g.originX() - 1, 167);
    EXPECT_EQ(g.originX() + g.zoomedWidth(), 232);
    EXPECT_EQ(g.originY() - 1, 117);
    EXPECT_EQ(g.originY() + g.zoomedHeight(), 182);

    EXPECT_FALSE(geometry(66, 300, 64, 64, 1).frameLinesShown());  // exactly two pixels wider
    EXPECT_TRUE(geometry(67, 67, 64, 64, 1).frameLinesShown());
    EXPECT_FALSE(geometry(400, 300, 64, 64, 8).frameLinesShown());
}

TEST(PictureGeometry, ScrollRangeIsTheZoomedPictureOrHundredSquare)
{
    const PictureGeometry empty{400, 300, 0, 0};
    EXPECT_EQ(empty.scrollRangeWidth(), 100);
    EXPECT_EQ(empty.scrollRangeHeight(), 100);
    EXPECT_EQ(empty.scrollLimitX(), 0);

    const auto g = geometry(400, 300, 256, 128, 4);
    EXPECT_EQ(g.scrollRangeWidth(), 1024);
    EXPECT_EQ(g.scrollRangeHeight(), 512);
    EXPECT_EQ(g.scrollLimitX(), 624);
    EXPECT_EQ(g.scrollLimitY(), 212);
}

TEST(PictureGeometry, PixelUnderThePointAtEveryZoom)
{
    struct Case {
        int zoom, sx, sy, mx, my;
        bool over;
        int x, y;
    } cases[] = {
        // 64 x 64 in 400 x 300 at zoom 1: origin (168, 118).
        {1, 0, 0, 168, 118, true, 0, 0},
        {1, 0, 0, 231, 181, true, 63, 63},
        {1, 0, 0, 232, 150, false, 0, 0},  // the frame line right of the picture
        {1, 0, 0, 167, 150, false, 0, 0},
        {1, 0, 0, 200, 117, false, 0, 0},
        // zoom 4: origin (72, 22); six view pixels right of x0 is pixel 1.
        {4, 0, 0, 78, 22, true, 1, 0},
        {4, 0, 0, 75, 25, true, 0, 0},
        {4, 0, 0, 72 + 255, 22 + 255, true, 63, 63},
        {4, 0, 0, 72 + 256, 22, false, 0, 0},
        // zoom 32: 2048 x 2048, origin 0, scrolled.
        {32, 0, 0, 0, 0, true, 0, 0},
        {32, 0, 0, 31, 31, true, 0, 0},
        {32, 0, 0, 32, 63, true, 1, 1},
        {32, 1632, 1748, 399, 299, true, 63, 63},
    };
    for (const Case& c : cases) {
        const auto g = geometry(400, 300, 64, 64, c.zoom, c.sx, c.sy);
        const auto p = g.pixelAt(c.mx, c.my);
        ASSERT_EQ(p.has_value(), c.over) << "zoom " << c.zoom << " at " << c.mx << "," << c.my;
        if (p) {
            EXPECT_EQ(p->x, c.x) << "zoom " << c.zoom << " at " << c.mx << "," << c.my;
            EXPECT_EQ(p->y, c.y) << "zoom " << c.zoom << " at " << c.mx << "," << c.my;
        }
    }
    EXPECT_FALSE((PictureGeometry{400, 300, 0, 0}.pixelAt(10, 10)));
}

TEST(PictureGeometry, PanningOnlyWhenLargerAndStaysWithinTheScrollRange)
{
    EXPECT_FALSE(geometry(400, 300, 64, 64, 4).panAllowed());  // 256 x 256 fits
    EXPECT_TRUE(geometry(400, 300, 64, 64, 8).panAllowed());
    EXPECT_TRUE(geometry(400, 300, 128, 32, 4).panAllowed());   // only wider
    EXPECT_FALSE((PictureGeometry{400, 300, 0, 0}.panAllowed()));

    // 512 x 128 in 400 x 300: only horizontal movement, limit 112.
    const auto g = geometry(400, 300, 128, 32, 4, 100, 0);
    auto s = g.panStep(200, 200, 150, 100);  // drag left by 50 and up by 100
    EXPECT_EQ(s.dx, 12);                      // clamped at the limit
    EXPECT_EQ(s.dy, 0);                       // fits vertically
    s = g.panStep(200, 200, 400, 200);        // drag right by 200
    EXPECT_EQ(s.dx, -100);                    // back to 0, not beyond
}

TEST(PictureGeometry, StatusTexts)
{
    EXPECT_EQ(pictureSizeText(256, 128), " 256 x 128");
    EXPECT_EQ(pictureZoomText(1), " Zoom: x 1 ");
    EXPECT_EQ(pictureZoomText(32), " Zoom: x 32 ");
}
