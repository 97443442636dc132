// The export dialog's rules and the export command's dispatch.
#include "FakeHost.h"
#include "TextureBuilder.h"

#include "codecs/TextureLoader.h"
#include "codecs/imagefile/ImageFile.h"
#include "document/CKestrelDoc.h"
#include "common/MessageTable.h"

#include <gtest/gtest.h>

using namespace testsupport;
using korvix::MessageId;
using korvix::MessageTable;
using korvix::msg;
using Model = ExportDialogModel;

TEST(ExportDialog, StartStateWithoutAlpha)
{
    const Model m(5, 3, false, "wall.tex");
    EXPECT_TRUE(m.noAlpha().checked);
    EXPECT_FALSE(m.noAlpha().enabled);
    EXPECT_TRUE(m.formatRadio(Model::Dxt1).enabled);
    EXPECT_TRUE(m.formatRadio(Model::Rgb565).enabled);
    for (const auto f : {Model::Dxt3, Model::Rgba4444, Model::Rgba8888})
        EXPECT_FALSE(m.formatRadio(f).enabled);
    EXPECT_TRUE(m.mapRadio(0).checked);
    EXPECT_FALSE(m.mapsField().enabled);
    const auto r = m.result("x.tex");
    EXPECT_EQ(r.formatIndex, Model::Dxt1);
    EXPECT_TRUE(r.noAlpha);
    EXPECT_EQ(r.mapCount, 1);
}

TEST(ExportDialog, TypeFromTheNameAndTypeChanges)
{
    const struct {
        const char* name;
        int type;
    } cases[] = {{"a.TGA", Model::TypeTga}, {"photo.jpeg", Model::TypeJpeg}, {"scan.TIFF", Model::TypeTiff},
                 {"b.bmp", Model::TypeBmp}, {"c.PNG", Model::TypePng}, {"d.gif", Model::TypeTex},
                 {"ab", Model::TypeTex}};
    for (const auto& c : cases)
        EXPECT_EQ(Model(1, 1, true, c.name).fileType(), c.type) << c.name;

    Model m(7, 9, true, "dir.v/wall.tex");
    m.mapOptionClicked(2);
    EXPECT_TRUE(m.mapsField().enabled);
    m.typeChanged(Model::TypeJpeg);
    EXPECT_EQ(m.fileName(), "dir.v/wall.jpg");
    EXPECT_FALSE(m.mapRadio(0).enabled);
    EXPECT_FALSE(m.mapsField().enabled);
    EXPECT_EQ(m.mapsFieldValue(), 1);
    for (int f = 0; f < 5; ++f)
        EXPECT_FALSE(m.formatRadio(static_cast<Model::Format>(f)).enabled);
    EXPECT_FALSE(m.noAlpha().enabled) << "only TEX, TGA and PNG can drop the alpha channel";
    m.typeChanged(Model::TypeTga);
    EXPECT_TRUE(m.noAlpha().enabled);
    m.typeChanged(Model::TypePng);
    EXPECT_TRUE(m.noAlpha().enabled);
    EXPECT_EQ(m.fileName(), "dir.v/wall.png");
    Model plain(1, 1, true, "noext");
    plain.typeChanged(Model::TypeBmp);
    EXPECT_EQ(plain.fileName(), "noext.bmp");
}

TEST(ExportDialog, PanelEventsAndResults)
{
    Model m(5, 3, true, "w.tex");  // a 256 x 64 texture allows 5 maps
    EXPECT_EQ(m.recordedFormat(), Model::Dxt3);
    m.mapOptionClicked(1);
    EXPECT_EQ(m.mapsFieldValue(), 3);
    m.mapOptionClicked(2);
    m.setMapsField(9);
    EXPECT_EQ(m.mapsFieldValue(), 5);
    m.formatClicked(Model::Rgba8888);
    EXPECT_FALSE(m.formatRadio(Model::Dxt3).checked);
    auto r = m.result("w.tex");
    EXPECT_EQ(r.mapOption, 2);
    EXPECT_EQ(r.mapCount, 5);
    EXPECT_EQ(r.formatIndex, Model::Rgba8888);
    EXPECT_FALSE(r.noAlpha);
    // "Ohne Alpha" swaps the format groups and reads the choice from the radios.
    m.noAlphaClicked(true);
    EXPECT_TRUE(m.formatRadio(Model::Dxt1).enabled);
    EXPECT_FALSE(m.formatRadio(Model::Rgba8888).enabled);
    EXPECT_EQ(m.result("w.tex").formatIndex, Model::Dxt1);
    m.formatClicked(Model::Rgb565);
    EXPECT_EQ(m.result("w.tex").formatIndex, Model::Rgb565);
    m.noAlphaClicked(false);
    EXPECT_EQ(m.result("w.tex").formatIndex, Model::Rgba8888);
    m.typeChanged(7);
    EXPECT_EQ(m.result("w.x").fileType, Model::TypeUnknown);
}

