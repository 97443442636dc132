// The volume browser's page rules against the records of a real opened volume.
#include "FakeHost.h"
#include "VolumeBuilder.h"

#include "document/CKestrelDoc.h"
#include "document/CommandIds.h"
#include "document/EntryMenuRules.h"
#include "document/VolumePages.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

// Top level: "readme" (file), dirs A (files b.TEX 30 bytes, a.wav 10, C.tga 20)
// and E (no files of its own; its directory B holds z.fnt), "Zeta.tex" last.
VolumeSpec sampleVolume()
{
    return {.entries = {{"readme", 0, 5, 0},
                        {"A", 4, 0, DIR},
                        {"E", 7, 0, DIR},
                        {"Zeta.tex", 0, 7, LAST},
                        {"b.TEX", 0, 30, 0},
                        {"a.wav", 0, 10, 0},
                        {"C.tga", 0, 20, LAST},
                        {"B", 8, 0, DIR | LAST},
                        {"z.fnt", 0, 1, LAST}}};
}

struct PageRules : ::testing::Test {
    TempDir dir;
    FakeHost host;
    CKestrelDoc doc{host};
    VolumePages pages;

    void open(const VolumeSpec& spec)
    {
        writeFile(dir / "v.qrb", volumeBytes(spec));
        ASSERT_TRUE(doc.openFile((dir / "v.qrb").string(), false));
        pages.build(host.browser);
        pages.showPage(pages.pageShownAfterOpening());
    }
    std::vector<std::string> texts(int p) const
    {
        std::vector<std::string> out;
        for (const auto& item : pages.page(p).items)
            out.push_back(item.text);
        return out;
    }
    const std::vector<EntryRecord>& records() const { return doc.entryRecords(); }
};

}  // namespace

TEST_F(PageRules, StartStateAndPagesAfterOpening)
{
    VolumePages fresh;
    EXPECT_EQ(fresh.currentPage(), VolumePages::NO_VOLUME);
    EXPECT_EQ(fresh.buttons(), VolumePages::Buttons{}) << "all inactive at start";
    EXPECT_FALSE(fresh.noticeVisible());

    open(sampleVolume());
    ASSERT_EQ(pages.pageCount(), 3);  // A, B, (Root)
    EXPECT_EQ(pages.page(2).title, "(Root)");
    EXPECT_EQ(pages.rootPage(), 2);
    EXPECT_EQ(pages.currentPage(), 2) << "the root page is shown when the root holds files";
    EXPECT_EQ(texts(0), (std::vector<std::string>{"b.TEX", "a.wav", "C.tga"})) << "catalogue order";
    const auto b = pages.buttons();
    EXPECT_TRUE(b.search);
    EXPECT_TRUE(b.previous && b.next);
    EXPECT_TRUE(b.sortByName && b.sortBySize) << "the root page holds two items";
    EXPECT_FALSE(b.scrollIntoView) << "nothing selected yet";
    pages.setSelectedEntry(2, 0);
    EXPECT_TRUE(pages.buttons().scrollIntoView);

    pages.clear();
    EXPECT_EQ(pages.currentPage(), VolumePages::NO_VOLUME);
    EXPECT_EQ(pages.buttons(), VolumePages::Buttons{});
}

TEST_F(PageRules, ShowPageNoticeAndButtons)
{
    open(sampleVolume());
    pages.showPage(1);  // B: one item
    EXPECT_FALSE(pages.noticeVisible());
    EXPECT_FALSE(pages.buttons().sortByName) << "a single item cannot be sorted";
    EXPECT_TRUE(pages.sortControlsEnabled());
    pages.showPage(-1);
    EXPECT_TRUE(pages.noticeVisible());
    EXPECT_FALSE(pages.sortControlsEnabled());
    EXPECT_FALSE(pages.buttons().sortBySize);
    pages.showPage(0);
    pages.showPage(VolumePages::HIDE_ALL);
    EXPECT_EQ(pages.currentPage(), -1);
    EXPECT_TRUE(pages.noticeVisible());
    EXPECT_TRUE(pages.buttons().search) << "pages still exist";
}

