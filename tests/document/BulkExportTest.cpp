// The document's extraction into folders (several entries, a directory, the
// volume), the files of a drag, and text entries, through the recording host:
// the folder asked for, the question for existing files, the failures listed
// together, the drag's size limit, and which entries show as text.
#include "FakeHost.h"
#include "TextureBuilder.h"
#include "VolumeBuilder.h"

#include "document/CKestrelDoc.h"
#include "document/EntryText.h"

#include <gtest/gtest.h>

#include <map>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

std::vector<unsigned char> bytesOf(const std::string& text)
{
    return {text.begin(), text.end()};
}

// Every file below `root` by its path from there, with its text.
std::map<std::string, std::string> contents(const fs::path& root)
{
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_regular_file()) {
            const auto bytes = readFile(it->path());
            out[fs::relative(it->path(), root).string()] = std::string(bytes.begin(), bytes.end());
        }
    return out;
}

struct BulkExport : ::testing::Test {
    TempDir dir;
    FakeHost host;
    CKestrelDoc doc{host};
    fs::path volume;

    // Top level: "d" (a.txt, b.bin, "sub" with c.txt), "top.ini", then `extra`.
    void openSample(std::vector<RawEntry> extra = {})
    {
        const std::uint32_t k = static_cast<std::uint32_t>(extra.size());
        VolumeSpec spec;
        spec.entries = {{"d", 2 + k, 0, DIR}, {"top.ini", 0, 0, extra.empty() ? LAST : 0u}};
        for (RawEntry& e : extra)
            spec.entries.push_back(e);
        if (!extra.empty())
            spec.entries.back().flags |= LAST;
        for (const RawEntry& e : std::vector<RawEntry>{{"a.txt", 0, 0, 0}, {"b.bin", 0, 0, 0}, {"sub", 5 + k, 0, DIR | LAST},
                                                       {"c.txt", 0, 0, LAST}})
            spec.entries.push_back(e);
        const std::pair<std::uint32_t, std::string> data[] = {
            {1, "[top]"}, {2 + k, "alpha"}, {3 + k, std::string("\0\1\2", 3)}, {5 + k, "gamma"}};
        std::uint32_t at = dataStart(spec.entries.size());
        for (const auto& [i, text] : data) {
            spec.entries[i].offset = at;
            spec.entries[i].size = static_cast<std::uint32_t>(text.size());
            spec.data.insert(spec.data.end(), text.begin(), text.end());
            at += static_cast<std::uint32_t>(text.size());
        }
        volume = dir / "v.qrb";
        writeFile(volume, volumeBytes(spec));
        ASSERT_TRUE(doc.openFile(volume.string(), false));
    }
    int at(const std::string& path) const { return doc.catalogue().find(path).value_or(-1); }
    fs::path out() const { return dir / "out"; }
};

}  // namespace

TEST_F(BulkExport, SeveralEntriesADirectoryAndTheVolumeGoIntoTheChosenFolder)
{
    openSample();
    const struct {
        const char* what;
        std::function<bool()> run;
        std::map<std::string, std::string> expected;
    } cases[] = {
        {"several entries", [&] { return doc.exportEntries({at("d/a.txt"), at("d/b.bin"), at("top.ini")}); },
         {{"a.txt", "alpha"}, {"b.bin", std::string("\0\1\2", 3)}, {"top.ini", "[top]"}}},
        {"a directory with its tree", [&] { return doc.exportDirectory(at("d")); },
         {{"d/a.txt", "alpha"}, {"d/b.bin", std::string("\0\1\2", 3)}, {"d/sub/c.txt", "gamma"}}},
        {"the volume", [&] { return doc.exportDirectory(ITEM_VOLUME_ROOT); },
         {{"top.ini", "[top]"}, {"d/a.txt", "alpha"}, {"d/b.bin", std::string("\0\1\2", 3)}, {"d/sub/c.txt", "gamma"}}},
    };
    for (const auto& c : cases) {
        fs::remove_all(out());
        host.works.clear();
        host.folders.push_back(out().string());
        EXPECT_TRUE(c.run()) << c.what;
        EXPECT_EQ(contents(out()), c.expected) << c.what;
        EXPECT_EQ(host.works, std::vector<std::string>{"Exportieren"}) << c.what << ": as long work";
        EXPECT_EQ(host.lastProgress.filesDone, c.expected.size()) << c.what;
        EXPECT_EQ(host.lastProgress.filesTotal, c.expected.size()) << c.what;
    }
    EXPECT_TRUE(host.messages.empty());

    // No folder chosen, a file, or no such item: nothing runs.
    EXPECT_FALSE(doc.exportEntries({at("d/a.txt")}));
    host.folders.push_back(out().string());
    EXPECT_FALSE(doc.exportDirectory(at("d/a.txt"))) << "a file is no directory";
    EXPECT_FALSE(doc.exportEntries({99}));
    EXPECT_EQ(host.works.size(), 1u);
}

