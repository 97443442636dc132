// Opening volumes: records, the directory tree, pages, entry kinds and loading entries.
#include "FakeHost.h"
#include "TextureBuilder.h"

#include "document/CKestrelDoc.h"
#include "common/MessageTable.h"

#include <gtest/gtest.h>

using namespace testsupport;
using korvix::MessageId;
using korvix::MessageTable;
using korvix::msg;

namespace {

struct VolumeBrowser : ::testing::Test {
    TempDir dir;
    FakeHost host;
    CKestrelDoc doc{host};

    bool open(const VolumeSpec& spec, const std::string& name = "v.qrb")
    {
        writeFile(dir / name, volumeBytes(spec));
        return doc.openFile((dir / name).string(), false);
    }
    std::vector<std::string> pageTitles() const
    {
        std::vector<std::string> out;
        for (const auto& p : host.browser.pages)
            out.push_back(p.title);
        return out;
    }
};

}  // namespace

TEST_F(VolumeBrowser, OnlyDirectoriesAtTheTop)
{
    // A (no files; its child B has one), C (files), D (last, files).
    ASSERT_TRUE(open({.entries = {{"A", 3, 0, DIR}, {"C", 4, 0, DIR}, {"D", 5, 0, DIR | LAST},
                                  {"B", 6, 0, DIR | LAST}, {"c.tex", 0, 0, LAST}, {"d.wav", 0, 0, LAST},
                                  {"b.tga", 0, 0, LAST}}}, "Top.QRB"));
    EXPECT_EQ(host.browser.rootName, "top.qrb");
    EXPECT_FALSE(host.browser.rootBold);
    std::vector<int> order;
    for (const auto& d : host.browser.directories)
        order.push_back(d.index);
    EXPECT_EQ(order, (std::vector<int>{0, 3, 1, 2})) << "pre-order";
    EXPECT_FALSE(host.browser.directories[0].bold) << "A holds no files itself";
    EXPECT_TRUE(host.browser.directories[1].bold);
    EXPECT_EQ(pageTitles(), (std::vector<std::string>{"B", "C", "D"}));
    EXPECT_EQ(host.browser.selectedItem, 3) << "the first directory with files";
    EXPECT_EQ(host.browser.pageShown, 0);
    EXPECT_EQ(doc.entryRecords()[0].page, NO_PAGE);
    EXPECT_EQ(host.title, (dir / "Top.QRB").string() + " - Korvix 0.93");
    EXPECT_EQ(host.recent.front(), (dir / "Top.QRB").string());
    EXPECT_EQ(host.viewUpdates, 1);
}

TEST_F(VolumeBrowser, RootPageComesLast)
{
    // Top level: readme (file), T (dir), z.fnt (file, last).
    ASSERT_TRUE(open({.entries = {{"readme", 0, 0, 0}, {"T", 3, 0, DIR}, {"z.fnt", 0, 0, LAST}, {"t.tex", 0, 0, LAST}}}));
    EXPECT_EQ(pageTitles(), (std::vector<std::string>{"T", "(Root)"}));
    EXPECT_EQ(doc.rootPage(), 1);
    EXPECT_EQ(host.browser.pageShown, 1);
    EXPECT_TRUE(host.browser.rootBold);
    EXPECT_EQ(host.browser.selectedItem, ITEM_VOLUME_ROOT);
    ASSERT_EQ(host.browser.pages[1].items.size(), 2u);
    EXPECT_EQ(host.browser.pages[1].items[0].name, "readme");
    EXPECT_EQ(host.browser.pages[1].items[1].icon, KIND_FONT);
    EXPECT_EQ(doc.entryRecords()[0].parent, PARENT_TOP_LEVEL_FILE);

    // Files only: the root page alone, the root item neither bold nor selected.
    ASSERT_TRUE(open({.entries = {{"a.wav", 0, 0, 0}, {"b.wav", 0, 0, LAST}}}, "w.qrb"));
    EXPECT_EQ(host.browserClears, 1) << "the previous volume's browser is cleared";
    EXPECT_EQ(pageTitles(), std::vector<std::string>{"(Root)"});
    EXPECT_FALSE(host.browser.rootBold);
    EXPECT_EQ(host.browser.selectedItem, -1);
}

TEST(EntryKinds, FromTheNamesEnding)
{
    const struct {
        const char* name;
        int kind;
    } cases[] = {{"a.tga", KIND_IMAGE}, {"WALL.TEX", KIND_IMAGE}, {"x.wav", KIND_WAVE}, {"m.mrm", KIND_MODEL_SOUND},
                 {"m.MSH", KIND_MODEL_SOUND}, {"q.qlx", KIND_QLX}, {"a.mdl", KIND_MODEL}, {"b.mmb", KIND_MODEL},
                 {"f.fnt", KIND_FONT}, {"vssver.scc", KIND_SOURCE_SAFE}, {"x.scc", KIND_OTHER},
                 {"a.tx", KIND_OTHER}, {"tex", KIND_OTHER}, {"", KIND_OTHER}, {"abcd", KIND_OTHER}};
    for (const auto& c : cases)
        EXPECT_EQ(entryKind(c.name), c.kind) << c.name;
}

