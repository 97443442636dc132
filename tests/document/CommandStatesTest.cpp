// The document's command states: which commands it answers for, their enabling
// rules in the states that matter, the check states it owns, and the update pass.
#include "FakeHost.h"
#include "TextureBuilder.h"

#include "codecs/imagefile/ImageFile.h"
#include "common/MessageTable.h"
#include "document/CKestrelDoc.h"
#include "document/CommandIds.h"

#include <gtest/gtest.h>

#include <optional>

using namespace testsupport;

namespace {

struct CommandStates : ::testing::Test {
    TempDir dir;
    FakeHost host;
    CKestrelDoc doc{host};

    // A 16 x 16 texture: RGBA 8888 (with alpha) or RGB 565 (without), `maps` maps.
    void load(bool alpha, int maps)
    {
        const std::string name = std::string(alpha ? "a" : "n") + std::to_string(maps) + ".tex";
        writeFile(dir / name, textureBytes(16, 16, maps, alpha ? 2 : 8));
        ASSERT_TRUE(doc.openFile((dir / name).string(), false));
    }
};

}  // namespace

TEST_F(CommandStates, EnablingRulesInTheStatesThatMatter)
{
    // Columns: nothing loaded; 3 maps without alpha; 1 map with alpha; the same
    // with the picture view's tab not active.
    struct Row {
        int id;
        bool empty, threeMaps, oneMapAlpha, hidden;
    };
    const Row rows[] = {
        {ID_FILE_OPEN, true, true, true, true},
        {ID_MAP_0, false, true, true, false},
        {ID_MAP_2, false, true, false, false},
        {ID_MAP_3, false, false, false, false},
        {ID_ZOOM_IN, false, true, true, false},
        {ID_ZOOM_OUT, false, false, false, false},
        {ID_VIEW_RGB, false, true, true, true},
        {ID_VIEW_RGBA, false, false, true, true},
        {ID_VIEW_ALPHA, false, false, true, true},
        {ID_VIEW_SMOOTH, false, true, true, false},
        {ID_OBJECT_INFO, false, true, true, true},
        {ID_EXPORT, false, true, true, true},
        {ID_EXPORT_SECOND, false, true, true, true},
        {ID_EDIT_COPY, false, true, true, true},
        {ID_VOLUME_DATA, false, false, false, false},
        {ID_SELECT_ALL, false, false, true, false},
        {ID_SELECTION_DIALOG, false, false, true, false},
        {ID_SELECT_NONE, false, false, false, false},
        {ID_EXCLUDE_RED, false, false, true, false},
        {ID_ALL_CHANNELS, false, false, true, false},
        {ID_INVERT_COLOUR, false, false, true, false},
        {ID_INVERT_ALPHA, false, false, true, false},
        {ID_ALPHA_BLUR, false, false, true, false},
        {ID_ALPHA_BLUR_STRONG, false, false, true, false},
        {ID_CROP, false, false, true, false},
        {ID_RESIZE, false, false, true, false},
        {ID_SHARPEN, false, false, true, false},
        {ID_BLUR_STRONG, false, false, true, false},
        {ID_ROTATE_CCW, false, false, true, false},
        {ID_MIRROR_V, false, false, true, false},
        {ID_BRIGHTNESS, false, false, true, false},
        {ID_CONTRAST, false, false, true, false},
        {ID_GAMMA, false, false, true, false},
        {ID_REMOVE_SMALL_MAPS, false, true, false, false},
        {ID_CREATE_ALPHA, false, false, false, false},
        {ID_REMOVE_ALPHA, false, false, true, true},
    };
    const auto column = [&](bool Row::*state, const char* what) {
        for (const Row& r : rows)
            EXPECT_EQ(doc.commandEnabled(r.id), std::optional<bool>(r.*state)) << what << ": command " << r.id;
    };
    column(&Row::empty, "nothing loaded");
    load(false, 3);
    column(&Row::threeMaps, "three maps, no alpha");
    load(true, 1);
    column(&Row::oneMapAlpha, "one map with alpha");
    host.pictureVisible = false;
    column(&Row::hidden, "picture view hidden");

    load(false, 1);
    EXPECT_EQ(doc.commandEnabled(ID_CREATE_ALPHA), true) << "one map without alpha";
    EXPECT_EQ(doc.commandEnabled(ID_REMOVE_ALPHA), false);
}

