// Opening files, adopting maps, paste, recent files and the display state.
#include "FakeHost.h"
#include "TextureBuilder.h"

#include "codecs/imagefile/ImageFile.h"
#include "document/CKestrelDoc.h"
#include "common/MessageTable.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testsupport;
using korvix::MessageId;
using korvix::MessageTable;
using korvix::msg;

namespace {

// A 4 x 2 texture with alpha: (x, y) has alpha 85 * x and colour (10 x, 20 y, 30).
std::uint32_t gradient(int, int x, int y)
{
    return static_cast<std::uint32_t>(85 * x) << 24 | static_cast<std::uint32_t>(10 * x) << 16
           | static_cast<std::uint32_t>(20 * y) << 8 | 30u;
}

struct Fixture : ::testing::Test {
    TempDir dir;
    FakeHost host;
    CKestrelDoc doc{host};

    std::string file(const std::string& name, const std::vector<unsigned char>& bytes)
    {
        writeFile(dir / name, bytes);
        return (dir / name).string();
    }
};

using DocumentLoad = Fixture;

}  // namespace

TEST_F(DocumentLoad, OpenDispatchByExtension)
{
    const auto tex = textureBytes(8, 8, 1, 2, gradient);
    PixelBitmap bmp;
    bmp.create(4, 4, 32, false);
    bmp.saveAsBmp((dir / "picture.bmp").string());
    const std::vector<unsigned char> bmpBytes = readFile(dir / "picture.bmp");

    const struct {
        std::string name;
        std::vector<unsigned char> bytes;
        bool loads;
        std::vector<std::string> messages;
    } cases[] = {
        {"upper.TEX", tex, true, {}},
        {"picture.bmp", bmpBytes, true, {}},
        {"bitmap.tex", bmpBytes, false, {msg(MessageId::NotTexFormat)}},
        {"small.tex", std::vector<unsigned char>(tex.begin(), tex.begin() + 43), false,
         {msg(MessageId::TextureFileTooSmall)}},
        // 44 bytes reach the loader, which finds the maps cut short.
        {"cut.tex", std::vector<unsigned char>(tex.begin(), tex.begin() + 44), false,
         {msg(MessageId::DecodeFailed), msg(MessageId::TextureLoadFailed)}},
        {"noextension", tex, false, {msg(MessageId::UnknownFileType)}},
        // Every open and read failure names the file and the cause.
        {"garbage.png", {1, 2, 3}, false,
         {std::string(msg(MessageId::TextureLoadFailed)) + "\n\n" + (dir / "garbage.png").string()
          + ": Unknown file type."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host.messages.clear();
        EXPECT_EQ(doc.openFile(file(c.name, c.bytes), false), c.loads);
        EXPECT_EQ(host.messageTexts(), c.messages);
        EXPECT_EQ(host.waitDepth, 0) << "the wait cursor is restored on every path";
        if (c.loads) {
            EXPECT_EQ(doc.name(), (dir / c.name).string());
        }
    }
    // A dot in a folder name is not an extension.
    std::filesystem::create_directories(dir / "mods.d");
    host.messages.clear();
    EXPECT_FALSE(doc.openFile((dir / "mods.d" / "readme").string(), false));
    EXPECT_EQ(host.messageTexts(), std::vector<std::string>{msg(MessageId::UnknownFileType)});
}

TEST_F(DocumentLoad, FailedLoadsKeepThePreviousTexture)
{
    ASSERT_TRUE(doc.loadMaps(file("a.tex", textureBytes(8, 8, 2, 2, gradient)), false, true, 0));
    const auto raw = doc.rawBytes();
    // A 4096 x 16 texture is refused after decoding, like one 16 x 4096.
    for (const auto& [w, h] : {std::pair{4096, 16}, std::pair{16, 4096}}) {
        host.messages.clear();
        EXPECT_FALSE(doc.loadMaps(file("big.tex", textureBytes(w, h, 1, 8)), false, true, 0));
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].text, msg(MessageId::MapTooLarge));
        EXPECT_EQ(host.messages[0].caption, "Fehler");
        EXPECT_EQ(host.messages[0].icon, MessageIcon::Error);
    }
    EXPECT_FALSE(doc.loadMaps(file("b.tex", {'K', 'T', 'E', 'X'}), false, true, 0));
    EXPECT_EQ(doc.mapCount(), 2);
    EXPECT_EQ(doc.name(), (dir / "a.tex").string());
    EXPECT_EQ(doc.rawBytes(), raw);
    EXPECT_EQ(doc.source(), CKestrelDoc::SOURCE_TEXTURE_FILE);
    EXPECT_TRUE(doc.loadMaps(file("edge.tex", textureBytes(2048, 4, 1, 10)), false, true, 0)) << "2048 is allowed";
}

