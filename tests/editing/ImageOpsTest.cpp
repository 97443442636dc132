// The image operations of the document: which pixels and channels change,
// hasAlpha afterwards, the selection, messages and the enabling rules.
#include "EditFixture.h"

#include "codecs/BitmapFilterImage.h"
#include "common/MessageTable.h"
#include "document/CommandIds.h"
#include "document/SizeDialogModel.h"
#include "filters/ImageFilters.h"

#include <functional>
#include <set>

using edittest::byteOf;
using edittest::pattern;

using korvix::MessageId;
using korvix::msg;

namespace {

struct ImageOps : edittest::EditFixture {};

// Byte c of pixel (x, y) is expected to differ from the pattern exactly when
// `changes` says so.
using ChangeRule = std::function<bool(int x, int y, int channel)>;

void expectChanges(const PixelBitmap& map, const ChangeRule& changes, const std::string& what)
{
    int wrong = 0;
    for (int y = 0; y < map.height(); ++y)
        for (int x = 0; x < map.width(); ++x)
            for (int c = 0; c < 4; ++c) {
                const bool changed = byteOf(map.pixelAt(x, y), c) != byteOf(pattern(x, y), c);
                if (changed != changes(x, y, c) && ++wrong <= 3)
                    ADD_FAILURE() << what << ": pixel " << x << "," << y << " byte " << c
                                  << (changed ? " changed" : " kept");
            }
}

// The blue, green and red bytes of two pictures are equal.
bool sameColours(const PixelBitmap& a, const PixelBitmap& b)
{
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (((a.pixelAt(x, y) ^ b.pixelAt(x, y)) & 0xFFFFFF) != 0)
                return false;
    return true;
}

bool inside(int x, int y, int left, int top, int w, int h)
{
    return x >= left && x < left + w && y >= top && y < top + h;
}

}  // namespace

TEST_F(ImageOps, InvertColourObeysMaskAndSelection)
{
    struct Case {
        bool r, g, b;
        int sx, sy, sw, sh;  // sw = 0: no selection
    };
    const Case cases[] = {
        {true, false, false, 0, 0, 0, 0},
        {true, true, true, 0, 0, 0, 0},
        {false, true, true, 2, 3, 5, 4},
        {false, false, true, 7, 1, 1, 1},  // one pixel
    };
    for (const Case& c : cases) {
        loadPicture(12, 10, true);
        if (c.sw)
            select(c.sx, c.sy, c.sw, c.sh);
        doc.setChannels(c.r, c.g, c.b);
        ASSERT_TRUE(doc.invertColour());
        const bool active[4] = {c.b, c.g, c.r, false};
        expectChanges(map(), [&](int x, int y, int ch) {
            return active[ch] && (!c.sw || inside(x, y, c.sx, c.sy, c.sw, c.sh));
        }, "invert");
        const std::uint32_t p = pattern(c.sx, c.sy);
        if (c.r) {
            EXPECT_EQ(byteOf(px(c.sx, c.sy), 2), 255 - byteOf(p, 2));
        }
        EXPECT_TRUE(doc.hasAlpha());
        EXPECT_EQ(doc.tracker().present(), c.sw != 0);  // the selection survives
        EXPECT_TRUE(host.messages.empty());
        // A second time restores the map.
        ASSERT_TRUE(doc.invertColour());
        expectChanges(map(), [](int, int, int) { return false; }, "invert twice");
    }
}

TEST_F(ImageOps, InvertColourMessages)
{
    loadPicture(8, 8, true);
    doc.setChannels(false, false, false);
    EXPECT_FALSE(doc.invertColour());
    EXPECT_EQ(host.messageTexts(), std::vector<std::string>{msg(MessageId::NoColourChannel)});
    expectChanges(map(), [](int, int, int) { return false; }, "refused");

    host.messages.clear();
    doc.setChannels(true, false, false);
    doc.displayModeCommand(CKestrelDoc::MODE_ALPHA);
    EXPECT_TRUE(doc.invertColour());
    EXPECT_EQ(host.messageTexts(), std::vector<std::string>{msg(MessageId::ColourInverted)});
}