TEST_F(CommandStates, CommandsOfOthersHaveNoAnswer)
{
    for (const int id : {int(ID_VIEW_STATUS_BAR), int(ID_VIEW_MAP_TOOLBAR), int(ID_DOCK_TOOLBARS), int(ID_APP_ABOUT),
                         int(ID_APP_EXIT), int(ID_ENTRY_RENAME), int(ID_ENTRY_REPLACE_IMAGE), int(ID_FTREE_OPEN),
                         int(ID_INDICATOR_1), 12345}) {
        EXPECT_EQ(doc.commandEnabled(id), std::nullopt) << id;
        EXPECT_EQ(doc.commandChecked(id), std::nullopt) << id;
    }
    for (const int id : {int(ID_ZOOM_IN), int(ID_EXPORT), int(ID_CROP), int(ID_FILE_OPEN)})
        EXPECT_EQ(doc.commandChecked(id), std::nullopt) << id << " is a push button";
}

TEST_F(CommandStates, HostStateThatTheRulesRead)
{
    EXPECT_EQ(doc.commandEnabled(ID_EDIT_PASTE), false);
    PixelBitmap b;
    b.create(4, 4, 32, false);
    host.clipboard = b;
    EXPECT_EQ(doc.commandEnabled(ID_EDIT_PASTE), true);

    host.recent = {"a.tex", "b.tex"};
    EXPECT_EQ(doc.commandEnabled(ID_FILE_MRU_FIRST), true);
    EXPECT_EQ(doc.commandEnabled(ID_FILE_MRU_FIRST + 1), true);
    EXPECT_EQ(doc.commandEnabled(ID_FILE_MRU_FIRST + 2), false);
    EXPECT_EQ(doc.commandEnabled(ID_FILE_MRU_LAST), false);

    // "Alles deselektieren" needs a selection.
    load(true, 1);
    EXPECT_EQ(doc.commandEnabled(ID_SELECT_NONE), false);
    doc.tracker().selectAll(PictureGeometry{.clientWidth = 100, .clientHeight = 100, .imageWidth = 16, .imageHeight = 16, .zoom = 1});
    EXPECT_EQ(doc.commandEnabled(ID_SELECT_NONE), true);
}

TEST_F(CommandStates, TheDocumentOwnsItsCheckStates)
{
    load(true, 3);
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(doc.commandChecked(MAP_COMMANDS[k]), k == 2) << k;
    doc.selectMapCommand(1);
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(doc.commandChecked(MAP_COMMANDS[k]), k == 1) << k;

    EXPECT_EQ(doc.commandChecked(ID_VIEW_RGB), true);
    doc.displayModeCommand(CKestrelDoc::MODE_ALPHA);
    EXPECT_EQ(doc.commandChecked(ID_VIEW_ALPHA), true);
    EXPECT_EQ(doc.commandChecked(ID_VIEW_RGB), false);

    EXPECT_EQ(doc.commandChecked(ID_VIEW_SMOOTH), false);
    doc.smoothingCommand(true);
    EXPECT_EQ(doc.commandChecked(ID_VIEW_SMOOTH), true);
    EXPECT_TRUE(doc.smoothView());
    EXPECT_TRUE(host.smoothing);
    doc.smoothingCommand(false);
    EXPECT_EQ(doc.commandChecked(ID_VIEW_SMOOTH), false);
    EXPECT_FALSE(host.smoothing);
}

