#include "common/MessageTable.h"
#include "document/SelectionTracker.h"
#include "document/SizeDialogModel.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

namespace {

// A 256 x 128 picture in a 400 x 300 client area.
PictureGeometry view(int zoom, int scrollX = 0, int scrollY = 0, int clientWidth = 400, int clientHeight = 300)
{
    return {.clientWidth = clientWidth, .clientHeight = clientHeight, .imageWidth = 256, .imageHeight = 128,
            .zoom = zoom, .scrollX = scrollX, .scrollY = scrollY};
}

std::optional<ImageRect> band(SelectionTracker& t, const PictureGeometry& v, int x0, int y0, int x1, int y1)
{
    t.beginTrack(x0, y0, v);
    t.trackTo(x1, y1);
    t.endTrack();
    return t.selectionImageRect();
}

}  // namespace

TEST(SelectionTracker, PictureRectIsCentredOrScrolled)
{
    EXPECT_EQ(SelectionTracker::pictureRect(view(1)), (TrackerRect{72, 86, 328, 214}));
    EXPECT_EQ(SelectionTracker::pictureRect(view(2)), (TrackerRect{0, 22, 512, 278}));
    EXPECT_EQ(SelectionTracker::pictureRect(view(32, 320, 640)), (TrackerRect{-320, -640, 7872, 3456}));
}

TEST(SelectionTracker, SelectAllCoversTheWholeMapAtEveryZoom)
{
    for (const PictureGeometry& v : {view(1), view(2), view(2, 100, 0), view(32), view(32, 4000, 1000), view(1, 0, 0, 50, 40)}) {
        SelectionTracker t;
        t.selectAll(v);
        EXPECT_EQ(t.selectionImageRect(), (ImageRect{0, 0, 255, 127})) << "zoom " << v.zoom;
    }
}

TEST(SelectionTracker, RubberBandSnapsToWholeMapPixels)
{
    struct Case {
        PictureGeometry v;
        int x0, y0, x1, y1;
        std::optional<ImageRect> expected;
    };
    const Case cases[] = {
        // Zoom 1: a band must be wider and higher than 2 client pixels.
        {view(1), 100, 100, 102, 102, std::nullopt},
        {view(1), 100, 100, 103, 103, ImageRect{28, 14, 30, 16}},
        // Dragged up and left past its anchor: normalised afterwards.
        {view(1), 103, 103, 100, 100, ImageRect{28, 14, 30, 16}},
        // Zoom 2: an edge an odd distance from the picture's edge moves on by one.
        {view(2), 5, 30, 15, 41, ImageRect{3, 4, 7, 9}},
        // Zoom 2: one map pixel wide is 2 client pixels, which is no selection.
        {view(2), 4, 22, 6, 40, std::nullopt},
        // Zoom 32: every edge to the nearest grid line of the scrolled picture.
        {view(32, 320, 640), 10, 20, 100, 75, ImageRect{10, 21, 12, 21}},
        {view(32), 17, 17, 80, 60, ImageRect{1, 1, 2, 1}},
        // Zoom 32: less than half a map pixel collapses to nothing.
        {view(32), 40, 40, 46, 46, std::nullopt},
        // A click without dragging.
        {view(1), 150, 150, 150, 150, std::nullopt},
    };
    for (const Case& c : cases) {
        SelectionTracker t;
        EXPECT_EQ(band(t, c.v, c.x0, c.y0, c.x1, c.y1), c.expected)
            << "zoom " << c.v.zoom << " band " << c.x0 << "," << c.y0 << " - " << c.x1 << "," << c.y1;
    }
}

TEST(SelectionTracker, SnappedEdgesLieOnTheZoomedGrid)
{
    for (const int zoom : {2, 4, 32}) {
        SelectionTracker t;
        const PictureGeometry v = view(zoom, 37, 11);
        const TrackerRect p = SelectionTracker::pictureRect(v);
        t.beginTrack(13, 29, v);
        for (int x = 14; x < 300; x += 7) {
            t.trackTo(x, x / 2 + 31);
            const TrackerRect r = t.trackingRect();
            for (const int d : {r.left - p.left, r.right - p.left, r.top - p.top, r.bottom - p.top})
                EXPECT_EQ(d % zoom, 0) << "zoom " << zoom << " at " << x;
        }
        t.endTrack();
    }
}

