// The catalogue walk that the document and the command line share: records,
// children in walk order, paths, lookup without regard to case, and the name rule.
#include "VolumeBuilder.h"

#include "document/EntryCatalogue.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

struct Walked {
    TempDir dir;
    tarvos::GGroup volume;
    EntryCatalogue catalogue;

    explicit Walked(const VolumeSpec& spec)
    {
        writeFile(dir / "v.qrb", volumeBytes(spec));
        EXPECT_EQ(volume.open((dir / "v.qrb").string().c_str(), true), tarvos::GGroup::G_OK);
        tarvos::QORBHeader header{};
        volume.getCurQORBHeader(header);
        EXPECT_TRUE(catalogue.walk(volume, header.entryCount));
    }
    std::vector<std::string> names(std::span<const int> indices) const
    {
        std::vector<std::string> out;
        for (const int i : indices)
            out.emplace_back(catalogue.records()[static_cast<std::size_t>(i)].name.view());
        return out;
    }
};

// Root: Textures/ (Wall.TEX, Deep/ (stone.tex)), readme.txt
const VolumeSpec tree{.entries = {{"Textures", 2, 0, DIR},
                                  {"readme.txt", dataStart(5), 3, LAST},
                                  {"Wall.TEX", dataStart(5), 2},
                                  {"Deep", 4, 0, DIR | LAST},
                                  {"stone.tex", dataStart(5), 1, LAST}},
                      .data = {'a', 'b', 'c'}};

}  // namespace

TEST(EntryCatalogue, ChildrenPathsAndLookup)
{
    Walked w(tree);
    const EntryCatalogue& c = w.catalogue;
    EXPECT_EQ(w.names(c.childrenOf(PARENT_TOP_LEVEL)), (std::vector<std::string>{"Textures", "readme.txt"}));
    EXPECT_EQ(w.names(c.childrenOf(0)), (std::vector<std::string>{"Wall.TEX", "Deep"}));
    EXPECT_TRUE(c.childrenOf(1).empty()) << "a file has no children";
    EXPECT_EQ(c.walkOrder().size(), 5u);
    EXPECT_TRUE(c.rootHasFiles());
    EXPECT_EQ(c.records()[1].parent, PARENT_TOP_LEVEL_FILE);
    EXPECT_EQ(c.reportedParent(1), PARENT_TOP_LEVEL);
    EXPECT_TRUE(c.records()[0].hasFiles);
    EXPECT_TRUE(c.isLast(1));
    EXPECT_FALSE(c.isLast(2));
    EXPECT_EQ(c.pathOf(4), "Textures/Deep/stone.tex");

    const struct {
        const char* path;
        std::optional<int> index;
    } lookups[] = {
        {"textures/WALL.tex", 2}, {"/Textures//deep/STONE.TEX/", 4}, {"Textures", 0},
        {"readme.txt/x", std::nullopt}, {"Deep", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& l : lookups)
        EXPECT_EQ(c.find(l.path), l.index) << l.path;
}

TEST(EntryCatalogue, ANameEndsAtItsTrailingBlanksOrAtAZeroByte)
{
    Walked w({.entries = {{std::string("ab\0cd.tex", 9), 0, 0}, {"  x y  ", 0, 0}, {std::string(64, 'n'), 0, 0, LAST}}});
    const auto& r = w.catalogue.records();
    EXPECT_EQ(r[0].name.view(), "ab");
    EXPECT_EQ(r[1].name.view(), "  x y");
    EXPECT_EQ(r[2].name.size(), 64u);
    EXPECT_EQ(w.catalogue.find("AB"), 0);
}

TEST(EntryCatalogue, ReadsAnEntryOnlyInsideTheVolume)
{
    Walked w(tree);
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(readEntryData(w.volume, w.catalogue.records()[1], bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abc");
    EntryRecord beyond = w.catalogue.records()[1];
    beyond.size = 1u << 30;
    EXPECT_FALSE(readEntryData(w.volume, beyond, bytes)) << "refused before anything is allocated";
    EXPECT_FALSE(readEntryData(w.volume, w.catalogue.records()[0], bytes)) << "a directory has no data";
}