TEST_F(BulkExport, ExistingFilesAreAskedAboutAndFailuresListedTogether)
{
    // ".." and "a/b" could leave the folder; x.dat reaches past the volume's end.
    openSample({{"..", 0, 1, 0}, {"a/b", 0, 1, 0}, {"x.dat", 1u << 20, 9, 0}});
    fs::create_directories(out());
    writeFile(out() / "a.txt", bytesOf("old a"));
    writeFile(out() / "top.ini", bytesOf("old top"));
    writeFile(out() / "c.txt", bytesOf("old c"));

    host.folders.push_back(out().string());
    host.overwriteAnswers = {OverwriteAnswer::Skip, OverwriteAnswer::OverwriteAll};
    EXPECT_TRUE(doc.exportEntries({at("d/a.txt"), at("top.ini"), at("d/sub/c.txt"), 2, 3, 4}));
    EXPECT_EQ(host.overwriteQuestions, (std::vector<std::string>{(out() / "a.txt").string(), (out() / "top.ini").string()}))
        << "after \"Alle überschreiben\" nothing more is asked";
    EXPECT_EQ(contents(out()), (std::map<std::string, std::string>{{"a.txt", "old a"}, {"top.ini", "[top]"}, {"c.txt", "gamma"}}));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text,
              "3 Einträge wurden nicht exportiert:\n\n"
              "..: Der Name könnte den Zielordner verlassen.\n"
              "a/b: Der Name könnte den Zielordner verlassen.\n"
              "x.dat: Daten 1048576+9 reichen über die Volume-Länge " + std::to_string(fs::file_size(volume)) + " hinaus");
    EXPECT_EQ(host.messages[0].icon, MessageIcon::Warning);

    // "Abbrechen" at the question ends the run; what was written stays whole.
    fs::remove_all(out());
    fs::create_directories(out());
    writeFile(out() / "top.ini", bytesOf("old top"));
    host.folders.push_back(out().string());
    host.overwriteAnswers = {OverwriteAnswer::Cancel};
    EXPECT_TRUE(doc.exportEntries({at("d/a.txt"), at("top.ini"), at("d/sub/c.txt")}));
    EXPECT_EQ(contents(out()), (std::map<std::string, std::string>{{"a.txt", "alpha"}, {"top.ini", "old top"}}));
    EXPECT_EQ(host.messages.size(), 1u) << "a cancel is no failure";
}

TEST_F(BulkExport, ACancelLeavesOnlyCompleteFilesAndAChangedVolumeNothing)
{
    openSample();
    host.folders.push_back(out().string());
    host.cancelAfter = 2;  // the report before the first file, then one after it
    EXPECT_TRUE(doc.exportDirectory(ITEM_VOLUME_ROOT));
    EXPECT_EQ(contents(out()), (std::map<std::string, std::string>{{"d/a.txt", "alpha"}}));
    for (const auto& e : fs::recursive_directory_iterator(out()))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
    EXPECT_TRUE(host.messages.empty());
    host.cancelAfter.reset();

    // Another program changed the file: nothing is extracted from a catalogue
    // that may no longer be the file's; the user is offered to open it again.
    fs::remove_all(out());
    auto bytes = readFile(volume);
    bytes.push_back('!');
    writeFile(volume, bytes);
    host.folders.push_back(out().string());
    host.reopenAnswers.push_back(false);
    EXPECT_FALSE(doc.exportEntries({at("d/a.txt")}));
    EXPECT_EQ(host.reopenOffers.size(), 1u);
    EXPECT_FALSE(fs::exists(out()));
}

