// korvix-cli update and diff: the changes in order as one rewrite, their dry
// run and JSON, the exit codes; and diff on a table of volume pairs.
#include "FileSizeLimit.h"
#include "RunCli.h"
#include "VolumeBuilder.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <set>

using namespace testsupport;
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// textures/a.tex (4 bytes), textures/c.tex (6), sounds/b.wav (2), readme.txt (8), packed.
struct Volumes : ::testing::Test {
    TempDir dir;
    std::string volume = (dir / "v.qrb").string();
    std::string base = (dir / "base.qrb").string();

    void SetUp() override
    {
        fs::create_directories(dir / "in" / "textures");
        fs::create_directories(dir / "in" / "sounds");
        writeFile(dir / "in" / "textures" / "a.tex", {'A', 'A', 'A', 'A'});
        writeFile(dir / "in" / "textures" / "c.tex", {'C', 'C', 'C', 'C', 'C', 'C'});
        writeFile(dir / "in" / "sounds" / "b.wav", {'B', 'B'});
        writeFile(dir / "in" / "readme.txt", {'r', 'e', 'a', 'd', ' ', 'm', 'e', '!'});
        writeFile(dir / "x10", std::vector<unsigned char>(10, 'x'));
        writeFile(dir / "y4", {'y', 'y', 'y', 'y'});
        ASSERT_EQ(runCli({"pack", (dir / "in").string(), base, "--comment", "base", "--timestamp", "2024-01-01T00:00:00"})
                      .code,
                  0);
        fs::copy_file(base, volume);
    }
    std::string file(const char* name) const { return (dir / name).string(); }
    std::set<std::string> files() const
    {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.path()))
            names.insert(e.path().filename().string());
        return names;
    }
};

}  // namespace

TEST_F(Volumes, UpdateDryRunShowsEachChangeWithItsSizesAndWritesNothing)
{
    const std::vector<std::string> changes = {
        "--put",    "textures/a.tex=" + file("x10"), "--put", "maps/new.bin=" + file("y4"), "--delete", "sounds",
        "--rename", "readme.txt=README.md",           "--comment", "mod", "--timestamp", "2025-06-07 08:09:10"};
    std::vector<std::string> args = {"update", volume};
    args.insert(args.end(), changes.begin(), changes.end());
    args.push_back("--dry-run");
    const auto before = readFile(volume);
    const auto text = runCli(args);
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_EQ(text.out, "replace    textures/a.tex (4 -> 10 bytes)\n"
                        "add        maps/\n"
                        "add        maps/new.bin (4 bytes)\n"
                        "delete     sounds/ (files in it: 1, 2 bytes)\n"
                        "rename     readme.txt -> README.md\n"
                        "comment    \"base\" -> \"mod\"\n"
                        "timestamp  2024-01-01 00:00:00 -> 2025-06-07 08:09:10\n"
                            + volume + ": afterwards 6 entries (4 files), 804 bytes; nothing written\n");

    args.push_back("--json");
    const auto j = runCli(args);
    ASSERT_EQ(j.code, 0) << j.err;
    const json doc = json::parse(j.out);
    EXPECT_EQ(doc["type"], "update");
    EXPECT_EQ(doc["written"], false);
    ASSERT_EQ(doc["changes"].size(), 6u);
    EXPECT_EQ(doc["changes"][0], json::parse(R"({"change": "put", "effect": "replaced", "path": "textures/a.tex",
        "directory": false, "oldSize": 4, "newSize": 10})"));
    EXPECT_EQ(doc["changes"][1]["directoriesMade"], json::array({"maps"}));
    EXPECT_EQ(doc["changes"][2]["files"], 1);
    EXPECT_EQ(doc["changes"][5]["new"], "2025-06-07 08:09:10");
    EXPECT_EQ(doc["size"], 804);
    EXPECT_EQ(readFile(volume), before);
    EXPECT_EQ(files().count("v.qrb.bak"), 0u);
}