TEST_F(PageRules, TreeItemToPage)
{
    open(sampleVolume());
    const struct {
        int item;
        std::optional<int> page;
    } cases[] = {
        {ITEM_VOLUME_ROOT, 2},  // the root page
        {1, 0},                 // A
        {2, -1},                // E has no files: the notice
        {7, 1},                 // B
        {4, std::nullopt},      // a file is no tree item
        {99, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VolumePages::pageForTreeItem(c.item, records(), true, pages.rootPage()), c.page) << c.item;
    EXPECT_EQ(VolumePages::pageForTreeItem(ITEM_VOLUME_ROOT, records(), false, -1), VolumePages::HIDE_ALL)
        << "no root page: every page hidden";
    EXPECT_EQ(VolumePages::directoryItemOf(0, records()), ITEM_VOLUME_ROOT) << "top-level file";
    EXPECT_EQ(VolumePages::directoryItemOf(5, records()), 1);
}

TEST_F(PageRules, SortingBothWaysAndTheDirectionAlone)
{
    open(sampleVolume());
    pages.showPage(0);
    // Direction alone changes nothing.
    pages.toggleDescending();
    EXPECT_EQ(texts(0), (std::vector<std::string>{"b.TEX", "a.wav", "C.tga"}));

    const struct {
        bool descending;
        bool byName;
        std::vector<std::string> order;
    } cases[] = {
        {true, false, {"b.TEX", "C.tga", "a.wav"}},   // 30, 20, 10
        {false, false, {"a.wav", "C.tga", "b.TEX"}},  // 10, 20, 30
        {false, true, {"a.wav", "b.TEX", "C.tga"}},   // case-insensitive
        {true, true, {"b.TEX", "a.wav", "C.tga"}},    // bytes reversed: 'b' > 'a' > 'C'
    };
    for (const auto& c : cases) {
        pages.setDescending(c.descending);
        ASSERT_TRUE(c.byName ? pages.sortByName(records()) : pages.sortBySize(records()));
        EXPECT_EQ(texts(0), c.order) << "descending " << c.descending << " by name " << c.byName;
    }
    pages.showPage(-1);
    EXPECT_FALSE(pages.sortByName(records())) << "nothing to sort without a page";
}

TEST_F(PageRules, AscendingNameSortIncludesMarkersAndKeepsEqualSizesInOrder)
{
    open({.entries = {{"D", 1, 0, DIR | LAST}, {"ab", 0, 4, 0}, {"aa", 0, 4, 0}, {"a", 0, 4, LAST}}});
    pages.showPage(0);
    pages.setItemText(2, VolumePages::textAfterRename("aa", 0));  // "aa (u)"
    ASSERT_TRUE(pages.sortBySize(records()));
    EXPECT_EQ(texts(0), (std::vector<std::string>{"ab", "aa (u)", "a"})) << "equal sizes keep their order";
    ASSERT_TRUE(pages.sortByName(records()));
    EXPECT_EQ(texts(0), (std::vector<std::string>{"a", "aa (u)", "ab"}));
}

TEST_F(PageRules, Search)
{
    open(sampleVolume());
    pages.showPage(1);  // B
    // Only the shown page without the box: c.tga is on page A.
    EXPECT_FALSE(pages.search("c.tga", false));
    const auto inPage = pages.search("Z.FNT", false);
    ASSERT_TRUE(inPage);
    EXPECT_EQ(inPage->entry, 8);
    EXPECT_FALSE(inPage->acrossPages) << "a hit in the shown page only selects";

    const auto across = pages.search("c.tga", true);
    ASSERT_TRUE(across);
    EXPECT_EQ(across->page, 0);
    EXPECT_EQ(across->row, 2);
    EXPECT_TRUE(across->acrossPages);

    pages.showPage(-1);
    EXPECT_TRUE(pages.search("ZETA.TEX", false)) << "without a shown page every page is searched";
    EXPECT_FALSE(pages.search("", true));
    EXPECT_FALSE(pages.search("zeta", true)) << "whole texts only";

    // A relabelled item is found only with its marker.
    pages.setItemText(4, VolumePages::textAfterReplace("b.TEX", 0));
    EXPECT_FALSE(pages.search("b.tex", true));
    EXPECT_TRUE(pages.search("B.TEX (E)", true));
}

TEST_F(PageRules, SearchAcrossPagesLooksAtTheRootPageFirst)
{
    // The same name at the top level and in directory D.
    open({.entries = {{"D", 2, 0, DIR}, {"same.tex", 0, 1, LAST}, {"SAME.TEX", 0, 2, LAST}}});
    pages.showPage(0);
    const auto hit = pages.search("same.tex", true);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->page, pages.rootPage());
    EXPECT_EQ(hit->entry, 1);
}

TEST_F(PageRules, PreviousAndNextWrap)
{
    open(sampleVolume());  // pages A(0), B(1), (Root)(2)
    const struct {
        int from;
        int previous;
        int next;
    } cases[] = {{0, 2, 1}, {1, 0, 2}, {2, 1, 0}};
    for (const auto& c : cases) {
        pages.showPage(c.from);
        EXPECT_EQ(pages.previousPage(), c.previous) << c.from;
        EXPECT_EQ(pages.nextPage(), c.next) << c.from;
    }
    pages.showPage(-1);
    EXPECT_FALSE(pages.nextPage());
    EXPECT_FALSE(pages.previousPage());
}

