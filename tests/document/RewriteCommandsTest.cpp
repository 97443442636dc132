// The desktop program's rewrites through the document: "Löschen", files
// dropped on a directory, "Ersetzen (durch Datei)" with another size. Each asks
// first, runs behind the host's long work and opens the volume again with the
// directory and the entry kept; a decline, a cancel or a volume changed on
// disk writes nothing.
#include "FakeHost.h"
#include "TextureBuilder.h"

#include "common/MessageTable.h"
#include "document/CKestrelDoc.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace testsupport;
using korvix::MessageId;
using korvix::msg;
namespace fs = std::filesystem;

namespace {

// textures/ (a.tex, c.tex), readme.txt.
std::vector<unsigned char> sampleVolume()
{
    VolumeSpec spec;
    const std::uint32_t d = dataStart(4);
    spec.entries = {{"textures", 2, 0, DIR}, {"readme.txt", d, 8, LAST}, {"a.tex", d + 8, 4, 0}, {"c.tex", d + 12, 6, LAST}};
    const std::string data = "read me!AAAACCCCCC";
    spec.data.assign(data.begin(), data.end());
    return volumeBytes(spec);
}

struct RewriteCommands : ::testing::Test {
    TempDir dir;
    FakeHost host;
    CKestrelDoc doc{host};
    fs::path volume = dir / "v.qrb";

    void SetUp() override
    {
        writeFile(volume, sampleVolume());
        writeFile(dir / "ten", std::vector<unsigned char>(10, 't'));
        fs::create_directories(dir / "more" / "sub");
        writeFile(dir / "more" / "one", {'1'});
        writeFile(dir / "more" / "sub" / "two", {'2', '2'});
        ASSERT_TRUE(doc.openFile(volume.string(), false));
    }
    int entry(const char* path) const { return *doc.catalogue().find(path); }
    std::vector<std::string> paths() const
    {
        std::vector<std::string> out;
        for (const int i : doc.catalogue().walkOrder())
            out.push_back(doc.catalogue().pathOf(i) + ":" + std::to_string(doc.entryRecords()[static_cast<std::size_t>(i)].size));
        return out;
    }
};

}  // namespace

TEST_F(RewriteCommands, DeleteNamesTheEntriesThenRewritesAndKeepsTheSelection)
{
    host.selectedDir = entry("textures");
    host.selected = entry("textures/c.tex");
    const auto before = readFile(volume);
    // An entry below another one named goes with it; "Nein" writes nothing.
    host.answers = {MessageAnswer::No};
    EXPECT_FALSE(doc.deleteEntriesCommand({entry("textures/a.tex"), entry("readme.txt")}));
    EXPECT_EQ(host.messages.back().text, "Diese Einträge löschen? Das Volume wird dafür neu geschrieben.\n\n"
                                         "readme.txt (8 Bytes)\ntextures/a.tex (4 Bytes)\n");
    EXPECT_EQ(host.messages.back().buttons, MessageButtons::YesNo);
    EXPECT_EQ(readFile(volume), before);
    EXPECT_TRUE(host.works.empty());

    host.answers = {MessageAnswer::Yes};
    ASSERT_TRUE(doc.deleteEntriesCommand({entry("textures/a.tex"), entry("readme.txt")}));
    EXPECT_EQ(host.works, std::vector<std::string>{"Volume neu schreiben"});
    EXPECT_EQ(host.lastProgress.current, msg(MessageId::RewriteStageSyncing)) << "the stage in words";
    EXPECT_EQ(paths(), (std::vector<std::string>{"textures:0", "textures/c.tex:6"}));
    // Opened again: the new catalogue, the directory and the entry selected as before.
    EXPECT_EQ(host.browser.selectedItem, entry("textures"));
    EXPECT_EQ(host.browser.selectedEntry, entry("textures/c.tex"));
    // "Sicherung anlegen" is on by default.
    EXPECT_EQ(readFile(dir / "v.qrb.bak"), before);

    // A directory with everything below it, named with its files and bytes.
    doc.setKeepBackup(false);
    fs::remove(dir / "v.qrb.bak");
    host.answers = {MessageAnswer::Yes};
    ASSERT_TRUE(doc.deleteEntriesCommand({entry("textures")}));
    EXPECT_EQ(host.messages[host.messages.size() - 1].text,
              "Diese Einträge löschen? Das Volume wird dafür neu geschrieben.\n\ntextures/ (Dateien darin: 1, 6 Bytes)\n");
    EXPECT_TRUE(paths().empty());
    EXPECT_FALSE(fs::exists(dir / "v.qrb.bak"));
}