TEST_F(DocumentLoad, AdoptingShowsTheLargestMapAndSetsTheButtons)
{
    ASSERT_TRUE(doc.openFile(file("nine.tex", textureBytes(256, 256, 9, 8)), false));
    EXPECT_EQ(doc.mapCount(), 9);
    EXPECT_EQ(doc.largestMap(), 8);
    EXPECT_EQ(doc.currentMap(), 8);
    EXPECT_EQ(doc.shown(), &(*doc.maps())[8]);
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(doc.commandChecked(MAP_COMMANDS[k]), k == 8) << k;
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(doc.commandEnabled(MAP_COMMANDS[k]), k <= 8) << k;
    EXPECT_EQ(host.status[2], " " + (dir / "nine.tex").string());
    EXPECT_EQ(host.title, (dir / "nine.tex").string() + " - Korvix 0.93");
    EXPECT_TRUE(doc.noSelection());
    // RGB 565 has no alpha: the alpha views are off.
    EXPECT_EQ(doc.commandEnabled(ID_VIEW_RGBA), false);
    EXPECT_EQ(doc.commandEnabled(ID_VIEW_ALPHA), false);
    EXPECT_EQ(doc.commandChecked(ID_VIEW_RGB), true);
    host.pictureVisible = false;
    EXPECT_EQ(doc.commandEnabled(ID_MAP_0), false) << "map commands need the picture view";
    EXPECT_EQ(doc.commandEnabled(ID_ZOOM_IN), false);
}

TEST_F(DocumentLoad, DisplayBuffersBlendAndShowAlpha)
{
    ASSERT_TRUE(doc.openFile(file("alpha.tex", textureBytes(4, 2, 1, 2, gradient)), false));
    ASSERT_TRUE(doc.hasAlpha());
    doc.setDisplayMode(CKestrelDoc::MODE_RGBA);
    const PixelBitmap& view = doc.viewBuffer(0);
    ASSERT_EQ(doc.shown(), &view);
    const std::uint8_t* background = doc.background();
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            const unsigned a = 85u * static_cast<unsigned>(x), g = background[y * 2048 + x];
            const unsigned v[3] = {30, 20u * static_cast<unsigned>(y), 10u * static_cast<unsigned>(x)};
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(view.row(y)[4 * x + c], ((255 - a) * g + v[c] * a) >> 8) << x << "," << y << "," << c;
        }
    }
    // The divisor is 256: even alpha 0 shows the background a shade darker.
    EXPECT_EQ(view.row(0)[0], (255 * background[0]) >> 8);
    doc.setDisplayMode(CKestrelDoc::MODE_ALPHA);
    EXPECT_EQ(doc.shown(), &doc.viewBuffer(1));
    EXPECT_EQ(doc.viewBuffer(1).row(1)[4 * 3 + 1], 255);
    EXPECT_EQ(doc.viewBuffer(1).row(1)[4 * 1 + 2], 85);

    // Opaque white shows as 254 (the divisor is 256).
    ASSERT_TRUE(doc.openFile(file("white.tex", textureBytes(4, 4, 1, 2, [](int, int, int) { return 0xFFFFFFFFu; })), false));
    EXPECT_EQ(doc.displayMode(), CKestrelDoc::MODE_ALPHA) << "the mode survives a load with alpha";
    doc.setDisplayMode(CKestrelDoc::MODE_RGBA);
    EXPECT_EQ(doc.viewBuffer(0).row(3)[4 * 3], 254);

    // A texture without alpha forces RGB; the next one with alpha comes back in RGB.
    ASSERT_TRUE(doc.openFile(file("opaque.tex", textureBytes(4, 4, 1, 8)), false));
    EXPECT_EQ(doc.displayMode(), CKestrelDoc::MODE_RGB);
    ASSERT_TRUE(doc.openFile(file("alpha2.tex", textureBytes(4, 2, 1, 2, gradient)), false));
    EXPECT_EQ(doc.displayMode(), CKestrelDoc::MODE_RGB);
}