TEST_F(CommandStates, ChannelMask)
{
    const struct {
        int id;
        bool excluded;
        bool red, green, blue;
    } steps[] = {
        {ID_EXCLUDE_GREEN, true, true, false, true},
        {ID_EXCLUDE_RED, true, false, false, true},
        {ID_EXCLUDE_GREEN, false, false, true, true},
        {ID_EXCLUDE_BLUE, true, false, true, false},
        {ID_CROP, true, false, true, false},  // not a channel button: nothing changes
    };
    for (const auto& s : steps) {
        doc.channelToggleCommand(s.id, s.excluded);
        EXPECT_EQ(doc.redActive(), s.red) << s.id;
        EXPECT_EQ(doc.greenActive(), s.green) << s.id;
        EXPECT_EQ(doc.blueActive(), s.blue) << s.id;
        EXPECT_EQ(doc.commandChecked(ID_EXCLUDE_RED), !s.red);
        EXPECT_EQ(doc.commandChecked(ID_EXCLUDE_GREEN), !s.green);
        EXPECT_EQ(doc.commandChecked(ID_EXCLUDE_BLUE), !s.blue);
    }
    doc.allChannelsCommand();
    EXPECT_TRUE(doc.redActive() && doc.greenActive() && doc.blueActive());
    for (const int id : {ID_EXCLUDE_RED, ID_EXCLUDE_GREEN, ID_EXCLUDE_BLUE})
        EXPECT_EQ(doc.commandChecked(id), false);
}

TEST_F(CommandStates, TheUpdatePassResetsTheViewButtonsOnlyWhileTheAlphaViewsAreOff)
{
    // With alpha: the queries change nothing, and neither does the pass.
    load(true, 1);
    doc.displayModeCommand(CKestrelDoc::MODE_RGBA);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(doc.commandEnabled(ID_VIEW_RGBA), true);
        doc.updateCommandStates();
    }
    EXPECT_EQ(doc.commandChecked(ID_VIEW_RGBA), true);
    EXPECT_EQ(doc.displayMode(), CKestrelDoc::MODE_RGBA);

    // Without alpha the buttons come back to "RGB", whatever was down.
    load(false, 1);
    doc.checkViewButton(ID_VIEW_ALPHA, true);
    EXPECT_EQ(doc.commandChecked(ID_VIEW_ALPHA), true) << "the queries do not reset";
    doc.updateCommandStates();
    EXPECT_EQ(doc.commandChecked(ID_VIEW_ALPHA), false);
    EXPECT_EQ(doc.commandChecked(ID_VIEW_RGB), true);

    // Before anything is loaded no mode button is down.
    CKestrelDoc fresh{host};
    fresh.updateCommandStates();
    for (const int id : {ID_VIEW_RGB, ID_VIEW_RGBA, ID_VIEW_ALPHA})
        EXPECT_EQ(fresh.commandChecked(id), false) << id;
}