TEST(SelectionTracker, BandStopsAtThePictureEdge)
{
    struct Case {
        PictureGeometry v;
        int x0, y0, x1, y1;
        std::optional<ImageRect> expected;
    };
    const Case cases[] = {
        {view(1), 100, 100, 500, 500, ImageRect{28, 14, 255, 127}},
        {view(1), 300, 200, 0, 0, ImageRect{0, 0, 227, 113}},
        // Wholly left of and above the picture: collapses onto its corner.
        {view(1), 10, 10, 20, 20, std::nullopt},
        {view(2), 500, 270, 900, 900, ImageRect{250, 124, 255, 127}},
        {view(32, 7900, 3900), 100, 100, 1000, 1000, ImageRect{250, 125, 255, 127}},
    };
    for (const Case& c : cases) {
        SelectionTracker t;
        EXPECT_EQ(band(t, c.v, c.x0, c.y0, c.x1, c.y1), c.expected) << "zoom " << c.v.zoom;
        const TrackerRect p = SelectionTracker::pictureRect(c.v);
        const TrackerRect r = t.rect();
        EXPECT_TRUE(r.left >= p.left && r.right <= p.right && r.top >= p.top && r.bottom <= p.bottom);
    }
}

TEST(SelectionTracker, MovingKeepsTheSizeAndSnapsTheWholeRectangle)
{
    SelectionTracker t;
    const PictureGeometry v = view(32);
    t.setSelectionSize(2, 2, v);
    ASSERT_EQ(t.rect(), (TrackerRect{0, 0, 64, 64}));
    EXPECT_EQ(t.beginTrack(30, 30, v), SelectionTracker::HitInside);
    t.trackTo(70, 50);  // 40 right (8 past a grid line: back), 20 down (12 short: on)
    EXPECT_EQ(t.trackingRect(), (TrackerRect{32, 32, 96, 96}));
    t.trackTo(-500, 30);  // beyond the left edge: stops there
    EXPECT_EQ(t.trackingRect().left, 0);
    t.trackTo(70, 50);
    t.endTrack();
    EXPECT_EQ(t.selectionImageRect(), (ImageRect{1, 1, 2, 2}));
}

TEST(SelectionTracker, ResizingAHandleMovesOnlyItsEdges)
{
    SelectionTracker t;
    const PictureGeometry v = view(1);
    EXPECT_TRUE(band(t, v, 100, 100, 140, 130));
    // Bottom-right corner handle, dragged 10 right and 5 down.
    EXPECT_EQ(t.beginTrack(138, 128, v), SelectionTracker::HitBottomRight);
    t.trackTo(148, 133);
    t.endTrack();
    EXPECT_EQ(t.rect(), (TrackerRect{100, 100, 150, 135}));
    // The right edge's middle handle changes the width only.
    const auto handles = t.handles();
    const TrackerRect right = handles[SelectionTracker::HitRight];
    EXPECT_EQ(t.beginTrack(right.left, right.top, v), SelectionTracker::HitRight);
    t.trackTo(right.left - 20, right.top + 40);
    t.endTrack();
    EXPECT_EQ(t.rect(), (TrackerRect{100, 100, 130, 135}));
}

TEST(SelectionTracker, CancelPutsTheOldSelectionBack)
{
    SelectionTracker t;
    const PictureGeometry v = view(1);
    const auto before = band(t, v, 100, 100, 140, 130);
    const TrackerRect rect = t.rect();
    t.beginTrack(200, 150, v);  // outside: a new band
    t.trackTo(250, 200);
    t.cancelTrack();
    EXPECT_EQ(t.rect(), rect);
    EXPECT_EQ(t.selectionImageRect(), before);
}

