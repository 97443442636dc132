// The streamed listing: JSON strings escaped as before, paths from the chain of
// directories along the walk (also when the walk comes back to a directory
// last-in first-out, or names a parent off the chain), and the text tree.
#include "CliVolume.h"
#include "JsonOut.h"
#include "RunCli.h"
#include "VolumeBuilder.h"

#include "common/Text.h"
#include "document/CatalogueTree.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <sstream>

using namespace testsupport;

namespace {

// Every entry's "path" against the path rebuilt from the "parent" links.
void expectPathsFromParents(const nlohmann::json& entries)
{
    std::map<int, std::string> pathOf;
    for (const auto& e : entries) {
        const int parent = e["parent"];
        const std::string path = (parent == -99 ? "" : pathOf.at(parent) + "/") + e["name"].get<std::string>();
        pathOf[e["index"]] = path;
        EXPECT_EQ(e["path"], path);
    }
}

}  // namespace

TEST(List, JsonTextIsEscapedAsTheJsonLibraryDoes)
{
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += korvix::latin1ToUtf8(std::string(1, static_cast<char>(c)));
    std::string escaped;
    cli::appendJsonText(escaped, all);
    EXPECT_EQ("\"" + escaped + "\"", nlohmann::json(all).dump());
}

// Top level: A/ (not last), B/ (not last), "q\"t" (last): the walk reports the
// whole top list, then comes back to B and then to A, last-in first-out.
TEST(List, PathsAlongAWalkThatComesBack)
{
    TempDir dir;
    VolumeSpec spec;
    spec.entries = {{"A", 3, 0, DIR},      {"B\xE4", 6, 0, DIR},   {"q\"t\x01", 0, 0, LAST},
                    {"A1", 7, 0, DIR},     {"a\\", 0, 0, 0},       {"a2", 0, 0, LAST},
                    {"b1", 0, 0, LAST},    {"A1x", 8, 0, DIR | LAST}, {"x", 0, 0, LAST}};
    for (auto& e : spec.entries)
        if (!(e.flags & DIR))
            e.offset = dataStart(spec.entries.size());
    writeFile(dir / "v.qrb", volumeBytes(spec));

    const auto json = runCli({"list", (dir / "v.qrb").string(), "--json"});
    ASSERT_EQ(json.code, 0) << json.err;
    const auto doc = nlohmann::json::parse(json.out);
    ASSERT_EQ(doc["entries"].size(), 9u);
    expectPathsFromParents(doc["entries"]);
    std::vector<std::string> paths;
    for (const auto& e : doc["entries"])
        paths.push_back(e["path"]);
    EXPECT_EQ(paths, (std::vector<std::string>{"A", "Bä", "q\"t\x01", "Bä/b1", "A/A1", "A/a\\", "A/a2", "A/A1/A1x",
                                               "A/A1/A1x/x"}));

    const auto text = runCli({"list", (dir / "v.qrb").string()});
    EXPECT_EQ(text.out, "9 entries, 5 files\n"
                        "       #0            -  A/\n"
                        "       #3            -    A1/\n"
                        "       #7            -      A1x/\n"
                        "       #8            0        x\n"
                        "       #4            0    a\\\n"
                        "       #5            0    a2\n"
                        "       #1            -  Bä/\n"
                        "       #6            0    b1\n"
                        "       #2            0  q\"t\x01\n");
}

// A walk that names a parent whose own parent is off the chain (only a damaged
// catalogue could): the path is followed up from the parent links instead.
TEST(List, APathOffTheChainIsFollowedUp)
{
    TempDir dir;
    VolumeSpec spec;
    spec.entries = {{"A", 0, 0, DIR}, {"E", 0, 0, DIR}, {"C", 0, 0, DIR}, {"e1", 0, 0, 0}, {"c1", 0, 0, LAST}};
    writeFile(dir / "v.qrb", volumeBytes(spec));
    cli::CliVolume vol((dir / "v.qrb").string(), true, cli::CliVolume::Records::Skip);
    CatalogueTree tree;
    tree.reset(5);
    for (const auto& [index, parent] : std::vector<std::pair<int, int>>{{0, -99}, {1, -99}, {2, 0}, {3, 1}, {4, 2}})
        tree.report(index, parent);
    tree.finish();
    std::ostringstream out;
    cli::writeVolumeJson(vol, &tree, out);
    const auto doc = nlohmann::json::parse(out.str());
    expectPathsFromParents(doc["entries"]);
    EXPECT_EQ(doc["entries"][4]["path"], "A/C/c1");
}