TEST(ExportDialog, GeneratingAfterKeepingAllStaysWithinTheMapsPossible)
{
    // 9 maps loaded, but only 7 can be generated from the largest map: the
    // field shows 9 for "Alles beibehalten" and falls back into its range.
    Model m(7, 9, true, "w.tex");
    m.mapOptionClicked(1);
    EXPECT_EQ(m.mapsFieldValue(), 9);
    m.mapOptionClicked(2);
    EXPECT_EQ(m.mapsFieldValue(), 7);
    EXPECT_EQ(m.result("w.tex").mapCount, 7);
}

TEST(ExportDialog, ANewTypeChangesTheFileNameOnly)
{
    const struct {
        const char* name;
        int type;
        const char* renamed;
    } cases[] = {
        {"dir.v/wall", Model::TypeJpeg, "dir.v/wall.jpg"},
        {"dir.v/wall.tex", Model::TypeJpeg, "dir.v/wall.jpg"},
        {"C:\\maps.old\\wall", Model::TypeTga, "C:\\maps.old\\wall.tga"},
        {"a.b/c.d/e.tex", Model::TypeBmp, "a.b/c.d/e.bmp"},
        {"/x.y/", Model::TypeTiff, "/x.y/.tif"},
    };
    for (const auto& c : cases) {
        Model m(1, 1, true, c.name);
        m.typeChanged(c.type);
        EXPECT_EQ(m.fileName(), c.renamed) << c.name;
    }
}

TEST(ExportDialog, FilterListAndTitleFromTheMessageTable)
{
    const auto filters = Model::fileFilters();
    ASSERT_EQ(filters.size(), 6u);
    EXPECT_EQ(filters[0], (FileFilter{std::string(msg(MessageId::FilterTex)) + " (*.tex)", {"*.tex"}}));
    EXPECT_EQ(filters[4], (FileFilter{std::string(msg(MessageId::FilterJpeg)) + " (*.jpg)", {"*.jpg"}}));
    EXPECT_EQ(filters[5], (FileFilter{"PNG - Portable Network Graphics (*.png)", {"*.png"}}));
    EXPECT_EQ(Model::title(), msg(MessageId::ExportDialogTitle));
}

