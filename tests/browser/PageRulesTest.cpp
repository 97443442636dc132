// The volume browser's page rules against the records of a real opened volume.
#include "FakeHost.h"
#include "VolumeBuilder.h"

#include "document/CKestrelDoc.h"
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