TEST_F(PageRules, OnlyTopLevelFiles)
{
    const std::string longName = std::string(60, 'n') + ".tex";
    open({.entries = {{"one.tex", 0, 1, 0}, {"two.tex", 0, 1, 0}, {longName, 0, 1, LAST}}});
    ASSERT_EQ(pages.pageCount(), 1);
    EXPECT_EQ(pages.currentPage(), 0);
    EXPECT_FALSE(pages.buttons().previous);
    EXPECT_FALSE(pages.buttons().next);
    EXPECT_TRUE(pages.search("TWO.TEX", false));
    EXPECT_TRUE(pages.search(longName + "beyond", false)) << "only the first 64 characters count";
}

TEST(Relabel, MarkersFollowTheOrderOfTheEdits)
{
    const std::uint32_t R = EntryRecord::MARK_RENAMED, E = EntryRecord::MARK_REPLACED;
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"rename", VolumePages::textAfterRename("new", 0)},
        {"rename after replace", VolumePages::textAfterRename("new", E)},
        {"rename twice", VolumePages::textAfterRename("newer", R)},
        {"replace after rename", VolumePages::textAfterReplace("new (u)", R)},
        {"replace twice", VolumePages::textAfterReplace("x.tex (e)", E)},
        {"one letter rename", VolumePages::textAfterRename("q", E)},
        {"one letter replace", VolumePages::textAfterReplace("q", 0)},
    };
    const char* expected[] = {"new (u)", "new (e) (u)", "newer (u)", "new (u) (e)", "x.tex (e)", "q", "q"};
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].text, expected[i]) << cases[i].what;
}

TEST_F(PageRules, ReplaceFromImageOfferedForImagesWhileReady)
{
    EXPECT_FALSE(EntryMenuRules::documentReady(nullptr));
    EXPECT_FALSE(EntryMenuRules::isReplaceableEntry(nullptr, 0));
    open(sampleVolume());
    EXPECT_FALSE(EntryMenuRules::documentReady(&doc)) << "no texture loaded";
    EXPECT_FALSE(EntryMenuRules::replaceFromImageEnabled(&doc, 4));
    EXPECT_TRUE(EntryMenuRules::isReplaceableEntry(&doc, 4)) << "b.TEX";
    EXPECT_TRUE(EntryMenuRules::isReplaceableEntry(&doc, 6)) << "C.tga";
    EXPECT_FALSE(EntryMenuRules::isReplaceableEntry(&doc, 5)) << "a wave";
    EXPECT_FALSE(EntryMenuRules::isReplaceableEntry(&doc, -1));
    EXPECT_FALSE(EntryMenuRules::isReplaceableEntry(&doc, 1000));
}

namespace {

std::vector<std::string> listing(const VolumePages& pages)
{
    std::vector<std::string> out;
    for (int r = 0; r < pages.rowCount(); ++r)
        out.push_back(pages.itemAtRow(r).text);
    return out;
}

}  // namespace

TEST_F(PageRules, TheFilterNarrowsTheShownPageOrSpansEveryPage)
{
    open(sampleVolume());  // pages A(0), B(1), (Root)(2)
    pages.showPage(0);
    EXPECT_EQ(listing(pages), (std::vector<std::string>{"b.TEX", "a.wav", "C.tga"})) << "no filter: the page";
    pages.setFilter("T", false);
    EXPECT_EQ(listing(pages), (std::vector<std::string>{"b.TEX", "C.tga"}));
    EXPECT_EQ(pages.unfilteredCount(), 3u);
    pages.setFilter("*.t??", false);
    EXPECT_EQ(listing(pages), (std::vector<std::string>{"b.TEX", "C.tga"}));
    pages.setFilter("nothing", false);
    EXPECT_EQ(pages.rowCount(), 0);
    EXPECT_TRUE(pages.listingShown()) << "an empty result is still the page, saying so";

    // Across all directories: "(Root)" first, then the directory pages; the
    // shown page does not matter, not even the notice.
    pages.setFilter("*.t*", true);
    EXPECT_EQ(listing(pages), (std::vector<std::string>{"Zeta.tex", "b.TEX", "C.tga"}));
    EXPECT_EQ(pages.unfilteredCount(), 6u);
    EXPECT_EQ(pages.entryAtRow(0), 3);
    EXPECT_EQ(pages.rowOfEntry(6), 2);
    EXPECT_EQ(pages.rowOfEntry(5), -1) << "a.wav is filtered out";
    pages.showPage(VolumePages::HIDE_ALL);
    EXPECT_TRUE(pages.listingShown());
    EXPECT_EQ(pages.rowCount(), 3);
    EXPECT_EQ(VolumePages::directoryPath(6, records()), "A/");
    EXPECT_EQ(VolumePages::directoryPath(8, records()), "E/B/");
    EXPECT_EQ(VolumePages::directoryPath(3, records()), "");

    // Emptied, the field lists the shown page whole again.
    pages.setFilter("", true);
    EXPECT_FALSE(pages.listingShown()) << "the notice page";
    pages.showPage(1);
    EXPECT_EQ(listing(pages), (std::vector<std::string>{"z.fnt"}));
}