TEST(SelectionTracker, SelectionStaysOverTheSameMapPixelsThroughZoomScrollAndSizing)
{
    SelectionTracker t;
    ASSERT_EQ(band(t, view(1), 100, 100, 103, 103), (ImageRect{28, 14, 30, 16}));
    int oldZoom = 1;
    for (const PictureGeometry& v : {view(2), view(32, 320, 200), view(2, 50, 10), view(1)}) {
        t.rescaleSelection(oldZoom, v);
        oldZoom = v.zoom;
        EXPECT_EQ(t.selectionImageRect(), (ImageRect{28, 14, 30, 16})) << "zoom " << v.zoom;
        const TrackerRect p = SelectionTracker::pictureRect(v);
        EXPECT_EQ(t.rect().left - p.left, 28 * v.zoom);
        EXPECT_EQ(t.rect().top - p.top, 14 * v.zoom);
    }
    // Scrolling by (dx, dy) moves the rectangle the other way.
    t.rescaleSelection(1, view(32, 0, 0));
    const TrackerRect atZero = t.rect();
    t.shiftSelection(64, 32);
    EXPECT_EQ(t.rect(), (TrackerRect{atZero.left - 64, atZero.top - 32, atZero.right - 64, atZero.bottom - 32}));
    EXPECT_EQ(t.selectionImageRect(), (ImageRect{28, 14, 30, 16}));
    // A larger window re-centres the picture; the rectangle follows it.
    t.rescaleSelection(32, view(1, 0, 0));
    t.placeSelection(view(1, 0, 0, 800, 600));
    const TrackerRect p = SelectionTracker::pictureRect(view(1, 0, 0, 800, 600));
    EXPECT_EQ(t.rect(), (TrackerRect{p.left + 28, p.top + 14, p.left + 31, p.top + 17}));
    EXPECT_EQ(t.selectionImageRect(), (ImageRect{28, 14, 30, 16}));
}

TEST(SelectionTracker, SetSelectionSizeIsInMapPixelsAtEveryZoom)
{
    for (const int zoom : {1, 2, 32}) {
        SelectionTracker t;
        t.setSelectionSize(16, 8, view(zoom, zoom * 3, 0));
        EXPECT_EQ(t.selectionImageRect(), (ImageRect{0, 0, 15, 7})) << "zoom " << zoom;
    }
}

TEST(SelectionTracker, ClearedOrFreshSelectionIsNone)
{
    SelectionTracker t;
    EXPECT_EQ(t.selectionImageRect(), std::nullopt);  // present, but an empty rectangle
    t.selectAll(view(2));
    t.clearSelection();
    EXPECT_FALSE(t.present());
    EXPECT_EQ(t.selectionImageRect(), std::nullopt);
    EXPECT_EQ(t.hitTest(100, 100), SelectionTracker::HitNothing);
}

TEST(SelectionTracker, HandlesAndCursors)
{
    SelectionTracker t;
    t.setSelectionSize(40, 30, view(1));
    const TrackerRect r = t.rect();
    const auto h = t.handles();
    EXPECT_EQ(h[SelectionTracker::HitTopLeft], (TrackerRect{r.left, r.top, r.left + 5, r.top + 5}));
    EXPECT_EQ(h[SelectionTracker::HitBottomRight], (TrackerRect{r.right - 5, r.bottom - 5, r.right, r.bottom}));
    EXPECT_FALSE(h[SelectionTracker::HitTop].isEmpty());  // 40 - 15 > 4
    EXPECT_EQ(t.cursorAt(r.left, r.top), SelectionTracker::Cursor::SizeNwSe);
    EXPECT_EQ(t.cursorAt(r.right - 1, r.top), SelectionTracker::Cursor::SizeNeSw);
    EXPECT_EQ(t.cursorAt(r.left + 20, r.top + 15), SelectionTracker::Cursor::SizeAll);
    EXPECT_EQ(t.cursorAt(r.right + 10, r.top), SelectionTracker::Cursor::Default);
    EXPECT_EQ(t.outlineRect(), (TrackerRect{r.left - 1, r.top - 1, r.right + 1, r.bottom + 1}));

    // Small rectangles: half the smaller side, and no middle handles.
    t.setSelectionSize(6, 20, view(1));
    const auto small = t.handles();
    EXPECT_EQ(small[SelectionTracker::HitTopLeft].width(), 3);
    EXPECT_TRUE(small[SelectionTracker::HitTop].isEmpty());
    EXPECT_FALSE(small[SelectionTracker::HitLeft].isEmpty());  // 20 - 9 > 4
}