TEST_F(RewriteCommands, ADropListsEachFileAsNewOrReplacedWithItsSizes)
{
    const std::vector<std::string> dropped = {(dir / "ten").string(), (dir / "more").string()};
    const auto before = readFile(volume);
    host.answers = {MessageAnswer::Cancel};
    EXPECT_FALSE(doc.dropFilesCommand(ITEM_VOLUME_ROOT, dropped));
    EXPECT_EQ(host.messages.back().text, "Diese Dateien in das Volume übernehmen? Es wird dafür neu geschrieben.\n\n"
                                         "ten: neu, 10 Bytes\nmore/: neues Verzeichnis\nmore/one: neu, 1 Bytes\n"
                                         "more/sub/: neues Verzeichnis\nmore/sub/two: neu, 2 Bytes\n");
    EXPECT_EQ(readFile(volume), before);

    // On a directory: a file of an entry's name replaces it, whatever its size.
    fs::copy_file(dir / "ten", dir / "a.tex");
    host.answers = {MessageAnswer::Ok};
    ASSERT_TRUE(doc.dropFilesCommand(entry("textures"), {(dir / "a.tex").string()}));
    EXPECT_EQ(host.messages.back().text, "Diese Dateien in das Volume übernehmen? Es wird dafür neu geschrieben.\n\n"
                                         "textures/a.tex: ersetzt, 4 → 10 Bytes\n");
    EXPECT_EQ(paths(), (std::vector<std::string>{"textures:0", "readme.txt:8", "textures/a.tex:10", "textures/c.tex:6"}));

    // A file the volume cannot take is named with why; nothing is asked.
    writeFile(dir / "bad name ", {'x'});
    const std::size_t asked = host.messages.size();
    EXPECT_FALSE(doc.dropFilesCommand(ITEM_VOLUME_ROOT, {(dir / "bad name ").string()}));
    ASSERT_EQ(host.messages.size(), asked + 1);
    EXPECT_NE(host.messages.back().text.find("\"bad name \": " + std::string(msg(MessageId::NameEndsWithBlank))),
              std::string::npos)
        << host.messages.back().text;
}

// "Ersetzen (durch Datei)" with a file of another size offers a rewrite; the
// entry is loaded again afterwards when it was the one shown.
TEST_F(RewriteCommands, AReplacementOfAnotherSizeRewritesAndLoadsTheEntryAgain)
{
    writeFile(dir / "wall.tex", textureBytes(8, 8, 1, 2, [](int, int, int) { return 0xFF204080u; }));
    host.openFiles = {(dir / "wall.tex").string()};
    host.answers = {MessageAnswer::Ok};
    ASSERT_TRUE(doc.replaceEntryFromFile(entry("textures/a.tex"), true));
    EXPECT_EQ(host.messages.front().buttons, MessageButtons::RewriteCancel);
    EXPECT_EQ(readFile(dir / "wall.tex").size(), doc.entryRecords()[static_cast<std::size_t>(entry("textures/a.tex"))].size);
    ASSERT_NE(doc.maps(), nullptr);
    EXPECT_EQ(doc.name(), "a.tex");
    EXPECT_EQ(doc.maps()->largest().width(), 8);
}

// Nothing is written when the work is cancelled, when another program changed
// the volume meanwhile (the user is offered to open it again), or when the
// volume is open for reading only.
TEST_F(RewriteCommands, CancelChangedOnDiskAndReadOnlyWriteNothing)
{
    const auto before = readFile(volume);
    host.duringWork = [](std::atomic<bool>& cancel) { cancel = true; };
    host.answers = {MessageAnswer::Yes};
    EXPECT_FALSE(doc.deleteEntriesCommand({entry("readme.txt")}));
    EXPECT_EQ(host.messages.back().text, korvix::MessageTable::format(MessageId::RewriteFailedFormat,
                                                                      volume.string().c_str(), "abgebrochen"));
    EXPECT_EQ(readFile(volume), before);

    auto changed = before;
    changed[0] = 'X';
    host.duringWork = [&](std::atomic<bool>&) { writeFile(volume, changed); };
    host.answers = {MessageAnswer::Yes};
    host.reopenAnswers = {false};
    EXPECT_FALSE(doc.deleteEntriesCommand({entry("readme.txt")}));
    ASSERT_EQ(host.reopenOffers.size(), 1u);
    EXPECT_NE(host.reopenOffers.back().find(msg(MessageId::NothingWritten)), std::string::npos);
    EXPECT_EQ(readFile(volume), changed);
    host.duringWork = nullptr;

    ASSERT_TRUE(doc.openVolume(volume.string(), "v.qrb", CKestrelDoc::VolumeAccess::ReadOnly));
    const std::size_t asked = host.messages.size();
    EXPECT_FALSE(doc.deleteEntriesCommand({entry("readme.txt")}));
    EXPECT_EQ(host.messages.size(), asked + 1);
    EXPECT_EQ(host.messages.back().text, msg(MessageId::VolumeReadOnly));
    EXPECT_TRUE(host.works.size() == 2);
}