TEST_F(PageRules, TheFilterMatchesNamesNotMarkers)
{
    open(sampleVolume());
    pages.showPage(0);
    pages.renameItem(5, "x.wav", 0);  // "x.wav (u)"
    pages.markReplaced(4, 0);         // "b.TEX (e)"
    pages.setFilter("*.wav", false);
    EXPECT_EQ(listing(pages), (std::vector<std::string>{"x.wav (u)"}));
    pages.setFilter("*.tex", false);
    EXPECT_EQ(listing(pages), (std::vector<std::string>{"b.TEX (e)"}));
    pages.setFilter("(u)", false);
    EXPECT_EQ(pages.rowCount(), 0);
}

TEST_F(PageRules, NamesOutsideAsciiAreListedAsTheVolumeHoldsThem)
{
    open({.entries = {{"D", 1, 0, DIR | LAST}, {"Gr\xf6\xdf" "e.txt", 0, 4, 0}, {"\xc4rger.tex", 0, 4, LAST}}});
    pages.showPage(0);
    EXPECT_EQ(texts(0), (std::vector<std::string>{"Gr\xf6\xdf" "e.txt", "\xc4rger.tex"})) << "ISO-8859-1";
    EXPECT_TRUE(pages.search("gr\xd6\xdf" "e.txt", false));
    pages.setFilter("\xe4r", false);
    EXPECT_EQ(listing(pages), (std::vector<std::string>{"\xc4rger.tex"}));
}

TEST_F(PageRules, SortingByEveryColumnInBothDirections)
{
    // D: five entries whose sizes, types and pictures differ.
    open({.entries = {{"D", 1, 0, DIR | LAST},
                      {"b.tex", 0, 50, 0},
                      {"a.ini", 0, 10, 0},
                      {"c.tga", 0, 40, 0},
                      {"d.tex", 0, 30, 0},
                      {"e.wav", 0, 20, LAST}}});
    pages.showPage(0);
    std::vector<EntryFacts> facts(records().size());
    const auto texture = [](texture::Format format, int w, int h, int maps) {
        EntryFacts f;
        f.type = EntryFacts::Type::Texture;
        f.format = format;
        f.width = w;
        f.height = h;
        f.maps = static_cast<std::uint8_t>(maps);
        return f;
    };
    facts[1] = texture(texture::Format::Dxt3, 64, 64, 7);
    facts[4] = texture(texture::Format::Dxt1, 128, 32, 3);
    facts[3].type = EntryFacts::Type::Image;
    facts[3].width = facts[3].height = 16;
    facts[3].maps = 1;
    facts[3].bitsPerPixel = 24;

    const struct {
        int column;
        bool descending;
        std::vector<std::string> order;
    } cases[] = {
        {entrycolumns::TYPE, false, {"a.ini", "e.wav", "b.tex", "c.tga", "d.tex"}},  // INI-Datei, Sound…, Textur
        {entrycolumns::TYPE, true, {"b.tex", "c.tga", "d.tex", "e.wav", "a.ini"}},
        {entrycolumns::FORMAT, false, {"d.tex", "b.tex", "c.tga", "a.ini", "e.wav"}},  // DXT1, DXT3, TGA, the rest
        {entrycolumns::FORMAT, true, {"c.tga", "b.tex", "d.tex", "a.ini", "e.wav"}},   // the rest stays last
        {entrycolumns::DIMENSIONS, false, {"c.tga", "b.tex", "d.tex", "a.ini", "e.wav"}},  // 256, then 4096 by width
        {entrycolumns::MAPS, true, {"b.tex", "d.tex", "c.tga", "a.ini", "e.wav"}},
        {entrycolumns::SIZE, false, {"a.ini", "e.wav", "d.tex", "c.tga", "b.tex"}},
        {entrycolumns::NAME, false, {"a.ini", "b.tex", "c.tga", "d.tex", "e.wav"}},
    };
    for (const auto& c : cases) {
        // From name order, so that equal keys stay in name order.
        pages.setDescending(false);
        ASSERT_TRUE(pages.sortByColumn(entrycolumns::NAME, records(), facts));
        pages.setDescending(c.descending);
        ASSERT_TRUE(pages.sortByColumn(c.column, records(), facts));
        EXPECT_EQ(texts(0), c.order) << "column " << c.column << " descending " << c.descending;
        EXPECT_EQ(listing(pages), c.order) << "the listing follows the page";
        EXPECT_EQ(pages.listingOrder(), (VolumePages::SortOrder{c.column, c.descending}));
    }
    EXPECT_EQ(pages.page(0).order.column, entrycolumns::NAME) << "each page keeps its own order";

    // Across all directories the listing is sorted, not the pages.
    pages.setFilter("*.t*", true);
    pages.setDescending(true);
    ASSERT_TRUE(pages.sortByColumn(entrycolumns::SIZE, records(), facts));
    EXPECT_EQ(listing(pages), (std::vector<std::string>{"b.tex", "c.tga", "d.tex"}));
    EXPECT_EQ(texts(0), (std::vector<std::string>{"a.ini", "b.tex", "c.tga", "d.tex", "e.wav"}));
    EXPECT_EQ(pages.listingOrder(), (VolumePages::SortOrder{entrycolumns::SIZE, true}));
}