TEST_F(ImageOps, InvertAlphaChangesOnlyAlphaInTheRegion)
{
    struct Case {
        int mode;
        bool message;
    };
    for (const Case c : {Case{CKestrelDoc::MODE_RGB, true}, Case{CKestrelDoc::MODE_RGBA, false},
                         Case{CKestrelDoc::MODE_ALPHA, false}}) {
        loadPicture(9, 7, true);
        doc.displayModeCommand(c.mode);
        select(1, 2, 4, 3);
        const PixelBitmap shownBefore = *doc.shown();
        ASSERT_TRUE(doc.invertAlpha());
        expectChanges(map(), [](int x, int y, int ch) { return ch == 3 && inside(x, y, 1, 2, 4, 3); }, "invert alpha");
        EXPECT_EQ(byteOf(px(1, 2), 3), 255 - byteOf(pattern(1, 2), 3));
        EXPECT_EQ(host.messageTexts().size(), c.message ? 1u : 0u);
        if (c.message) {
            EXPECT_EQ(host.messageTexts()[0], msg(MessageId::AlphaInverted));
        }
        // The alpha view shows the inverted alpha as grey; the RGB view shows no change.
        if (c.mode == CKestrelDoc::MODE_ALPHA) {
            EXPECT_EQ(doc.shown()->row(2)[4], 255 - byteOf(pattern(1, 2), 3));
        } else if (c.mode == CKestrelDoc::MODE_RGB) {
            EXPECT_TRUE(sameColours(*doc.shown(), shownBefore));
        }
        EXPECT_TRUE(doc.ready());
    }
}

TEST_F(ImageOps, CreateAndRemoveAlphaKeepTheBytes)
{
    loadPicture(8, 4, false);
    EXPECT_EQ(doc.commandEnabled(ID_INVERT_ALPHA), false);
    EXPECT_TRUE(doc.createAlpha());
    EXPECT_TRUE(doc.hasAlpha());
    EXPECT_EQ(doc.commandEnabled(ID_INVERT_ALPHA), true);
    EXPECT_EQ(doc.commandEnabled(ID_CREATE_ALPHA), false);
    doc.displayModeCommand(CKestrelDoc::MODE_ALPHA);
    EXPECT_TRUE(doc.removeAlpha());
    EXPECT_FALSE(doc.hasAlpha());
    EXPECT_EQ(doc.displayMode(), CKestrelDoc::MODE_RGB);
    EXPECT_EQ(doc.shown(), &map());
    expectChanges(map(), [](int, int, int) { return false; }, "alpha switches");
}

TEST_F(ImageOps, FiltersChangeTheirChannelsInsideTheRegion)
{
    struct Case {
        int id;
        bool alphaFilter;
        int mode;
        std::string message;
    };
    const Case cases[] = {
        {ID_SHARPEN, false, CKestrelDoc::MODE_RGB, ""},
        {ID_SHARPEN, false, CKestrelDoc::MODE_ALPHA, msg(MessageId::ColourSharpened)},
        {ID_BLUR, false, CKestrelDoc::MODE_ALPHA, msg(MessageId::ColourBlurred)},
        {ID_BLUR_STRONG, false, CKestrelDoc::MODE_RGBA, ""},
        {ID_ALPHA_BLUR, true, CKestrelDoc::MODE_RGB, msg(MessageId::AlphaBlurred)},
        {ID_ALPHA_BLUR_STRONG, true, CKestrelDoc::MODE_ALPHA, ""},
    };
    for (const bool withSelection : {false, true}) {
        for (const Case& c : cases) {
            loadPicture(16, 12, true);
            doc.displayModeCommand(c.mode);
            if (withSelection)
                select(3, 2, 6, 5);
            const PixelBitmap shownBefore = *doc.shown();
            ASSERT_TRUE(doc.editCommand(c.id));
            const std::string what = "command " + std::to_string(c.id) + (withSelection ? " in a selection" : "");
            // The channel mask does not restrict the filters.
            int changedInside = 0;
            for (int y = 0; y < 12; ++y)
                for (int x = 0; x < 16; ++x)
                    for (int ch = 0; ch < 4; ++ch) {
                        const bool mayChange = (ch == 3) == c.alphaFilter && (!withSelection || inside(x, y, 3, 2, 6, 5));
                        const bool changed = byteOf(px(x, y), ch) != byteOf(pattern(x, y), ch);
                        if (changed && !mayChange)
                            ADD_FAILURE() << what << ": pixel " << x << "," << y << " byte " << ch;
                        changedInside += changed;
                    }
            EXPECT_GT(changedInside, 0) << what;
            EXPECT_FALSE(map().hasAlpha()) << what;
            EXPECT_TRUE(doc.hasAlpha()) << what;
            EXPECT_EQ(doc.tracker().present(), withSelection) << what;
            EXPECT_EQ(host.messageTexts(), c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message})
                << what;
            if (c.alphaFilter && c.mode == CKestrelDoc::MODE_RGB) {
                EXPECT_TRUE(sameColours(*doc.shown(), shownBefore)) << what;
            }
            EXPECT_TRUE(doc.ready());
        }
    }
}