TEST_F(DocumentLoad, MapChangeRebuildsTheViewAtTheMapsSize)
{
    ASSERT_TRUE(doc.openFile(file("maps.tex", textureBytes(64, 32, 5, 2, gradient)), false));
    doc.setDisplayMode(CKestrelDoc::MODE_RGBA);
    EXPECT_EQ(doc.viewBuffer(0).width(), 64);
    doc.selectMapCommand(3);
    EXPECT_EQ(doc.currentMap(), 3);
    EXPECT_EQ(doc.viewBuffer(0).width(), 32);
    EXPECT_EQ(doc.viewBuffer(0).height(), 16);
    doc.selectMapCommand(4);
    EXPECT_EQ(doc.viewBuffer(0).width(), 64);
    doc.selectMapCommand(7);  // beyond the largest map: ignored
    EXPECT_EQ(doc.currentMap(), 4);
}

TEST_F(DocumentLoad, SmoothingWeights)
{
    // One pixel wide: the horizontal pass changes nothing, the vertical one smooths.
    ASSERT_TRUE(doc.openFile(file("column.tex", textureBytes(1, 3, 1, 2,
                                                             [](int, int, int y) { return y == 1 ? 0xFFFFFFFFu : 0xFF000000u; })),
                             false));
    const auto smoothed = doc.smoothedImage();
    ASSERT_TRUE(smoothed);
    EXPECT_EQ(smoothed->row(0)[0], 69) << "edge: 0.2689 of 255";
    EXPECT_EQ(smoothed->row(1)[0], 147) << "inside: 0.5761 of 255";
    EXPECT_EQ(smoothed->row(2)[0], 69);
}

TEST_F(DocumentLoad, ZoomSteps)
{
    ASSERT_TRUE(doc.openFile(file("z.tex", textureBytes(4, 4, 1, 8)), false));
    EXPECT_EQ(doc.commandEnabled(ID_ZOOM_OUT), false);
    for (int i = 0; i < 6; ++i)
        doc.zoomIn();
    EXPECT_EQ(doc.zoom(), 32);
    EXPECT_EQ(doc.commandEnabled(ID_ZOOM_IN), false);
    doc.zoomOut();
    EXPECT_EQ(host.zoom, 16);
    doc.zoomReset();
    EXPECT_EQ(doc.zoom(), 1);
    EXPECT_EQ(host.relayouts, 1);
    EXPECT_EQ(doc.commandEnabled(ID_ZOOM_RESET), false);
}

TEST_F(DocumentLoad, ReductionsOnlyWhileThePictureDoesNotFitAndFitPicksTheLargestStep)
{
    // 1024 x 1024 in the fake's 400 x 300 view.
    ASSERT_TRUE(doc.openFile(file("big.tex", textureBytes(1024, 1024, 1, 8)), false));
    EXPECT_EQ(doc.commandEnabled(ID_ZOOM_OUT), true);
    doc.zoomOut();
    EXPECT_EQ(host.zoom, 0.5f);
    EXPECT_EQ(doc.selectionView().reduction, 2);
    EXPECT_EQ(doc.commandEnabled(ID_ZOOM_RESET), true);
    doc.zoomOut();  // 256 x 256 fits now
    EXPECT_EQ(doc.zoom(), 0.25f);
    EXPECT_EQ(doc.commandEnabled(ID_ZOOM_OUT), false);
    doc.zoomOut();
    EXPECT_EQ(doc.zoom(), 0.25f);
    doc.zoomIn();
    doc.zoomIn();
    EXPECT_EQ(doc.zoom(), 1);
    EXPECT_EQ(host.relayouts, 1) << "up to 1:1 lays the view out as the way down does";
    doc.zoomToFit();
    EXPECT_EQ(doc.zoom(), 0.25f);

    // A small picture fits at the largest enlargement that still fits.
    ASSERT_TRUE(doc.openFile(file("small.tex", textureBytes(64, 32, 1, 8)), false));
    doc.zoomToFit();
    EXPECT_EQ(doc.zoom(), 4);
    EXPECT_EQ(host.zoom, 4);
}

