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
    EXPECT_EQ(pictureZoomText(0.25f), " Zoom: 1:4 ");
    EXPECT_EQ(pictureZoomText(1.0f / 16), " Zoom: 1:16 ");
}

TEST(PictureGeometry, ReducedPictureCountsPartialBlocksAndNamesMapPixels)
{
    // 300 x 100 at 1:16 in 400 x 300: 19 x 7 view pixels, centred at (190, 146).
    PictureGeometry g{400, 300, 300, 100};
    g.setZoomFactor(1.0f / 16);
    EXPECT_EQ(g.reduction, 16);
    EXPECT_EQ(g.zoom, 1);
    EXPECT_EQ(g.zoomedWidth(), 19);
    EXPECT_EQ(g.zoomedHeight(), 7);
    EXPECT_EQ(g.originX(), 190);
    EXPECT_EQ(g.originY(), 146);
    // The readout names the first map pixel of the block under the mouse.
    EXPECT_EQ(g.pixelAt(190 + 18, 146 + 6)->x, 288);
    EXPECT_EQ(g.pixelAt(190 + 18, 146 + 6)->y, 96);
    EXPECT_FALSE(g.pixelAt(190 + 19, 146));
    EXPECT_FLOAT_EQ(g.zoomFactor(), 1.0f / 16);
}

TEST(PictureGeometry, ZoomStepsAndFit)
{
    // A 2048 x 2048 map in an 800 x 600 view.
    PictureGeometry big{800, 600, 2048, 2048};
    const struct {
        float factor;
        float in;
        std::optional<float> out;
    } steps[] = {
        {32, 32, 16},
        {2, 4, 1},
        {1, 2, 0.5f},          // larger than the view: reductions are offered
        {0.5f, 1, 0.25f},      // 1024 x 1024 still does not fit
        {0.25f, 0.5f, std::nullopt},  // 512 x 512 fits: no further reduction
    };
    for (const auto& c : steps) {
        big.setZoomFactor(c.factor);
        EXPECT_EQ(zoomsteps::stepIn(c.factor), c.in) << c.factor;
        EXPECT_EQ(zoomsteps::stepOut(c.factor, big), c.out) << c.factor;
    }
    // A picture that fits keeps the specified steps: nothing below 1:1.
    PictureGeometry small{800, 600, 64, 64};
    EXPECT_EQ(zoomsteps::stepOut(1, small), std::nullopt);
    EXPECT_EQ(zoomsteps::stepOut(1.0f / 16, big), std::nullopt);

    // Fit: the largest step that fits, against the area without scroll bars.
    const struct {
        int cw, ch, w, h, areaW, areaH;
        float fit;
    } fits[] = {
        {800, 600, 2048, 2048, 0, 0, 0.25f},
        {800, 600, 64, 64, 0, 0, 8},
        {800, 600, 64, 16, 0, 0, 8},       // the width decides
        {785, 585, 512, 512, 800, 600, 1},  // scroll bars shown now, gone once it fits
        {100, 100, 2048, 2048, 0, 0, 1.0f / 16},
        {50, 50, 2048, 2048, 0, 0, 1.0f / 16},  // nothing fits: the smallest step
    };
    for (const auto& c : fits) {
        PictureGeometry g{c.cw, c.ch, c.w, c.h};
        g.areaWidth = c.areaW;
        g.areaHeight = c.areaH;
        EXPECT_EQ(zoomsteps::fitFactor(g), c.fit) << c.w << "x" << c.h << " in " << c.cw << "x" << c.ch;
    }
}

TEST(PictureGeometry, ZoomingAboutAPointKeepsThatPictureSpotUnderIt)
{
    // 2048 x 2048 at 1:4 in 400 x 300, scrolled to (40, 30); the mouse at (100, 80).
    PictureGeometry g{400, 300, 2048, 2048};
    g.setZoomFactor(0.25f);
    g.scrollX = 40;
    g.scrollY = 30;
    const auto spot = g.pictureAt(100, 80);
    EXPECT_DOUBLE_EQ(spot.x, 560);
    EXPECT_DOUBLE_EQ(spot.y, 440);
    g.setZoomFactor(0.5f);
    const auto s = g.scrollToShow(spot, 100, 80);
    EXPECT_EQ(s.dx, 180);  // 560 / 2 - 100
    EXPECT_EQ(s.dy, 140);
    // Near the edge the scroll position stays within its limits.
    g.setZoomFactor(1);
    const auto edge = g.scrollToShow({2040, 5}, 10, 10);
    EXPECT_EQ(edge.dx, g.scrollLimitX());
    EXPECT_EQ(edge.dy, 0);
}