TEST_F(CommandStates, ADisabledCommandSaysWhyFromItsOwnRule)
{
    using M = korvix::MessageId;
    const auto why = [&](int id) {
        std::string reason = "unset";
        const auto on = doc.commandEnabled(id, &reason);
        EXPECT_EQ(on, doc.commandEnabled(id)) << id;
        return reason;
    };
    const auto text = [](M id) { return std::string(korvix::msg(id)); };
    struct Row {
        int id;
        std::string reason;  // empty: enabled
    };
    const auto check = [&](const char* state, std::initializer_list<Row> rows) {
        for (const Row& r : rows)
            EXPECT_EQ(why(r.id), r.reason) << state << ": command " << r.id;
    };
    check("nothing loaded", {{ID_FILE_OPEN, ""},
                             {ID_BLUR, text(M::ReasonNothingShown)},
                             {ID_EXPORT, text(M::ReasonNothingShown)},
                             {ID_EXTERNAL_EDIT, text(M::ReasonNothingShown)},
                             {ID_VOLUME_DATA, text(M::ReasonNoVolume)},
                             {ID_EDIT_PASTE, text(M::ReasonClipboardEmpty)}});
    load(false, 3);
    check("three maps without alpha",
          {{ID_BLUR, "Nur bei Texturen mit einer Map – „Kleine Maps entfernen“ entfernt die übrigen."},
           {ID_INVERT_ALPHA, text(M::ReasonSeveralMaps)},
           {ID_CREATE_ALPHA, text(M::ReasonSeveralMaps)},
           {ID_REMOVE_SMALL_MAPS, ""},
           {ID_MAP_2, ""},
           {ID_MAP_3, "Diese Map gibt es nicht: Die Textur hat 3."},
           {ID_VIEW_RGBA, text(M::ReasonNoAlpha)},
           {ID_ZOOM_RESET, text(M::ReasonOriginalSize)},
           {ID_ZOOM_OUT, text(M::ReasonPictureFits)},
           {ID_ZOOM_FIT, ""},
           {ID_EXTERNAL_EDIT, ""},
           {ID_EDIT_COPY, ""}});
    load(true, 1);
    check("one map with alpha", {{ID_SELECT_NONE, text(M::ReasonNoSelection)},
                                 {ID_CREATE_ALPHA, text(M::ReasonHasAlpha)},
                                 {ID_REMOVE_SMALL_MAPS, text(M::ReasonOneMap)},
                                 {ID_ALPHA_BLUR, ""}});
    for (int i = 0; i < 5; ++i)
        doc.zoomIn();
    check("zoom 32", {{ID_ZOOM_IN, text(M::ReasonLargestZoom)}, {ID_ZOOM_OUT, ""}});
    host.pictureVisible = false;
    check("picture view hidden", {{ID_BLUR, text(M::ReasonPictureHidden)},
                                  {ID_MAP_0, text(M::ReasonPictureHidden)},
                                  {ID_REMOVE_ALPHA, ""}});
    host.pictureVisible = true;
    load(false, 1);
    check("one map without alpha", {{ID_INVERT_ALPHA, text(M::ReasonNoAlpha)}, {ID_REMOVE_ALPHA, text(M::ReasonNoAlpha)}});
}

TEST_F(CommandStates, TheFormatPaneNamesWhereThePictureCameFrom)
{
    EXPECT_EQ(doc.formatText(), " ");
    const struct {
        PictureOrigin origin;
        int maps;
        bool alpha;
        const char* german;
        const char* english;
    } cases[] = {
        {PictureOrigin::ofTexture(texture::Format::Dxt3), 5, true, " DXT3 · 5 Maps · Alpha", " DXT3 · 5 maps · alpha"},
        {PictureOrigin::ofTexture(texture::Format::Rgb565), 1, false, " RGB 565 · 1 Map", " RGB 565 · 1 map"},
        {PictureOrigin::ofTexture(texture::Format::Rgba4444), 10, true, " RGBA 4444 · 10 Maps · Alpha",
         " RGBA 4444 · 10 maps · alpha"},
        {PictureOrigin::ofImage(IMAGE_PNG), 1, true, " PNG · Alpha", " PNG · alpha"},
        {PictureOrigin::ofImage(IMAGE_JPEG), 1, false, " JPEG", " JPEG"},
        {PictureOrigin::ofClipboard(), 1, false, " Zwischenablage", " Clipboard"},
        {PictureOrigin{}, 0, false, " ", " "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatPaneText(c.origin, c.maps, c.alpha), c.german);
        korvix::MessageTable::setLanguage(korvix::Language::English);
        EXPECT_EQ(formatPaneText(c.origin, c.maps, c.alpha), c.english);
        korvix::MessageTable::setLanguage(korvix::Language::German);
    }

    // The document's pane follows the maps and the alpha channel as they are now.
    load(true, 3);
    EXPECT_EQ(doc.formatText(), " RGBA 8888 · 3 Maps · Alpha");
    host.answers = {MessageAnswer::Ok};
    ASSERT_TRUE(doc.removeSmallMaps());
    ASSERT_TRUE(doc.removeAlpha());
    EXPECT_EQ(doc.formatText(), " RGBA 8888 · 1 Map");
    PixelBitmap picture;
    picture.create(4, 4, 32, true);
    encodePng((dir / "p.png").string(), picture);
    host.answers = {MessageAnswer::Yes};  // the changed texture may go
    ASSERT_TRUE(doc.openFile((dir / "p.png").string(), false));
    EXPECT_EQ(doc.formatText(), " PNG · Alpha");
}