TEST_F(DocumentLoad, TheOpenDialogGetsItsTypeList)
{
    host.openFiles = {std::nullopt};
    EXPECT_FALSE(doc.openFile("", true));
    ASSERT_EQ(host.openFilters.size(), 10u);
    EXPECT_EQ(host.openFilters[0], (FileFilter{"QRB (*.qrb)", {"*.qrb"}}));
    EXPECT_EQ(host.openFilters[2], (FileFilter{"TEX (*.tex)", {"*.tex"}}));
    EXPECT_EQ(host.openFilters[8], (FileFilter{"PNG (*.png)", {"*.png"}}));
    EXPECT_EQ(host.openFilters[9], (FileFilter{std::string(msg(MessageId::FilterAllFiles)) + " (*.*)", {"*.*"}}));
    EXPECT_EQ(host.openDefaultExtension, ".qrb");
}

TEST(FileDialogs, APatternAddsNoSuffixSoNamesWithoutADotStayAsTyped)
{
    const std::pair<const char*, const char*> cases[] = {
        {".qrb", "qrb"}, {"tex", "tex"}, {"*.*", ""}, {"*", ""}, {"", ""}, {".t?x", ""}};
    for (const auto& [extension, suffix] : cases)
        EXPECT_EQ(dialogDefaultSuffix(extension), suffix) << extension;
}

TEST_F(DocumentLoad, APasteKeepsTheAlphaOfTheClipboardsPictureAndACopyPutsItBack)
{
    writeFile(dir / "alpha.tex", textureBytes(8, 8, 1, 2));
    ASSERT_TRUE(doc.openFile((dir / "alpha.tex").string(), false));
    doc.displayModeCommand(CKestrelDoc::MODE_RGBA);
    PixelBitmap b;
    b.create(8, 8, 32, true);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            std::memcpy(b.row(y) + 4 * x, "\x10\x20\x30\x40", 4);
    host.clipboard = b;
    doc.paste();
    EXPECT_TRUE(doc.hasAlpha());
    EXPECT_TRUE((*doc.maps())[0].hasAlpha());
    EXPECT_EQ((*doc.maps())[0].pixelAt(3, 3), 0x40302010u) << "colour and alpha as they were";
    EXPECT_EQ(doc.displayMode(), CKestrelDoc::MODE_RGBA) << "the RGBA view stays";
    EXPECT_EQ(doc.shown(), &doc.viewBuffer(0));
    EXPECT_EQ(doc.formatText(), " Zwischenablage · Alpha");

    // A copy of the shown map carries the alpha channel (map 3 of a 4-map texture here).
    writeFile(dir / "four.tex", textureBytes(64, 64, 4, 2, [](int m, int x, int y) {
                  return static_cast<std::uint32_t>(m * 40 + x) << 24 | static_cast<std::uint32_t>(y);
              }));
    host.answers = {MessageAnswer::Yes};  // the pasted picture may go
    ASSERT_TRUE(doc.openFile((dir / "four.tex").string(), false));
    doc.selectMapCommand(2);
    host.clipboard.reset();
    doc.copyCommand();
    ASSERT_TRUE(host.clipboard);
    EXPECT_TRUE(host.clipboardAlpha);
    EXPECT_EQ(host.clipboard->width(), 32);
    EXPECT_EQ(host.clipboard->pixelAt(5, 7), (80u + 5) << 24 | 7u);

    // A picture without alpha comes in without, and the view falls back to RGB.
    b.setHasAlpha(false);
    host.clipboard = b;
    doc.paste();
    EXPECT_FALSE(doc.hasAlpha());
    EXPECT_EQ(doc.displayMode(), CKestrelDoc::MODE_RGB);
    EXPECT_EQ(doc.commandEnabled(ID_VIEW_RGBA), false);
    doc.copyCommand();
    EXPECT_FALSE(host.clipboardAlpha);
}