TEST_F(PageRules, EntryMenuOnASelectionAndTheDirectoryMenu)
{
    using korvix::MessageId;
    const auto state = [](const std::vector<EntryMenuItem>& menu) {
        std::vector<bool> out;
        for (const auto& item : menu)
            out.push_back(item.enabled);
        return out;
    };
    EXPECT_EQ(EntryMenuRules::directoryMenu(&doc, ITEM_VOLUME_ROOT), std::vector<EntryMenuItem>{}) << "no volume";
    open(sampleVolume());
    const std::vector<int> one{4}, several{4, 5, 6};
    const auto menu = EntryMenuRules::entryMenu(&doc, one);
    ASSERT_EQ(menu.size(), 5u);
    EXPECT_EQ(menu[0], (EntryMenuItem{ID_ENTRY_EXTRACT, MessageId::BrowserMenuExtract, true}));
    EXPECT_EQ(menu[1].text, MessageId::BrowserMenuRename);
    EXPECT_EQ(menu[2].text, MessageId::BrowserMenuReplaceImage);
    EXPECT_EQ(menu[3].command, ID_ENTRY_REPLACE_FILE);
    EXPECT_EQ(menu[4], (EntryMenuItem{ID_ENTRY_DELETE, MessageId::EntryMenuDelete, true}));
    EXPECT_EQ(state(menu), (std::vector<bool>{true, true, false, true, true})) << "no texture to write";
    EXPECT_EQ(state(EntryMenuRules::entryMenu(&doc, several)), (std::vector<bool>{true, false, false, false, true}))
        << "the export and the delete work on several entries";
    EXPECT_EQ(state(EntryMenuRules::entryMenu(&doc, {})), (std::vector<bool>{false, false, false, false, false}));

    EXPECT_EQ(EntryMenuRules::menuTargets(5, several), several) << "a click inside the selection";
    EXPECT_EQ(EntryMenuRules::menuTargets(3, several), std::vector<int>{3}) << "outside it: that entry";

    EXPECT_EQ(EntryMenuRules::directoryMenu(&doc, ITEM_VOLUME_ROOT),
              (std::vector<EntryMenuItem>{{ID_TREE_EXPORT_VOLUME, MessageId::BrowserMenuExportVolume, true}}));
    EXPECT_EQ(EntryMenuRules::directoryMenu(&doc, 2),
              (std::vector<EntryMenuItem>{{ID_TREE_EXPORT_DIRECTORY, MessageId::BrowserMenuExportDirectory, true},
                                          {ID_ENTRY_DELETE, MessageId::EntryMenuDelete, true}}))
        << "a directory without files of its own";
    EXPECT_TRUE(EntryMenuRules::directoryMenu(&doc, 4).empty()) << "a file";

    EXPECT_EQ(EntryMenuRules::entryToLoad(one), 4);
    EXPECT_EQ(EntryMenuRules::entryToLoad(several), std::nullopt);
    EXPECT_EQ(EntryMenuRules::entryToLoad({}), std::nullopt);
}