TEST_F(BulkExport, DragsGoIntoAFreshFolderUpToTheirLimit)
{
    // "big" claims 200 MiB and "bigger" 100 MiB more, data the volume does not hold.
    openSample({{"big", 0, 200u << 20, 0}, {"bigger", 0, 100u << 20, 0}});
    EXPECT_FALSE(doc.dragEntries({at("d/a.txt")}));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Für gezogene Dateien lässt sich kein Ordner anlegen.");

    const fs::path base = dir / "cache";
    fs::create_directories(base);
    host.dragBase = base.string();
    const auto paths = doc.dragEntries({at("d/a.txt"), at("d/sub")});
    ASSERT_TRUE(paths);
    ASSERT_EQ(paths->size(), 2u);
    const fs::path folder = fs::path((*paths)[0]).parent_path();
    EXPECT_EQ(folder.parent_path(), base);
    EXPECT_EQ((*paths)[0], (folder / "a.txt").string());
    EXPECT_EQ((*paths)[1], (folder / "sub").string());
    EXPECT_EQ(contents(folder), (std::map<std::string, std::string>{{"a.txt", "alpha"}, {"sub/c.txt", "gamma"}}));

    const auto again = doc.dragEntries({at("d/a.txt")});
    ASSERT_TRUE(again);
    EXPECT_NE(fs::path((*again)[0]).parent_path(), folder) << "each drag its own folder";

    EXPECT_EQ(doc.filesBytes({2, 3}), 300u << 20);
    EXPECT_FALSE(doc.dragEntries({2, 3}));
    EXPECT_EQ(host.messages.back().text,
              "Die Auswahl ist 314,6 MB groß; gezogen werden höchstens 256 MiB. Große Mengen bitte mit "
              "„Exportieren“ in einen Ordner schreiben.");
    EXPECT_EQ(host.works.size(), 2u) << "refused before anything is read";
}

TEST_F(BulkExport, TextEntriesAreShownAndTheRestLoaded)
{
    const std::string crlf = "line 1\r\nline 2\rline 3\n";
    const std::string latin1 = "Gr\xfc\xdf" "e\t\f\x1a";
    const std::string big(entrytext::MAX_BYTES + 10, 'x');
    const auto texture = textureBytes(8, 8, 1, 2);
    const std::vector<std::pair<std::string, std::string>> files = {
        {"notes.CFG", crlf},            // a text name: always text
        {"readme", latin1},             // printable: text, the DOS end mark at its end too
        {"binary", std::string("ab\0c", 4)},
        {"c1.dat", "a\x85z"},           // a C1 control: no text
        {"huge.log", big},
        {"wall.tex", std::string(texture.begin(), texture.end())},
        {"empty", ""},
    };
    VolumeSpec spec;
    std::uint32_t at = dataStart(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        spec.entries.push_back({files[i].first, at, static_cast<std::uint32_t>(files[i].second.size()),
                                i + 1 == files.size() ? LAST : 0u});
        spec.data.insert(spec.data.end(), files[i].second.begin(), files[i].second.end());
        at += static_cast<std::uint32_t>(files[i].second.size());
    }
    writeFile(dir / "t.qrb", volumeBytes(spec));
    ASSERT_TRUE(doc.openFile((dir / "t.qrb").string(), false));

    EXPECT_EQ(doc.entryText(0), "line 1\nline 2\nline 3\n");
    EXPECT_EQ(doc.entryText(1), "Grüße\t\f\x1a");
    EXPECT_EQ(doc.entryText(2), std::nullopt);
    EXPECT_EQ(doc.entryText(3), std::nullopt);
    const auto huge = doc.entryText(4);
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->size(), entrytext::MAX_BYTES + std::string("\n\n[Gezeigt wird nur das erste MiB von 1,0 MB.]").size());
    EXPECT_TRUE(huge->ends_with("[Gezeigt wird nur das erste MiB von 1,0 MB.]"));
    EXPECT_EQ(doc.entryText(5), std::nullopt) << "a texture is shown as a picture";
    EXPECT_EQ(doc.entryText(6), std::nullopt) << "nothing to show";

    // Picking: a text goes to the text pane and the picture stays; a texture loads.
    EXPECT_TRUE(doc.pickEntry(5));
    EXPECT_EQ(doc.name(), "wall.tex");
    EXPECT_TRUE(doc.pickEntry(0));
    ASSERT_EQ(host.texts.size(), 1u);
    EXPECT_EQ(host.texts[0], (std::pair<std::string, std::string>{"notes.CFG", "line 1\nline 2\nline 3\n"}));
    EXPECT_EQ(doc.name(), "wall.tex");
    EXPECT_TRUE(doc.ready());
    EXPECT_FALSE(doc.pickEntry(2)) << "neither text nor picture";
    EXPECT_EQ(host.texts.size(), 1u);
}