TEST_F(DocumentLoad, PasteLimits)
{
    auto bitmap = [](int w, int h) {
        PixelBitmap b;
        b.create(w, h, 32, false);
        return b;
    };
    host.clipboard = bitmap(3, 100);
    doc.paste();
    EXPECT_EQ(host.messageTexts(), std::vector<std::string>{msg(MessageId::BitmapTooSmall)});
    EXPECT_FALSE(doc.ready());
    host.clipboard = bitmap(4096, 8);
    doc.paste();
    EXPECT_EQ(host.messages.back().text, msg(MessageId::MapTooLarge));
    EXPECT_FALSE(doc.ready());

    ASSERT_TRUE(doc.openFile(file("nine.tex", textureBytes(256, 256, 9, 8)), false));
    host.clipboard = bitmap(4, 4);
    doc.paste();
    EXPECT_EQ(doc.mapCount(), 1);
    EXPECT_EQ(doc.largestMap(), 0);
    EXPECT_EQ(doc.commandChecked(ID_MAP_0), true);
    EXPECT_EQ(doc.commandEnabled(ID_MAP_1), false);
    EXPECT_EQ(doc.name(), "unbenannt.tex");
    EXPECT_EQ(host.status[2], " Daten aus der Zwischenablage");
    EXPECT_EQ(doc.source(), CKestrelDoc::SOURCE_OTHER);
}

TEST_F(DocumentLoad, RecentFilesThatNoLongerLoadAreRemoved)
{
    host.recent = {(dir / "gone.tex").string(), file("ok.tex", textureBytes(4, 4, 1, 8))};
    doc.openRecentFile(0);
    EXPECT_EQ(host.recent, std::vector<std::string>{(dir / "ok.tex").string()});
    doc.openRecentFile(0);
    EXPECT_EQ(host.recent.size(), 1u);
    EXPECT_TRUE(doc.ready());

    // Through the dialog a failed load changes nothing: not the list, not the title.
    const std::string title = host.title;
    host.openFiles.push_back((dir / "missing.tga").string());
    EXPECT_FALSE(doc.openFile("", true));
    EXPECT_EQ(host.recent, std::vector<std::string>{(dir / "ok.tex").string()});
    EXPECT_EQ(host.title, title);
    host.openFiles.push_back((dir / "ok.tex").string());
    EXPECT_TRUE(doc.openFile("", true));
    EXPECT_EQ(host.title, "ok.tex - Korvix 0.93");
}

TEST(DocumentSizes, MapChainHelpers)
{
    int w = 256, h = 64;
    CKestrelDoc::halveSize(w, h, 3);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 16);
    EXPECT_EQ(CKestrelDoc::powerOfTwo(1), 1);
    EXPECT_EQ(CKestrelDoc::powerOfTwo(0), 1);
    EXPECT_EQ(CKestrelDoc::powerOfTwo(6), 32);
}

TEST(DocumentBackground, CheckerboardOfEightPixelCells)
{
    FakeHost host;
    const CKestrelDoc doc(host);
    const std::uint8_t* g = doc.background();
    const struct {
        int x, y;
        std::uint8_t value;
    } cases[] = {{0, 0, 130}, {5, 0, 130}, {0, 5, 130}, {1, 1, 255}, {9, 1, 204}, {1, 9, 204}, {9, 9, 255},
                 {2047, 2047, 255}, {2047, 1, 204}, {8, 3, 130}};
    for (const auto& c : cases)
        EXPECT_EQ(g[c.y * 2048 + c.x], c.value) << c.x << "," << c.y;
    for (int y = 16; y < 2048; y += 331)
        EXPECT_EQ(std::memcmp(g + y * 2048, g + (y % 16) * 2048, 2048), 0) << "row " << y << " repeats the tile";
}