TEST_F(ImageOps, RotateAndMirror)
{
    // A 4 x 2 map: the clockwise turn is 2 x 4 with the old top-left at the top right.
    loadTexture(4, 2, 1);
    doc.removeAlpha();
    select(0, 0, 3, 2);
    ASSERT_TRUE(doc.rotate(true));
    ASSERT_EQ(map().width(), 2);
    ASSERT_EQ(map().height(), 4);
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(px(2 - 1 - j, i), pattern(i, j));
    EXPECT_TRUE(map().hasAlpha());
    EXPECT_FALSE(doc.tracker().present());
    EXPECT_FALSE(doc.hasAlpha());

    loadTexture(4, 2, 1);
    ASSERT_TRUE(doc.rotate(false));
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(px(j, 4 - 1 - i), pattern(i, j));

    for (const bool leftRight : {true, false}) {
        loadPicture(5, 4, true);
        select(0, 0, 3, 3);  // ignored by the mirror
        ASSERT_TRUE(doc.mirror(leftRight));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(px(x, y), leftRight ? pattern(4 - x, y) : pattern(x, 3 - y));
        EXPECT_FALSE(map().hasAlpha());
        EXPECT_FALSE(doc.tracker().present());
    }
}

// Square maps turn where they lie, in cycles of four walked tile by tile;
// other maps are copied into a new bitmap tile by tile. Sizes below, at and
// across the tile's edge, odd and even (a paste is at least 4 x 4).
TEST_F(ImageOps, RotateEverySizeBothWays)
{
    const std::pair<int, int> sizes[] = {{4, 4}, {5, 5}, {16, 16}, {17, 17}, {34, 34}, {35, 35},
                                         {4, 5}, {35, 18}, {18, 35}, {33, 32}};
    for (const auto& [w, h] : sizes) {
        for (const bool clockwise : {true, false}) {
            loadPicture(w, h, false);
            ASSERT_TRUE(doc.rotate(clockwise));
            ASSERT_EQ(map().width(), h);
            ASSERT_EQ(map().height(), w);
            int wrong = 0;
            for (int j = 0; j < h; ++j)
                for (int i = 0; i < w; ++i) {
                    const std::uint32_t got = clockwise ? px(h - 1 - j, i) : px(j, w - 1 - i);
                    if (got != pattern(i, j) && ++wrong <= 3)
                        ADD_FAILURE() << w << " x " << h << (clockwise ? " clockwise" : " counter-clockwise")
                                      << ": old pixel " << i << "," << j;
                }
            EXPECT_TRUE(map().hasAlpha());
        }
    }
}

// The filters run on the map's own rows: the result equals the primitive run
// from a separate copy of the map into another image.
TEST_F(ImageOps, FiltersGiveThePrimitivesResult)
{
    for (const int id : {ID_SHARPEN, ID_BLUR, ID_BLUR_STRONG, ID_ALPHA_BLUR, ID_ALPHA_BLUR_STRONG}) {
        for (const bool withSelection : {false, true}) {
            loadPicture(23, 19, true);
            if (withSelection)
                select(0, 4, 9, 15);  // touches the left and bottom edges
            const auto source = imageFromBitmap(map());
            auto expected = cloneImage(*source);
            ProcessRegion region{id == ID_ALPHA_BLUR || id == ID_ALPHA_BLUR_STRONG ? ProcessRegion::Alpha : ProcessRegion::Colour,
                                 0, withSelection ? 4 : 0, withSelection ? 9 : 23, withSelection ? 15 : 19};
            source->setRegion(&region);
            expected->setRegion(&region);
            if (id == ID_SHARPEN)
                sharpen3x3(*source, *expected);
            else if (id == ID_BLUR || id == ID_ALPHA_BLUR)
                boxBlur(*source, *expected, 3, 1);
            else
                boxBlur(*source, *expected, 7, 3);
            ASSERT_TRUE(doc.editCommand(id));
            const auto got = imageFromBitmap(map());
            int wrong = 0;
            for (int y = 0; y < 19; ++y)
                for (int i = 0; i < 4 * 23; ++i)
                    if (got->row(y)[i] != expected->row(y)[i] && ++wrong <= 3)
                        ADD_FAILURE() << "command " << id << (withSelection ? " in a selection" : "") << ": row " << y
                                      << " byte " << i;
        }
    }
}