TEST_F(VolumeBrowser, FailuresAndDamagedCatalogues)
{
    writeFile(dir / "bad.qrb", {1, 2, 3});
    EXPECT_FALSE(doc.openFile((dir / "bad.qrb").string(), false));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, std::string(msg(MessageId::FileReadFailed)) + "\n\n"
                                         + (dir / "bad.qrb").string() + ": " + msg(MessageId::VolumeTooShort));
    EXPECT_EQ(host.messages[0].caption, "Fehler");
    EXPECT_FALSE(doc.volumeOpen());

    // An entry the walk never reaches is no phantom file on a page.
    ASSERT_TRUE(open({.entries = {{"a.tex", 0, 0, LAST}, {"orphan.tex", 0, 0, LAST}}}));
    ASSERT_EQ(host.browser.pages.size(), 1u);
    EXPECT_EQ(host.browser.pages[0].items.size(), 1u);

    // A DOS date of 0 reads as now.
    EXPECT_GE(doc.volumeTime().year, 2024);
}

TEST_F(VolumeBrowser, AFailedOpenKeepsEverything)
{
    const auto tex = textureBytes(8, 8, 1, 2);
    ASSERT_TRUE(open({.entries = {{"D", 1, 0, DIR | LAST}, {"a.tex", dataStart(2), static_cast<std::uint32_t>(tex.size()), LAST}},
                      .data = tex}));
    ASSERT_TRUE(doc.loadMaps("", true, false, 1));
    const VolumeBrowserModel browser = host.browser;
    const std::string title = host.title;
    const auto recent = host.recent;
    const MapSet* maps = doc.maps();
    const std::string volume = doc.volumePath();
    const int clears = host.browserClears;

    writeFile(dir / "short.qrb", {1, 2, 3});
    writeFile(dir / "nosig.qrb", std::vector<unsigned char>(400, 'x'));
    writeFile(dir / "cut.qrb", volumeBytes({.entryCount = 9, .entries = {{"x", 0, 0, LAST}}}));
    std::filesystem::create_directory(dir / "folder.qrb");
    writeFile(dir / "garbage.tex", std::vector<unsigned char>(100, 'x'));
    const struct {
        std::string name;
        std::string message;
    } cases[] = {
        {"short.qrb", std::string(msg(MessageId::FileReadFailed)) + "\n\n" + (dir / "short.qrb").string() + ": "
                          + msg(MessageId::VolumeTooShort)},
        {"nosig.qrb", std::string(msg(MessageId::FileReadFailed)) + "\n\n" + (dir / "nosig.qrb").string() + ": "
                          + msg(MessageId::VolumeNoSignature)},
        {"cut.qrb", std::string(msg(MessageId::FileReadFailed)) + "\n\n" + (dir / "cut.qrb").string() + ": "
                        + msg(MessageId::VolumeCatalogueCut)},
        {"missing.qrb", std::string(msg(MessageId::FileReadFailed)) + "\n\n" + (dir / "missing.qrb").string()
                            + ": No such file or directory"},
        {"folder.qrb", std::string(msg(MessageId::FileReadFailed)) + "\n\n" + (dir / "folder.qrb").string()
                           + ": Is a directory"},
        {"garbage.tex", msg(MessageId::NotTexFormat)},
        {"missing.png", std::string(msg(MessageId::TextureLoadFailed)) + "\n\n" + (dir / "missing.png").string()
                            + ": No such file or directory"},
    };
    for (const auto& c : cases) {
        for (const bool dialog : {false, true}) {
            SCOPED_TRACE(c.name + (dialog ? " through the dialog" : ""));
            host.openFiles = {(dir / c.name).string()};
            EXPECT_FALSE(doc.openFile(dialog ? std::string() : (dir / c.name).string(), dialog));
            EXPECT_EQ(host.messages.back().text, c.message);
            EXPECT_TRUE(doc.volumeOpen());
            EXPECT_EQ(doc.volumePath(), volume);
            EXPECT_EQ(host.browserClears, clears) << "the browser is not emptied";
            EXPECT_EQ(host.browser.pages.size(), browser.pages.size());
            EXPECT_EQ(host.browser.rootName, browser.rootName);
            EXPECT_EQ(host.title, title);
            EXPECT_EQ(host.recent, recent);
            EXPECT_EQ(doc.maps(), maps) << "the picture stays";
            EXPECT_EQ(doc.entryRecords().size(), 2u);
        }
    }
    // The volume is still open, and still the one written to.
    EXPECT_TRUE(doc.renameEntry(1, "b.tex", false));
    EXPECT_EQ(doc.catalogue().find("D/b.tex"), 1);
}