TEST_F(Volumes, UpdateRewritesInTheOrderGivenAndSaysSo)
{
    // The rename comes first, so the put names the entry by its new name.
    const auto r = runCli({"update", volume, "--rename", "textures/a.tex=wall.tex", "--put",
                           "TEXTURES/WALL.TEX=" + file("x10"), "--delete", "#3", "--backup"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, volume + ": rewrote with 3 changes: 4 entries (3 files), 640 B; the old volume is " + volume
                         + ".bak\n");
    EXPECT_EQ(readFile(volume + ".bak"), readFile(base));
    const json listing = json::parse(runCli({"list", volume, "--json"}).out);
    std::vector<std::string> paths;
    for (const auto& e : listing["entries"])
        paths.push_back(e["path"].get<std::string>() + ":" + std::to_string(e["size"].get<long long>()));
    EXPECT_EQ(paths, (std::vector<std::string>{"readme.txt:8", "textures:0", "textures/wall.tex:10", "textures/c.tex:6"}))
        << listing.dump();
    const auto one = runCli({"update", volume, "--comment", "one"});
    ASSERT_EQ(one.code, 0) << one.err;
    EXPECT_EQ(one.err, volume + ": rewrote with one change: 4 entries (3 files), 640 B\n");
    // --quiet leaves standard error to errors; --json says what was written.
    const auto quiet = runCli({"update", volume, "--comment", "again", "--quiet", "--json"});
    ASSERT_EQ(quiet.code, 0);
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(json::parse(quiet.out)["written"], true);
}

TEST_F(Volumes, UpdateRefusesAndFailsWithoutWriting)
{
    fs::create_directory(dir / "folder");
    const auto before = readFile(volume);
    const std::set<std::string> names = files();
    const struct {
        std::vector<std::string> args;
        int code;
        std::string errHas;
    } cases[] = {
        {{"update", volume}, 2, "no change given"},
        {{"update", volume, "--put", "textures/a.tex"}, 2, "--put takes ENTRY=FILE"},
        {{"update", volume, "--rename", "=x"}, 2, "--rename takes ENTRY=NEWNAME"},
        {{"update", volume, "--timestamp", "soon"}, 2, "YYYY-MM-DD"},
        // The refusals are the document's texts, German in this process.
        {{"update", volume, "--delete", "nothing"}, 1, volume + ": kein Eintrag 'nothing'"},
        {{"update", volume, "--put", "textures=" + file("y4")}, 1, "textures ist ein Verzeichnis"},
        {{"update", volume, "--put", "new.bin=" + file("missing")}, 1, file("missing") + ": "},
        {{"update", volume, "--put", "new.bin=" + file("folder")}, 1, file("folder") + ": keine gewöhnliche Datei"},
        {{"update", volume, "--rename", "readme.txt=sounds"}, 1, "sounds"},
        {{"update", volume, "--timestamp", "2108-01-01 00:00:00"}, 1, "2107"},
        // A change that comes after a refused one is not made either.
        {{"update", volume, "--delete", "sounds", "--delete", "sounds/b.wav"}, 1, "kein Eintrag 'sounds/b.wav'"},
        {{"update", file("missing.qrb"), "--delete", "x"}, 1, "missing.qrb"},
    };
    for (const auto& c : cases) {
        const auto r = runCli(c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
        EXPECT_EQ(readFile(volume), before);
        EXPECT_EQ(files(), names);
    }
    // A full disk while the new volume is written.
    CliResult r{};
    {
        const FileSizeLimit limit(600);
        r = runCli({"update", volume, "--put", "textures/a.tex=" + file("x10")});
    }
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(volume), before);
    EXPECT_EQ(files(), names);
    // replace keeps to the same size and names the command that writes another.
    r = runCli({"replace", volume, "textures/a.tex", file("x10")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("update --put"), std::string::npos) << r.err;
}

// diff on pairs made from the base volume by update.
TEST_F(Volumes, DiffListsWhatAModChanges)
{
    writeFile(dir / "A4", {'A', 'B', 'A', 'A'});
    const struct {
        const char* what;
        std::vector<std::string> changes;  // update's, applied to a copy of base
        int code;
        std::string json;  // the fields that differ from an empty diff
    } cases[] = {
        {"equal", {}, 0, R"({})"},
        {"added", {"--put", "maps/new.bin=" + file("y4")}, 1,
         R"({"added": [{"path": "maps", "directory": true, "size": null},
                       {"path": "maps/new.bin", "directory": false, "size": 4}]})"},
        {"removed", {"--delete", "sounds"}, 1,
         R"({"removed": [{"path": "sounds", "directory": true, "size": null},
                         {"path": "sounds/b.wav", "directory": false, "size": 2}]})"},
        {"changed in size", {"--put", "textures/a.tex=" + file("x10")}, 1,
         R"({"changed": [{"path": "textures/a.tex", "oldSize": 4, "newSize": 10}]})"},
        {"changed in content only", {"--put", "textures/a.tex=" + file("A4")}, 1,
         R"({"changed": [{"path": "textures/a.tex", "oldSize": 4, "newSize": 4}]})"},
        {"same bytes put again", {"--put", "textures/a.tex=" + (dir / "in" / "textures" / "a.tex").string()}, 0, R"({})"},
        {"renamed, also in case only", {"--rename", "readme.txt=ReadMe.txt", "--rename", "sounds/b.wav=b2.wav"}, 1,
         R"({"renamed": [{"oldPath": "readme.txt", "newPath": "ReadMe.txt", "size": 8},
                         {"oldPath": "sounds/b.wav", "newPath": "sounds/b2.wav", "size": 2}]})"},
        {"moved and changed is removed and added", {"--delete", "sounds/b.wav", "--put", "b.wav=" + file("y4")}, 1,
         R"({"added": [{"path": "b.wav", "directory": false, "size": 4}],
             "removed": [{"path": "sounds", "directory": true, "size": null},
                         {"path": "sounds/b.wav", "directory": false, "size": 2}]})"},
        {"header", {"--comment", "mod", "--timestamp", "2025-06-07 08:09:10"}, 1,
         R"({"header": {"comment": {"old": "base", "new": "mod"},
                        "timestamp": {"old": "2024-01-01 00:00:00", "new": "2025-06-07 08:09:10"}}})"},
    };
    const json empty = json::parse(R"({"added": [], "removed": [], "changed": [], "renamed": [],
                                       "header": {"comment": null, "timestamp": null}})");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string other = file("other.qrb");
        fs::copy_file(base, other, fs::copy_options::overwrite_existing);
        if (!c.changes.empty()) {
            std::vector<std::string> args = {"update", other};
            args.insert(args.end(), c.changes.begin(), c.changes.end());
            ASSERT_EQ(runCli(args).code, 0);
        }
        const auto r = runCli({"diff", base, other, "--json"});
        EXPECT_EQ(r.code, c.code) << r.err;
        json got = json::parse(r.out);
        EXPECT_EQ(got["equal"], c.code == 0);
        json expected = empty;
        expected.update(json::parse(c.json));
        for (const char* key : {"added", "removed", "changed", "renamed", "header"})
            EXPECT_EQ(got[key], expected[key]) << key;
    }
    // The text lists the same, one line each.
    const auto text = runCli({"diff", base, volume});
    EXPECT_EQ(text.code, 0);
    EXPECT_EQ(text.out, "");
    ASSERT_EQ(runCli({"update", volume, "--put", "textures/a.tex=" + file("x10"), "--rename", "readme.txt=r.txt"}).code, 0);
    EXPECT_EQ(runCli({"diff", base, volume}).out,
              "changed    textures/a.tex (4 -> 10 bytes)\nrenamed    readme.txt -> r.txt (8 bytes)\n");
    // Every trouble is 2, as diff(1) has it.
    writeFile(dir / "no.qrb", std::vector<unsigned char>(300, 0));
    for (const std::string& other : {file("missing.qrb"), file("no.qrb")}) {
        const auto r = runCli({"diff", base, other});
        EXPECT_EQ(r.code, 2) << other;
        EXPECT_NE(r.err.find(other), std::string::npos) << r.err;
    }
    EXPECT_EQ(runCli({"diff", base}).code, 2);
}