TEST(SizeDialogModel, SelectionListsFitThePictureAndSelectLive)
{
    std::vector<std::pair<int, int>> live;
    SizeDialogModel m = SizeDialogModel::forSelection(300, 100, [&](int w, int h) { live.emplace_back(w, h); });
    EXPECT_EQ(m.title(), korvix::msg(korvix::MessageId::TitleSelect));
    EXPECT_EQ(m.widths(), (std::vector<int>{256, 128, 64, 32, 16, 8, 4}));
    EXPECT_EQ(m.heights(), (std::vector<int>{64, 32, 16, 8, 4}));
    m.open();
    m.chooseHeight(2);
    m.chooseWidth(6);
    m.chooseWidth(7);  // outside the list: ignored
    EXPECT_EQ(live, (std::vector<std::pair<int, int>>{{256, 64}, {256, 16}, {4, 16}}));
    EXPECT_EQ(m.chosenWidth(), 4);
    EXPECT_EQ(m.chosenHeight(), 16);
}

TEST(SizeDialogModel, ResizeOffersAllSizesWithoutLiveSelection)
{
    SizeDialogModel m = SizeDialogModel::forResize();
    EXPECT_EQ(m.title(), korvix::msg(korvix::MessageId::TitleResize));
    EXPECT_FALSE(m.liveSelection());
    EXPECT_EQ(m.widths(), SizeDialogModel::allSizes());
    EXPECT_EQ(m.heights(), SizeDialogModel::allSizes());
    m.open();
    EXPECT_EQ(m.chosenWidth(), 2048);
    EXPECT_EQ(m.chosenHeight(), 2048);
}

TEST(SelectionTracker, AtReducedZoomsTheSelectionIsKeptInMapPixels)
{
    // 256 x 128 at 1:4: 64 x 32 view pixels in the middle of 400 x 300.
    PictureGeometry quarter = view(1);
    quarter.reduction = 4;
    const TrackerRect p = SelectionTracker::pictureRect(quarter);
    EXPECT_EQ(p, (TrackerRect{168, 134, 232, 166}));

    // A selection of map pixels 29 ... 30 survives 1:4 and comes back whole.
    SelectionTracker t;
    ASSERT_EQ(band(t, view(1), 101, 100, 103, 103), std::nullopt);
    ASSERT_EQ(band(t, view(1), 101, 100, 105, 103), (ImageRect{29, 14, 32, 16}));
    t.rescaleSelection(1, quarter);
    EXPECT_EQ(t.selectionImageRect(), (ImageRect{29, 14, 32, 16}));
    EXPECT_EQ(t.rect(), (TrackerRect{p.left + 7, p.top + 3, p.left + 9, p.top + 5}));  // the blocks it touches
    t.placeSelection(quarter);
    t.rescaleSelection(1, view(2), 4);
    EXPECT_EQ(t.selectionImageRect(), (ImageRect{29, 14, 32, 16}));

    // A band drawn at 1:4 covers whole blocks of map pixels; select-all the whole map.
    PictureGeometry eighth = view(1);
    eighth.reduction = 8;
    EXPECT_EQ(band(t, quarter, p.left + 2, p.top + 1, p.left + 6, p.top + 5), (ImageRect{8, 4, 23, 19}));
    t.rescaleSelection(1, eighth, 4);
    EXPECT_EQ(t.selectionImageRect(), (ImageRect{8, 4, 23, 19}));
    t.selectAll(eighth);
    EXPECT_EQ(t.selectionImageRect(), (ImageRect{0, 0, 255, 127}));
    t.setSelectionSize(16, 8, quarter);
    EXPECT_EQ(t.selectionImageRect(), (ImageRect{0, 0, 15, 7}));
}