TEST_F(VolumeBrowser, LoadingEntries)
{
    const auto tex = textureBytes(16, 16, 3, 2, [](int m, int, int) { return 0xFF000000u | static_cast<std::uint32_t>(m); });
    // A TGA image stored under a .tex name: 2 x 1, 24 bits, bottom-up.
    const std::vector<unsigned char> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0, 1, 2, 3, 4, 5, 6};
    const std::vector<unsigned char> wav = {'R', 'I', 'F', 'F'};
    const std::vector<unsigned char> text = {'h', 'i'};
    VolumeSpec spec;
    spec.entries = {{"wall.tex", 0, static_cast<std::uint32_t>(tex.size()), 0},
                    {"fake.tex", 0, static_cast<std::uint32_t>(tga.size()), 0},
                    {"hit.wav", 0, 4, 0},
                    {"notes.txt", 0, 2, 0},
                    {"huge.tex", 0, 0x7FFFFFFF, LAST}};
    std::uint32_t at = dataStart(spec.entries.size());
    for (auto [i, bytes] : {std::pair{0, &tex}, std::pair{1, &tga}, std::pair{2, &wav}, std::pair{3, &text}}) {
        spec.entries[static_cast<std::size_t>(i)].offset = at;
        spec.data.insert(spec.data.end(), bytes->begin(), bytes->end());
        at += static_cast<std::uint32_t>(bytes->size());
    }
    spec.entries[4].offset = dataStart(spec.entries.size());
    ASSERT_TRUE(open(spec));

    ASSERT_TRUE(doc.loadMaps("", true, false, 0));
    EXPECT_EQ(doc.mapCount(), 3);
    EXPECT_EQ(doc.name(), "wall.tex");
    EXPECT_EQ(host.status[2], " wall.tex");
    EXPECT_EQ(host.title, (dir / "v.qrb").string() + " - Korvix 0.93") << "entries leave the title alone";
    EXPECT_EQ(doc.source(), CKestrelDoc::SOURCE_VOLUME);
    EXPECT_TRUE(doc.rawTexture());

    // A sound plays and changes nothing.
    EXPECT_TRUE(doc.loadMaps("", true, false, 2));
    ASSERT_EQ(host.sounds.size(), 1u);
    EXPECT_EQ(host.sounds[0], wav);
    EXPECT_EQ(doc.name(), "wall.tex");

    // Neither texture nor TGA: false without a message; data past the end
    // of the volume says so.
    host.messages.clear();
    EXPECT_FALSE(doc.loadMaps("", true, false, 3));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(doc.loadMaps("", true, false, 4));
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(doc.mapCount(), 3);

    ASSERT_TRUE(doc.loadMaps("", true, false, 1));
    EXPECT_EQ(doc.mapCount(), 1);
    EXPECT_EQ((*doc.maps())[0].pixelAt(0, 0), 0xFF030201u);
    EXPECT_FALSE(doc.rawTexture());
    EXPECT_EQ(host.waitDepth, 0);
}

TEST_F(VolumeBrowser, EntriesPastTheEndOfAVolumeCutShort)
{
    // d/x.tex and d/y.wav lie past the end of the 3000-byte file; z.txt does not.
    const std::uint32_t start = dataStart(4);
    VolumeSpec spec;
    spec.entries = {{"d", 2, 0, DIR}, {"z.txt", start, 4, LAST}, {"x.tex", 61418, 5492, 0}, {"y.wav", 2990, 11, LAST}};
    spec.data.resize(3000 - start, 'z');
    ASSERT_TRUE(open(spec));
    EXPECT_EQ(host.status[2], "2 beschädigte Einträge") << "said once, after opening";
    EXPECT_EQ(doc.catalogue().damagedCount(), 2u);
    EXPECT_FALSE(doc.entryRecords()[1].damaged);
    EXPECT_TRUE(doc.entryRecords()[2].damaged);
    EXPECT_TRUE(doc.entryRecords()[3].damaged) << "one byte too many";

    // The browser's items carry why; the others carry nothing.
    const auto& items = host.browser.pages[0].items;
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].damage, "Daten 61418+5492 reichen über die Volume-Länge 3000 hinaus");
    EXPECT_EQ(items[1].damage, "Daten 2990+11 reichen über die Volume-Länge 3000 hinaus");
    EXPECT_EQ(host.browser.pages[1].items[0].damage, "");

    // Loading one shows the range, sounds too; nothing else changes.
    const std::pair<int, const char*> loads[] = {{2, "d/x.tex"}, {3, "d/y.wav"}};
    for (const auto& [entry, path] : loads) {
        EXPECT_FALSE(doc.loadMaps("", true, false, entry));
        EXPECT_EQ(host.messages.back().text, std::string(msg(MessageId::FileReadFailed)) + "\n\n" + path + ": "
                                                 + items[static_cast<std::size_t>(entry - 2)].damage);
    }
    EXPECT_TRUE(host.sounds.empty());

    spec.data.resize(3011 - start, 'z');
    ASSERT_TRUE(open(spec, "w.qrb"));
    EXPECT_EQ(host.status[2], "1 beschädigter Eintrag");
}