TEST_F(ImageOps, CropToTheSelection)
{
    loadPicture(10, 8, true);
    EXPECT_FALSE(doc.crop());
    EXPECT_EQ(host.messageTexts(), std::vector<std::string>{msg(MessageId::NothingSelected)});
    EXPECT_EQ(map().width(), 10);

    host.messages.clear();
    select(2, 1, 5, 4);
    ASSERT_TRUE(doc.crop());
    ASSERT_EQ(map().width(), 5);
    ASSERT_EQ(map().height(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(px(x, y), pattern(x + 2, y + 1));
    EXPECT_TRUE(doc.hasAlpha());
    EXPECT_EQ(doc.tracker().selectionImageRect(), (ImageRect{0, 0, 4, 3}));  // the whole new map
    EXPECT_TRUE(host.messages.empty());

    // A selection of the whole map keeps its size.
    ASSERT_TRUE(doc.crop());
    EXPECT_EQ(map().width(), 5);
    EXPECT_EQ(map().height(), 4);
}

TEST_F(ImageOps, ResizeThroughTheSizeDialog)
{
    struct Case {
        int width, height;
        bool ok;  // the dialog's answer
        bool changes;
    };
    const Case cases[] = {
        {512, 128, true, true},   // width grows: bicubic
        {128, 128, true, true},   // both shrink: area average
        {256, 256, true, false},  // the same size: nothing
        {64, 64, false, false},   // cancelled
    };
    for (const Case& c : cases) {
        loadPicture(256, 256, true);
        select(0, 0, 10, 10);
        std::string title;
        std::vector<int> widths;
        bool live = true;
        host.sizeDialog = [&](SizeDialogModel& m) {
            title = m.title();
            widths = m.widths();
            live = m.liveSelection();
            m.open();
            const auto& ws = m.widths();
            const auto& hs = m.heights();
            m.chooseWidth(static_cast<int>(std::find(ws.begin(), ws.end(), c.width) - ws.begin()));
            m.chooseHeight(static_cast<int>(std::find(hs.begin(), hs.end(), c.height) - hs.begin()));
            return c.ok;
        };
        EXPECT_EQ(doc.resize(), c.ok);
        EXPECT_EQ(title, msg(MessageId::TitleResize));
        EXPECT_EQ(widths, SizeDialogModel::allSizes());
        EXPECT_FALSE(live);
        EXPECT_EQ(map().width(), c.changes ? c.width : 256);
        EXPECT_EQ(map().height(), c.changes ? c.height : 256);
        if (c.changes) {
            EXPECT_FALSE(map().hasAlpha());
        }
        EXPECT_EQ(doc.tracker().present(), !c.changes);
        EXPECT_TRUE(doc.hasAlpha());
        EXPECT_TRUE(doc.ready());
    }
    // A uniform map stays uniform on both paths.
    for (const int size : {1024, 64}) {
        loadPicture(256, 256, false, [](int, int) { return 0xFF4080C0u; });
        host.sizeDialog = [&](SizeDialogModel& m) {
            m.open();
            const auto& ws = m.widths();
            m.chooseWidth(static_cast<int>(std::find(ws.begin(), ws.end(), size) - ws.begin()));
            m.chooseHeight(static_cast<int>(std::find(ws.begin(), ws.end(), size) - ws.begin()));
            return true;
        };
        ASSERT_TRUE(doc.resize());
        ASSERT_EQ(map().width(), size);
        EXPECT_EQ(px(size / 2, size / 3), 0xFF4080C0u);
    }
}

TEST_F(ImageOps, RemoveSmallMaps)
{
    loadTexture(256, 256, 7);
    for (const int id : {ID_INVERT_COLOUR, ID_CROP, ID_RESIZE, ID_BLUR, ID_ROTATE_CW, ID_CONTRAST, ID_CREATE_ALPHA,
                         ID_EXCLUDE_RED, ID_SELECT_ALL})
        EXPECT_EQ(doc.commandEnabled(id), false) << id;
    EXPECT_EQ(doc.commandEnabled(ID_REMOVE_SMALL_MAPS), true);

    host.answers = {MessageAnswer::Cancel};
    EXPECT_FALSE(doc.removeSmallMaps());
    EXPECT_EQ(doc.mapCount(), 7);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, msg(MessageId::RemoveSmallMapsQuestion));
    EXPECT_EQ(host.messages[0].icon, MessageIcon::Question);
    EXPECT_EQ(host.messages[0].buttons, MessageButtons::OkCancel);

    host.answers = {MessageAnswer::Ok};
    ASSERT_TRUE(doc.removeSmallMaps());
    EXPECT_EQ(doc.mapCount(), 1);
    EXPECT_EQ(map().width(), 256);
    EXPECT_EQ(px(100, 50), pattern(100, 50));
    EXPECT_EQ(doc.largestMap(), 0);
    EXPECT_EQ(doc.currentMap(), 0);
    EXPECT_FALSE(doc.rawTexture());
    EXPECT_EQ(doc.source(), CKestrelDoc::SOURCE_OTHER);
    EXPECT_FALSE(doc.noSelection());
    EXPECT_EQ(doc.commandChecked(ID_MAP_0), true);
    for (int k = 1; k < 10; ++k)
        EXPECT_EQ(doc.commandChecked(MAP_COMMANDS[k]), false) << k;
    EXPECT_EQ(doc.commandEnabled(ID_REMOVE_SMALL_MAPS), false);
    EXPECT_EQ(doc.commandEnabled(ID_INVERT_COLOUR), true);
}

TEST_F(ImageOps, EnablingRules)
{
    const std::set<int> common = {ID_EXCLUDE_RED, ID_EXCLUDE_GREEN, ID_EXCLUDE_BLUE, ID_ALL_CHANNELS, ID_INVERT_COLOUR,
                                  ID_CROP, ID_RESIZE, ID_SHARPEN, ID_BLUR, ID_BLUR_STRONG, ID_ROTATE_CW, ID_ROTATE_CCW,
                                  ID_MIRROR_H, ID_MIRROR_V, ID_BRIGHTNESS, ID_CONTRAST, ID_GAMMA, ID_SELECT_ALL,
                                  ID_SELECTION_DIALOG};
    const std::set<int> needAlpha = {ID_INVERT_ALPHA, ID_ALPHA_BLUR, ID_ALPHA_BLUR_STRONG};
    for (const int id : common)
        EXPECT_EQ(doc.commandEnabled(id), false) << "nothing loaded: " << id;

    loadPicture(8, 8, false);
    for (const int id : common)
        EXPECT_EQ(doc.commandEnabled(id), true) << id;
    for (const int id : needAlpha)
        EXPECT_EQ(doc.commandEnabled(id), false) << id;
    EXPECT_EQ(doc.commandEnabled(ID_CREATE_ALPHA), true);
    EXPECT_EQ(doc.commandEnabled(ID_REMOVE_ALPHA), false);
    EXPECT_EQ(doc.commandEnabled(ID_SELECT_NONE), false);
    EXPECT_EQ(doc.commandEnabled(ID_OBJECT_INFO), true);

    doc.createAlpha();
    doc.selectAllCommand();
    for (const int id : needAlpha)
        EXPECT_EQ(doc.commandEnabled(id), true) << id;
    EXPECT_EQ(doc.commandEnabled(ID_SELECT_NONE), true);
    EXPECT_EQ(doc.commandEnabled(ID_REMOVE_ALPHA), true);

    // The picture view's tab not active: the picture commands are off, the alpha switches are not.
    host.pictureVisible = false;
    for (const int id : common)
        EXPECT_EQ(doc.commandEnabled(id), false) << "hidden view: " << id;
    EXPECT_EQ(doc.commandEnabled(ID_SELECT_NONE), false);
    EXPECT_EQ(doc.commandEnabled(ID_REMOVE_ALPHA), true);
}

TEST_F(ImageOps, ChannelButtons)
{
    loadPicture(8, 8, false);
    doc.channelToggleCommand(ID_EXCLUDE_GREEN, true);  // the button went down
    EXPECT_TRUE(doc.redActive());
    EXPECT_FALSE(doc.greenActive());
    ASSERT_TRUE(doc.editCommand(ID_EXCLUDE_RED));  // by id: the button toggles
    EXPECT_FALSE(doc.redActive());
    ASSERT_TRUE(doc.editCommand(ID_EXCLUDE_RED));
    EXPECT_TRUE(doc.redActive());
    doc.allChannelsCommand();
    EXPECT_TRUE(doc.redActive() && doc.greenActive() && doc.blueActive());
    EXPECT_EQ(doc.commandChecked(ID_EXCLUDE_GREEN), false);
}

TEST_F(ImageOps, SmoothingIsLeftBeforeAnEdit)
{
    loadPicture(8, 8, true);
    doc.smoothingCommand(true);
    ASSERT_TRUE(doc.smoothView());
    ASSERT_TRUE(doc.rotate(true));
    EXPECT_FALSE(doc.smoothView());
    EXPECT_FALSE(host.smoothing);
    EXPECT_EQ(doc.commandChecked(ID_VIEW_SMOOTH), false);
}

TEST_F(ImageOps, SelectionCommands)
{
    loadPicture(256, 128, false);
    for (const float zoom : {1.0f, 2.0f, 32.0f}) {
        doc.setZoomCopy(zoom);
        doc.selectAllCommand();
        EXPECT_EQ(doc.tracker().selectionImageRect(), (ImageRect{0, 0, 255, 127})) << zoom;
    }
    doc.selectNoneCommand();
    EXPECT_FALSE(doc.tracker().present());
    doc.setZoomCopy(1);

    // The size dialog: the sizes that fit, a live selection, Cancel puts back what was there.
    loadPicture(300, 100, false);
    std::vector<std::optional<ImageRect>> live;
    host.sizeDialog = [&](SizeDialogModel& m) {
        EXPECT_EQ(m.title(), "Selektieren");
        EXPECT_EQ(m.widths().front(), 256);
        EXPECT_EQ(m.heights().front(), 64);
        m.open();
        live.push_back(doc.tracker().selectionImageRect());
        m.chooseWidth(1);
        live.push_back(doc.tracker().selectionImageRect());
        return false;
    };
    EXPECT_FALSE(doc.selectionDialogCommand());
    EXPECT_EQ(live, (std::vector<std::optional<ImageRect>>{ImageRect{0, 0, 255, 63}, ImageRect{0, 0, 127, 63}}));
    EXPECT_FALSE(doc.tracker().present());

    select(10, 10, 20, 20);
    EXPECT_FALSE(doc.selectionDialogCommand());
    EXPECT_EQ(doc.tracker().selectionImageRect(), (ImageRect{10, 10, 29, 29}));

    host.sizeDialog = [&](SizeDialogModel& m) {
        m.open();
        m.chooseHeight(2);
        return true;
    };
    EXPECT_TRUE(doc.selectionDialogCommand());
    EXPECT_EQ(doc.tracker().selectionImageRect(), (ImageRect{0, 0, 255, 15}));
}

TEST_F(ImageOps, InformationReport)
{
    struct Case {
        int w, h, maps;
        bool alpha;
        std::string report;
    };
    const Case cases[] = {
        {256, 256, 9, true,
         "\nBreite: 256 Pixel     \n\nHöhe: 256 Pixel     \n\nAlphakanal: Ja     \n\n\nMaps: 9  \n\nKleinste Map: 1 x 1 "
         "Pixel   \n\n\nBitmapgröße komprimiert: 32768 Bytes\n\nGröße aller Bitmaps komprimiert: 43690 Bytes   \n\nTGA "
         "256 x 256 unkomprimiert: 262144 Bytes   \n\n\n\n"},
        {100, 60, 1, false,
         "\nBreite: 100 Pixel     \n\nHöhe: 60 Pixel     \n\nAlphakanal: Nein     \n\n\nMaps: 1  \n\n\nBitmapgröße "
         "komprimiert: 3000 Bytes\n\nGröße aller Bitmaps komprimiert: 3000 Bytes   \n\nTGA 100 x 60 unkomprimiert: "
         "18000 Bytes   \n\n\n\n"},
    };
    for (const Case& c : cases) {
        if (c.maps > 1) {
            // RGBA 8888 reports what DXT1 would: the counts do not depend on the format.
            loadTexture(c.w, c.h, c.maps);
            ASSERT_EQ(doc.hasAlpha(), c.alpha);
        } else {
            loadPicture(c.w, c.h, c.alpha);
        }
        EXPECT_EQ(doc.informationReport(), c.report);
        doc.objectInfoCommand();
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].text, c.report);
        EXPECT_EQ(host.messages[0].caption, msg(MessageId::CaptionImageInfo));
        EXPECT_EQ(host.messages[0].icon, MessageIcon::Information);
        host.messages.clear();
    }
}