TEST(ExportDialog, ATypedExtensionChoosesItsTypeAndNoneGetsTheChosenOne)
{
    const struct {
        const char* typed;
        int chosen;
        Model::TypedName result;
    } cases[] = {
        {"/out/plasma.png", Model::TypeTga, {"/out/plasma.png", Model::TypePng}},
        {"/out/plasma.PNG", Model::TypeTex, {"/out/plasma.PNG", Model::TypePng}},
        {"/out/plasma.tga", Model::TypeTga, {"/out/plasma.tga", Model::TypeTga}},
        {"/out/photo.jpeg", Model::TypeBmp, {"/out/photo.jpeg", Model::TypeJpeg}},
        {"/out/scan.Tiff", Model::TypePng, {"/out/scan.Tiff", Model::TypeTiff}},
        {"/out/wall.tex", Model::TypeJpeg, {"/out/wall.tex", Model::TypeTex}},
        {"/out/plasma", Model::TypeTga, {"/out/plasma.tga", Model::TypeTga}},
        {"/out/plasma.v2", Model::TypePng, {"/out/plasma.v2.png", Model::TypePng}},  // not a type's extension
        {"/out/plasma.gif", Model::TypeBmp, {"/out/plasma.gif.bmp", Model::TypeBmp}},
        {"/my.textures/plasma", Model::TypeTex, {"/my.textures/plasma.tex", Model::TypeTex}},
        {"/out/.png", Model::TypeTga, {"/out/.png.tga", Model::TypeTga}},  // a hidden name, no extension
        {"/out/plasma", Model::TypeUnknown, {"/out/plasma", Model::TypeUnknown}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Model::resolveTypedName(c.typed, c.chosen), c.result) << c.typed << " with type " << c.chosen;

    // Accepting the name applies the new type's rules as choosing it would.
    Model m(5, 3, true, "wall.tex");
    m.mapOptionClicked(2);
    m.acceptTypedName("/out/wall.png");
    EXPECT_EQ(m.fileType(), Model::TypePng);
    EXPECT_EQ(m.fileName(), "/out/wall.png");
    EXPECT_FALSE(m.mapRadio(2).enabled);
    EXPECT_EQ(m.result(m.fileName()).mapCount, 1);
}

TEST(ExportDialog, TheLastFolderAndTypeComeBack)
{
    const struct {
        const char* name;
        const char* folder;
        int type;
        const char* file;
        int fileType;
    } cases[] = {
        {"/home/m/wall.tex", "/out/pngs", Model::TypePng, "/out/pngs/wall.png", Model::TypePng},
        {"plasma_dxt3.tex", "/out/", Model::TypeTga, "/out/plasma_dxt3.tga", Model::TypeTga},
        {"/home/m/wall.tex", "", Model::TypeJpeg, "/home/m/wall.jpg", Model::TypeJpeg},
        {"/home/m/photo.jpeg", "", Model::TypeJpeg, "/home/m/photo.jpeg", Model::TypeJpeg},  // the same type: as typed
        {"/home/m/wall.tex", "/out", Model::TypeUnknown, "/out/wall.tex", Model::TypeTex},
    };
    for (const auto& c : cases) {
        Model m(1, 1, true, c.name);
        m.recallLastExport(c.folder, c.type);
        EXPECT_EQ(m.fileName(), c.file) << c.name;
        EXPECT_EQ(m.fileType(), c.fileType) << c.name;
    }
}

namespace {

struct ExportCommand : ::testing::Test {
    TempDir dir;
    FakeHost host;
    CKestrelDoc doc{host};

    void exportAs(int type, int option, const std::string& name, int count = 1, int format = 1, bool noAlpha = false)
    {
        doc.exportTexture({(dir / name).string(), type, option, count, noAlpha, format});
    }
};

}  // namespace

TEST_F(ExportCommand, KeepAsLoadedWritesTheLoadedEntryNotTheSelectedOne)
{
    const auto a = textureBytes(8, 8, 2, 2), b = textureBytes(4, 4, 1, 8);
    VolumeSpec spec;
    spec.entries = {{"a.tex", dataStart(2), static_cast<std::uint32_t>(a.size()), 0},
                    {"b.tex", dataStart(2) + static_cast<std::uint32_t>(a.size()), static_cast<std::uint32_t>(b.size()), LAST}};
    spec.data = a;
    spec.data.insert(spec.data.end(), b.begin(), b.end());
    writeFile(dir / "v.qrb", volumeBytes(spec));
    ASSERT_TRUE(doc.openFile((dir / "v.qrb").string(), false));
    ASSERT_TRUE(doc.loadMaps("", true, false, 0));
    host.selected = 1;  // the user has since selected another entry
    exportAs(Model::TypeTex, 1, "kept.tex");
    EXPECT_EQ(readFile(dir / "kept.tex"), a);
    EXPECT_EQ(doc.name(), (dir / "kept.tex").string());
    EXPECT_EQ(host.title, (dir / "kept.tex").string() + " - Korvix 0.93");
}

TEST_F(ExportCommand, KeepAsLoadedAfterTheVolumeWasOpenedAgainWritesNothing)
{
    const auto a = textureBytes(8, 8, 2, 2);
    VolumeSpec spec;
    spec.entries = {{"a.tex", dataStart(1), static_cast<std::uint32_t>(a.size()), LAST}};
    spec.data = a;
    writeFile(dir / "v.qrb", volumeBytes(spec));
    ASSERT_TRUE(doc.openFile((dir / "v.qrb").string(), false));
    ASSERT_TRUE(doc.loadMaps("", true, false, 0));
    ASSERT_TRUE(doc.openFile((dir / "v.qrb").string(), false));
    const std::string nameBefore = doc.name();
    exportAs(Model::TypeTex, 1, "kept.tex");
    EXPECT_EQ(host.messageTexts(), std::vector<std::string>{msg(MessageId::LoadedBytesGone)});
    EXPECT_FALSE(std::filesystem::exists(dir / "kept.tex")) << "never a silent one-map texture";
    EXPECT_EQ(doc.name(), nameBefore);
    EXPECT_EQ(host.waitDepth, 0);
}

TEST_F(ExportCommand, AnExistingFileIsOverwrittenOnlyWhenConfirmed)
{
    writeFile(dir / "in.tex", textureBytes(8, 8, 1, 2));
    ASSERT_TRUE(doc.openFile((dir / "in.tex").string(), false));
    writeFile(dir / "old.tga", {1, 2, 3});
    std::vector<std::string> names = {"old.tga", "old.tga", "new.tga"};
    int dialogs = 0;
    host.exportDialog = [&](Model& m) {
        m.typeChanged(Model::TypeTga);
        m.setFileName((dir / names[static_cast<std::size_t>(dialogs++)]).string());
        return true;
    };
    // No: back to the dialog; the second time Yes overwrites.
    host.answers = {MessageAnswer::No, MessageAnswer::Yes};
    doc.exportCommand();
    EXPECT_EQ(dialogs, 2);
    ASSERT_EQ(host.messages.size(), 2u);
    for (const auto& m : host.messages) {
        EXPECT_EQ(m.text, msg(MessageId::OverwriteQuestion));
        EXPECT_EQ(m.buttons, MessageButtons::YesNo);
    }
    EXPECT_GT(readFile(dir / "old.tga").size(), 3u);

    // A new name asks nothing.
    dialogs = 2;
    doc.exportCommand();
    EXPECT_EQ(host.messages.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(dir / "new.tga"));

    // No, then cancelling the dialog: nothing is written.
    names = {"old.tga"};
    dialogs = 0;
    writeFile(dir / "old.tga", {1, 2, 3});
    host.answers = {MessageAnswer::No};
    host.exportDialog = [&](Model& m) {
        if (dialogs++ > 0)
            return false;
        m.setFileName((dir / "old.tga").string());
        return true;
    };
    doc.exportCommand();
    EXPECT_EQ(readFile(dir / "old.tga"), (std::vector<unsigned char>{1, 2, 3}));
}

TEST_F(ExportCommand, KeepAsLoadedForDiskAndPastedTextures)
{
    const auto bytes = textureBytes(16, 16, 3, 2);
    writeFile(dir / "in.tex", bytes);
    ASSERT_TRUE(doc.openFile((dir / "in.tex").string(), false));
    exportAs(Model::TypeTex, 1, "same.tex");
    EXPECT_EQ(readFile(dir / "same.tex"), bytes);

    PixelBitmap pasted;
    pasted.create(8, 8, 32, false);
    host.clipboard = pasted;
    doc.paste();
    exportAs(Model::TypeTex, 1, "pasted.tex", 1, 0, true);
    const auto written = readFile(dir / "pasted.tex");
    ASSERT_GE(written.size(), 36u);
    EXPECT_EQ(written[20], 1) << "the largest map only";
    EXPECT_EQ(written.size(), 36u + 8 * 8 / 2);
}

TEST_F(ExportCommand, ImageTypesAndRefusals)
{
    writeFile(dir / "in.tex", textureBytes(8, 4, 1, 2, [](int, int x, int) { return 0x80000000u | static_cast<std::uint32_t>(x); }));
    ASSERT_TRUE(doc.openFile((dir / "in.tex").string(), false));
    exportAs(Model::TypeTga, 0, "out.tga");
    PixelBitmap back;
    decodeFile((dir / "out.tga").string(), back, 32);
    EXPECT_EQ(back.pixelAt(3, 2), 0x80000003u) << "TGA keeps the alpha channel";
    exportAs(Model::TypeTga, 0, "flat.tga", 1, 1, true);
    EXPECT_EQ(readFile(dir / "flat.tga")[16], 24);
    exportAs(Model::TypeBmp, 0, "out.bmp");
    exportAs(Model::TypeTiff, 0, "out.tif");
    exportAs(Model::TypeJpeg, 0, "out.jpg");
    for (const char* name : {"out.bmp", "out.tif", "out.jpg"}) {
        decodeFile((dir / name).string(), back, 32);
        EXPECT_EQ(back.width(), 8) << name;
    }
    EXPECT_TRUE(host.messages.empty());

    exportAs(Model::TypeUnknown, 0, "x.gif");
    EXPECT_EQ(host.messages.back().text, msg(MessageId::UnknownFormat));
    EXPECT_EQ(doc.name(), (dir / "out.jpg").string());

    // A size the game cannot use: the message, no file, but the name changes.
    writeFile(dir / "odd.tex", textureBytes(12, 4, 1, 2));
    ASSERT_TRUE(doc.openFile((dir / "odd.tex").string(), false));
    exportAs(Model::TypeTex, 0, "odd-out.tex");
    EXPECT_EQ(host.messages.back().text, msg(MessageId::TexSideInvalid));
    EXPECT_FALSE(std::filesystem::exists(dir / "odd-out.tex"));
    EXPECT_EQ(doc.name(), (dir / "odd-out.tex").string());
    EXPECT_EQ(host.waitDepth, 0);
}

TEST_F(ExportCommand, GeneratedMapsThroughTheDialog)
{
    writeFile(dir / "in.tex", textureBytes(64, 16, 1, 8));
    ASSERT_TRUE(doc.openFile((dir / "in.tex").string(), false));
    host.exportDialog = [&](Model& m) {
        EXPECT_EQ(m.maxMaps(), 3);
        m.mapOptionClicked(2);
        m.setMapsField(3);
        m.formatClicked(Model::Rgb565);
        m.setFileName((dir / "gen.tex").string());
        return true;
    };
    doc.exportCommand();
    const auto bytes = readFile(dir / "gen.tex");
    const LoadedTexture loaded = loadTexture(bytes.data(), bytes.size());
    ASSERT_TRUE(loaded.ok());
    EXPECT_EQ(loaded.count(), 3);
    EXPECT_EQ(loaded.maps[0].width(), 16);
    EXPECT_EQ(bytes[8], 8) << "RGB 565";
}

TEST_F(ExportCommand, PngKeepsEveryByteAndTheAlphaChannelUnlessLeftOut)
{
    const auto pixel = [](int, int x, int y) { return static_cast<std::uint32_t>(x * 30 + y) << 24 | (0x00123456u + x * 7 + y); };
    writeFile(dir / "in.tex", textureBytes(8, 4, 1, 2, pixel));
    ASSERT_TRUE(doc.openFile((dir / "in.tex").string(), false));
    exportAs(Model::TypePng, 0, "out.png");
    PixelBitmap back;
    EXPECT_EQ(decodeFile((dir / "out.png").string(), back, 32), IMAGE_PNG);
    EXPECT_TRUE(back.hasAlpha());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(back.pixelAt(x, y), pixel(0, x, y)) << x << "," << y;
    exportAs(Model::TypePng, 0, "flat.png", 1, 1, true);
    decodeFile((dir / "flat.png").string(), back, 32);
    EXPECT_FALSE(back.hasAlpha());
    EXPECT_EQ(back.pixelAt(5, 3) & 0xFFFFFFu, pixel(0, 5, 3) & 0xFFFFFFu);
    EXPECT_EQ(doc.name(), (dir / "flat.png").string());

    // "plasma.png" typed while TGA is chosen: PNG bytes, never a TGA under a PNG name.
    host.exportDialog = [&](Model& m) {
        m.typeChanged(Model::TypeTga);
        m.acceptTypedName((dir / "plasma.png").string());
        return true;
    };
    doc.exportCommand();
    EXPECT_EQ(detectImageFileType((dir / "plasma.png").string(), readFile(dir / "plasma.png").data(),
                                  readFile(dir / "plasma.png").size()),
              IMAGE_PNG);
    EXPECT_TRUE(host.messages.empty());
}
