// korvix-cli's volume commands, run in-process: pack, list, info, extract, extract-all.
#include "RunCli.h"
#include "VolumeBuilder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

void writeText(const fs::path& p, const std::string& text)
{
    fs::create_directories(p.parent_path());
    writeFile(p, std::vector<unsigned char>(text.begin(), text.end()));
}

std::string readText(const fs::path& p)
{
    const auto bytes = readFile(p);
    return {bytes.begin(), bytes.end()};
}

// A small tree with files at the root and below, an empty file and a Latin-1 name.
void makeTree(const fs::path& root)
{
    writeText(root / "readme.txt", "top level file\n");
    writeText(root / "textures" / "Wall.TEX", std::string(1000, 'w'));
    writeText(root / "textures" / "deep" / "stone.tex", "stone");
    writeText(root / "sounds" / "Grüße.wav", "RIFF....");
    writeText(root / "sounds" / "silence.raw", "");
}

std::map<std::string, std::string> treeContents(const fs::path& root)
{
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            out[fs::relative(e.path(), root).string()] = readText(e.path());
    return out;
}

}  // namespace

TEST(PackList, RoundTripThroughTheLibrary)
{
    TempDir dir;
    makeTree(dir / "in");
    const auto packed = runCli({"pack", (dir / "in").string(), (dir / "v.qrb").string(), "--comment", "Prüfung",
                             "--timestamp", "2024-02-29 13:45:31"});
    ASSERT_EQ(packed.code, 0) << packed.err;

    const auto listed = runCli({"list", (dir / "v.qrb").string(), "--json"});
    ASSERT_EQ(listed.code, 0) << listed.err;
    const auto doc = nlohmann::ordered_json::parse(listed.out);
    std::vector<std::string> keys;
    for (const auto& [k, v] : doc.items())
        keys.push_back(k);
    EXPECT_EQ(keys, (std::vector<std::string>{"version", "type", "file", "comment", "signature", "entryCount", "fileCount",
                                              "timestamp", "timestampIso", "entries"}));
    EXPECT_EQ(doc["version"], 1);
    EXPECT_EQ(doc["type"], "volume");
    EXPECT_EQ(doc["timestampIso"], "2024-02-29T13:45:30");
    EXPECT_EQ(doc["comment"], "Prüfung");
    EXPECT_EQ(doc["signature"], "KRMTLW_V2.00");
    EXPECT_EQ(doc["entryCount"], 8);
    EXPECT_EQ(doc["fileCount"], 5);
    // 2024-02-29 13:45:30 in DOS form: date (44 << 9 | 2 << 5 | 29), time (13 << 11 | 45 << 5 | 15).
    EXPECT_EQ(doc["timestamp"], ((44u << 9 | 2u << 5 | 29u) << 16) | (13u << 11 | 45u << 5 | 15u));
    ASSERT_EQ(doc["entries"].size(), 8u);
    const auto& first = doc["entries"][0];
    std::vector<std::string> entryKeys;
    for (const auto& [k, v] : first.items())
        entryKeys.push_back(k);
    EXPECT_EQ(entryKeys, (std::vector<std::string>{"index", "parent", "name", "path", "dir", "last", "offset", "size"}));

    // Rebuild paths from the reported parents and compare with the input tree.
    std::map<int, std::string> pathOf;
    std::map<std::string, int> sizes;
    for (const auto& e : doc["entries"]) {
        const int parent = e["parent"];
        const std::string path = (parent == -99 ? "" : pathOf.at(parent) + "/") + e["name"].get<std::string>();
        pathOf[e["index"]] = path;
        EXPECT_EQ(e["path"], path) << "each entry carries its full path";
        if (!e["dir"])
            sizes[path] = e["size"];
    }
    EXPECT_EQ(sizes, (std::map<std::string, int>{{"readme.txt", 15}, {"sounds/Grüße.wav", 8}, {"sounds/silence.raw", 0},
                                                 {"textures/Wall.TEX", 1000}, {"textures/deep/stone.tex", 5}}));

    // The volume extracts back to the same tree, byte for byte.
    const auto all = runCli({"extract-all", (dir / "v.qrb").string(), (dir / "out").string()});
    ASSERT_EQ(all.code, 0) << all.err;
    EXPECT_EQ(treeContents(dir / "out"), treeContents(dir / "in"));

    const auto info = runCli({"info", (dir / "v.qrb").string()});
    EXPECT_NE(info.out.find("2024-02-29 13:45:30"), std::string::npos) << info.out;
    const auto text = runCli({"list", (dir / "v.qrb").string()});
    EXPECT_NE(text.out.find("      stone.tex"), std::string::npos) << text.out;
}

