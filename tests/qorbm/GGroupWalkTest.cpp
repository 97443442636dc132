// The catalogue walk on hand-built catalogues: order, parents, end mark, and
// termination on damaged links.
#include "VolumeBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testsupport;

namespace {

struct Report {
    int index;
    int parent;
    std::string name;  // empty for the end mark
    bool operator==(const Report&) const = default;
};

std::vector<Report> g_reports;

void record(int index, int parent, const tarvos::QORBEntry* e)
{
    std::string name;
    if (e) {
        name.assign(e->name, 64);
        name.erase(name.find_last_not_of(' ') + 1);
    }
    g_reports.push_back({index, parent, name});
}

std::ostream& operator<<(std::ostream& os, const Report& r)
{
    return os << '(' << r.index << ", " << r.parent << ", '" << r.name << "')";
}

std::vector<Report> walk(const VolumeSpec& spec)
{
    TempDir dir;
    writeFile(dir / "v.qrb", volumeBytes(spec));
    tarvos::GGroup vol;
    vol.setCallBack(record);
    EXPECT_EQ(vol.open((dir / "v.qrb").c_str()), tarvos::GGroup::G_OK);
    g_reports.clear();
    EXPECT_TRUE(vol.travEntries());
    return g_reports;
}

const Report END{-1, -1, ""};

struct WalkCase {
    const char* what;
    VolumeSpec spec;
    std::vector<Report> expected;
};

std::vector<WalkCase> walkCases()
{
    const std::vector<RawEntry> example = {
        {"A", 2, 0, DIR}, {"f", 0, 0, LAST}, {"B", 4, 0, DIR}, {"g", 0, 0, LAST}, {"h", 0, 0, LAST}};
    const std::vector<Report> exampleWalk = {{0, -99, "A"}, {1, -99, "f"}, {2, 0, "B"}, {3, 0, "g"}, {4, 2, "h"}, END};
    return {
        // Top level A (dir), f (file, last); A holds B (dir), g (last); B holds h (last).
        {"the documented example", {.entries = example}, exampleWalk},
        // B's list (h) is stored before A's list (B, g): readers follow the links.
        {"lists stored in another order than the tree",
         {.entries = {{"A", 3, 0, DIR}, {"f", 0, 0, LAST}, {"h", 0, 0, LAST}, {"B", 2, 0, DIR}, {"g", 0, 0, LAST}}},
         {{0, -99, "A"}, {1, -99, "f"}, {3, 0, "B"}, {4, 0, "g"}, {2, 3, "h"}, END}},
        // A last directory is descended at once: D's entries come before A's.
        {"a directory flagged last",
         {.entries = {{"A", 2, 0, DIR}, {"D", 3, 0, DIR | LAST}, {"a1", 0, 0, LAST}, {"d1", 0, 0, 0},
                      {"d2", 0, 0, LAST}}},
         {{0, -99, "A"}, {1, -99, "D"}, {3, 1, "d1"}, {4, 1, "d2"}, {2, 0, "a1"}, END}},
        {"an empty catalogue", {}, {END}},
        // The directory count only sized the stack; a wrong file count must not drop subtrees.
        {"a file count claiming no directories", {.fileCount = 5, .entries = example}, exampleWalk},
        {"a file count larger than the catalogue", {.fileCount = 0xFFFFFFFF, .entries = example}, exampleWalk},
        {"a list without a last entry runs to the end of the catalogue",
         {.entries = {{"a", 0, 0, 0}, {"b", 0, 0, 0}}},
         {{0, -99, "a"}, {1, -99, "b"}, END}},
        // Damaged links: the walk ends and never reports an entry twice.
        {"a last directory whose first child is itself",
         {.entries = {{"X", 0, 0, DIR | LAST}, {"y", 0, 0, LAST}}},
         {{0, -99, "X"}, END}},
        // Revisiting X pops an empty stack and loops on X without reports.
        {"a directory linking back to its own list",
         {.entries = {{"X", 0, 0, DIR}, {"f", 0, 0, LAST}, {"orphan", 0, 0, LAST}}},
         {{0, -99, "X"}, {1, -99, "f"}, END}},
        {"a cycle of last directories",
         {.entries = {{"P", 1, 0, DIR | LAST}, {"Q", 0, 0, DIR | LAST}}},
         {{0, -99, "P"}, {1, 0, "Q"}, END}},
        // Offsets are unsigned: 0x80000000 must not become a negative index.
        {"a link at 0x80000000", {.entries = {{"X", 0x80000000u, 0, DIR | LAST}, {"y", 0, 0, LAST}}},
         {{0, -99, "X"}, END}},
        {"a link past the catalogue",
         {.entries = {{"X", 0xFFFFFFFFu, 0, DIR}, {"f", 0, 0, LAST}, {"orphan", 0, 0, LAST}}},
         {{0, -99, "X"}, {1, -99, "f"}, END}},
    };
}

}  // namespace

TEST(GGroupWalk, ReportsInWalkOrderWithParents)
{
    for (const WalkCase& c : walkCases()) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(walk(c.spec), c.expected);
    }
}

TEST(GGroupWalk, ManyPendingDirectoriesDespiteAWrongFileCount)
{
    // 2000 directories in the top list are all pending on the stack at once; the
    // header claims no directories at all. Descents are last-in first-out.
    const std::uint32_t k = 2000;
    VolumeSpec spec;
    for (std::uint32_t i = 0; i < k; ++i)
        spec.entries.push_back({"d" + std::to_string(i), k + 1 + i, 0, DIR});
    spec.entries.push_back({"top", 0, 0, LAST});
    for (std::uint32_t i = 0; i < k; ++i)
        spec.entries.push_back({"f" + std::to_string(i), 0, 0, LAST});
    spec.fileCount = static_cast<std::uint32_t>(spec.entries.size());

    const auto reports = walk(spec);
    ASSERT_EQ(reports.size(), spec.entries.size() + 1);
    EXPECT_EQ(reports[k], (Report{static_cast<int>(k), -99, "top"}));
    EXPECT_EQ(reports[k + 1], (Report{static_cast<int>(2 * k), static_cast<int>(k - 1), "f1999"}));
    EXPECT_EQ(reports[2 * k], (Report{static_cast<int>(k + 1), 0, "f0"}));
    EXPECT_EQ(reports.back(), END);
}

TEST(GGroupWalk, WithoutCallbackOrWhenClosed)
{
    tarvos::GGroup vol;
    EXPECT_FALSE(vol.travEntries());
    TempDir dir;
    writeFile(dir / "v.qrb", volumeBytes({.entries = {{"a", 0, 0, LAST}}}));
    ASSERT_EQ(vol.open((dir / "v.qrb").c_str()), tarvos::GGroup::G_OK);
    EXPECT_TRUE(vol.travEntries());  // walks, reports to nobody
    vol.close();
    EXPECT_FALSE(vol.travEntries());
}