TEST(PackList, InfoJsonIsTheHeaderWithoutEntries)
{
    TempDir dir;
    writeFile(dir / "v.qrb", volumeBytes({.comment = "c", .timestamp = 0xFFFFFFFF, .entries = {{"a", 0, 0, LAST}}}));
    const auto info = runCli({"info", (dir / "v.qrb").string(), "--json"});
    ASSERT_EQ(info.code, 0) << info.err;
    auto expected = nlohmann::json::parse(R"({"version": 1, "type": "volume", "comment": "c",
                                              "signature": "KRMTLW_V2.00", "entryCount": 1, "fileCount": 1,
                                              "timestamp": 4294967295, "timestampIso": null})");
    expected["file"] = (dir / "v.qrb").string();
    EXPECT_EQ(nlohmann::json::parse(info.out), expected);
    EXPECT_NE(runCli({"info", (dir / "v.qrb").string()}).out.find("not a valid date"), std::string::npos);
}

TEST(PackList, Refusals)
{
    TempDir dir;
    writeText(dir / "long" / (std::string(65, 'n') + ".dat"), "x");
    auto r = runCli({"pack", (dir / "long").string(), (dir / "v.qrb").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(std::string(65, 'n')), std::string::npos) << "the message names the file: " << r.err;
    EXPECT_FALSE(fs::exists(dir / "v.qrb"));

    writeText(dir / "in" / "a.txt", "a");
    r = runCli({"pack", (dir / "in").string(), (dir / "in" / "sub" / "..//v.qrb").string()});
    EXPECT_EQ(r.code, 1) << "writing the volume into its own input";
    EXPECT_FALSE(fs::exists(dir / "in" / "v.qrb"));

    EXPECT_EQ(runCli({"pack", (dir / "in").string(), (dir / "v.qrb").string(), "--timestamp", "2023-02-29 00:00:00"}).code, 2);
    EXPECT_EQ(runCli({"pack", (dir / "in").string(), (dir / "v.qrb").string(), "--timestamp", "1979-12-31 23:59:58"}).code, 2);
    EXPECT_EQ(runCli({"pack", (dir / "in").string(), (dir / "v.qrb").string(), "--comment", std::string(257, 'c')}).code, 2);
    EXPECT_EQ(runCli({"pack", (dir / "in").string(), (dir / "v.qrb").string(), "--timestamp", "2107-12-31 23:59:59"}).code, 0);
}

TEST(Extract, EntriesByIndexAndPath)
{
    TempDir dir;
    makeTree(dir / "in");
    ASSERT_EQ(runCli({"pack", (dir / "in").string(), (dir / "v.qrb").string()}).code, 0);
    const auto before = readFile(dir / "v.qrb");

    auto r = runCli({"extract", (dir / "v.qrb").string(), "TEXTURES/deep/STONE.tex", "-o", (dir / "s").string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readText(dir / "s"), "stone");
    r = runCli({"extract", (dir / "v.qrb").string(), "sounds/grüße.WAV", "-o", "-"});
    EXPECT_EQ(r.out, "RIFF....") << "Latin-1 letters fold too";
    r = runCli({"extract", (dir / "v.qrb").string(), "sounds/silence.raw", "-o", (dir / "empty").string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "empty"));
    EXPECT_EQ(fs::file_size(dir / "empty"), 0u);

    const auto listed = nlohmann::json::parse(runCli({"list", (dir / "v.qrb").string(), "--json"}).out);
    for (const auto& e : listed["entries"]) {
        if (e["name"] == "readme.txt") {
            r = runCli({"extract", (dir / "v.qrb").string(), "#" + std::to_string(e["index"].get<int>()), "-o", "-"});
            EXPECT_EQ(r.out, "top level file\n");
        }
    }

    for (const std::string bad : {"nope.txt", "#999", "#x", "textures", "textures/deep/stone.tex/x"}) {
        r = runCli({"extract", (dir / "v.qrb").string(), bad, "-o", (dir / "bad").string()});
        EXPECT_EQ(r.code, 1) << bad;
        EXPECT_EQ(r.err.rfind("korvix-cli: ", 0), 0u) << r.err;
        EXPECT_FALSE(fs::exists(dir / "bad")) << bad;
    }
    EXPECT_EQ(readFile(dir / "v.qrb"), before) << "read-only commands never write to the volume";
}

TEST(Extract, DataOutsideTheVolumeIsRefusedAndLeavesNoFile)
{
    TempDir dir;
    VolumeSpec spec;
    spec.entries = {{"ok", dataStart(2), 2, 0}, {"huge", dataStart(2), 0x40000000, LAST}};
    spec.data = {'o', 'k'};
    writeFile(dir / "v.qrb", volumeBytes(spec));
    writeText(dir / "keep", "previous");
    const auto r = runCli({"extract", (dir / "v.qrb").string(), "huge", "-o", (dir / "keep").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("exceeds volume length"), std::string::npos) << r.err;
    EXPECT_EQ(readText(dir / "keep"), "previous");
    EXPECT_EQ(runCli({"extract", (dir / "v.qrb").string(), "ok", "-o", "-"}).out, "ok");
}

TEST(ExtractAll, NamesThatWouldEscapeAreNeverWritten)
{
    TempDir dir;
    VolumeSpec spec;
    const std::vector<std::string> bad = {"../escape", "a/b", "/abs", "..", ".", "C:evil", "back\\slash", "CON",
                                          "nul.txt", "Com1.dat", ""};
    for (const auto& name : bad)
        spec.entries.push_back({name, 0, 1, 0});
    spec.entries.push_back({"evil dir/..", 0, 0, DIR});  // its subtree is refused with it
    spec.entries.push_back({"good.txt", 0, 1, LAST});
    const auto n = spec.entries.size();
    spec.entries[n - 2].offset = static_cast<std::uint32_t>(n);
    spec.entries.push_back({"inside", 0, 1, LAST});
    for (auto& e : spec.entries)
        if (!(e.flags & DIR))
            e.offset = dataStart(spec.entries.size());
    spec.data = {'x'};
    writeFile(dir / "v.qrb", volumeBytes(spec));

    const auto r = runCli({"extract-all", (dir / "v.qrb").string(), (dir / "out" / "target").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("'../escape': refused"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("12 entries not extracted"), std::string::npos) << r.err;
    std::vector<std::string> written;
    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
        written.push_back(fs::relative(e.path(), dir.path()).string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"out", "out/target", "out/target/good.txt", "v.qrb"}));

    // Existing files are kept unless asked.
    writeText(dir / "out" / "target" / "good.txt", "mine");
    EXPECT_EQ(runCli({"extract-all", (dir / "v.qrb").string(), (dir / "out" / "target").string()}).code, 1);
    EXPECT_EQ(readText(dir / "out" / "target" / "good.txt"), "mine");
    runCli({"extract-all", (dir / "v.qrb").string(), (dir / "out" / "target").string(), "--force"});
    EXPECT_EQ(readText(dir / "out" / "target" / "good.txt"), "x");
}

TEST(Cli, UsageAndOpeningErrors)
{
    TempDir dir;
    writeText(dir / "not.qrb", "hello");
    const struct {
        std::vector<std::string> args;
        int code;
        const char* errHas;
    } cases[] = {
        {{}, 2, "Usage"},
        {{"frobnicate"}, 2, "unknown command"},
        {{"list"}, 2, "missing arguments"},
        {{"list", "a", "b"}, 2, "too many arguments"},
        {{"list", "a", "--bogus"}, 2, "unknown option"},
        {{"extract", "a", "b", "-o"}, 2, "needs a value"},
        {{"list", (dir / "not.qrb").string()}, 1, "not a QORB volume"},
        {{"info", (dir / "missing.qrb").string()}, 1, "cannot open"},
    };
    for (const auto& c : cases) {
        const auto r = runCli(c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
    }
    for (const auto& cmd : cli::commands()) {
        const auto r = runCli({cmd.name, "--help"});
        EXPECT_EQ(r.code, 0);
        EXPECT_NE(r.out.find("Usage: korvix-cli " + cmd.name), std::string::npos);
    }
}

// The command line reads names as the desktop program does: a name ends at its
// trailing blanks or at a zero byte, and lookups, listings and extraction agree.
TEST(PackList, NamesFollowTheDocumentsRule)
{
    TempDir dir;
    const std::string data = "KTEXdata";
    writeFile(dir / "v.qrb", volumeBytes({.entries = {{"Tex", 1, 0, DIR | LAST},
                                                      {std::string("wall.tex\0old name", 17), dataStart(2), 8, LAST}},
                                          .data = {data.begin(), data.end()}}));
    const auto listed = runCli({"list", (dir / "v.qrb").string(), "--json"});
    ASSERT_EQ(listed.code, 0) << listed.err;
    const auto json = nlohmann::json::parse(listed.out);
    EXPECT_EQ(json["entries"][1]["name"], "wall.tex");
    EXPECT_EQ(json["entries"][1]["path"], "Tex/wall.tex");
    const auto text = runCli({"list", (dir / "v.qrb").string()});
    EXPECT_NE(text.out.find("  wall.tex\n"), std::string::npos) << text.out;

    const auto extracted = runCli({"extract", (dir / "v.qrb").string(), "TEX/WALL.TEX", "-o", (dir / "out").string()});
    ASSERT_EQ(extracted.code, 0) << extracted.err;
    EXPECT_EQ(readText(dir / "out"), data);
}
