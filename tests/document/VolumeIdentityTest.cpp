// The open volume's identity: every write is refused once another program
// changed or replaced the file, our own writes never count as a change, and
// the offer to open it again keeps the selected directory and entry.
#include "FakeHost.h"
#include "TextureBuilder.h"

#include "common/MessageTable.h"
#include "document/CKestrelDoc.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;
using korvix::MessageId;
using korvix::MessageTable;
namespace fs = std::filesystem;

namespace {

const std::vector<unsigned char> TEXTURE = textureBytes(4, 4, 1, 2);

// d/pic.tex and d/a.dat, then b.dat at the top level. `order` swaps the
// directory's two entries, so that the same paths get other catalogue indices.
std::vector<unsigned char> sampleVolume(bool swapped = false, const std::string& comment = "first")
{
    VolumeSpec spec;
    spec.comment = comment;
    const std::uint32_t data = dataStart(4);
    const auto texSize = static_cast<std::uint32_t>(TEXTURE.size());
    RawEntry pic{"pic.tex", data, texSize, 0}, dat{"a.dat", data + texSize, 4, 0};
    if (swapped)
        std::swap(pic, dat);
    dat.flags = pic.flags = 0;
    (swapped ? pic : dat).flags = LAST;
    spec.entries = {{"d", 2, 0, DIR}, {"b.dat", data + texSize + 4, 4, LAST}, pic, dat};
    spec.data = TEXTURE;
    spec.data.insert(spec.data.end(), {'a', 'a', 'a', 'a', 'b', 'b', 'b', 'b'});
    return volumeBytes(spec);
}

void setModified(const fs::path& path, const timespec& when)
{
    const timespec times[2] = {when, when};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

timespec modifiedOf(const fs::path& path)
{
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mtim;
}

struct VolumeOnDisk : ::testing::Test {
    TempDir dir;
    FakeHost host;
    CKestrelDoc doc{host};
    fs::path volume = dir / "v.qrb";
    fs::path other = dir / "other.qrb";  // what another program puts there

    void SetUp() override
    {
        writeFile(volume, sampleVolume());
        writeFile(other, sampleVolume(true, "other"));
        writeFile(dir / "four", {'w', 'x', 'y', 'z'});
        writeFile(dir / "shown.tex", TEXTURE);
        ASSERT_TRUE(doc.openFile(volume.string(), false));
    }
    int entry(const char* path) const { return *doc.catalogue().find(path); }
    std::string changedText() const
    {
        return MessageTable::format(MessageId::VolumeChangedFormat, volume.string().c_str()) + " "
               + korvix::msg(MessageId::NothingWritten);
    }
};

// The edits the document writes into a volume, each by its own command.
const std::vector<std::pair<const char*, std::function<bool(CKestrelDoc&, FakeHost&, const TempDir&)>>> WRITES = {
    {"rename", [](CKestrelDoc& d, FakeHost&, const TempDir&) { return d.renameEntry(*d.catalogue().find("d/a.dat"), "c.dat", false); }},
    {"comment", [](CKestrelDoc& d, FakeHost&, const TempDir&) { return d.setVolumeComment("new"); }},
    {"timestamp", [](CKestrelDoc& d, FakeHost&, const TempDir&) { return d.setVolumeTime({2020, 5, 6, 7, 8, 10}); }},
    {"replace by file",
     [](CKestrelDoc& d, FakeHost& h, const TempDir& t) {
         h.openFiles = {(t / "four").string()};
         return d.replaceEntryFromFile(*d.catalogue().find("b.dat"), false);
     }},
    {"replace by picture",
     [](CKestrelDoc& d, FakeHost& h, const TempDir& t) {
         EXPECT_TRUE(d.openFile((t / "shown.tex").string(), false));
         h.answers = {MessageAnswer::Ok};
         return d.replaceEntryFromImage(*d.catalogue().find("d/pic.tex"));
     }},
};

}  // namespace

TEST_F(VolumeOnDisk, EveryWriteIsRefusedAfterAnotherProgramChangedTheFile)
{
    const struct {
        const char* what;
        std::function<void(const VolumeOnDisk&)> change;
    } changes[] = {
        {"in-place overwrite",
         [](const VolumeOnDisk& t) { writeFile(t.volume, readFile(t.other)); }},
        {"in-place overwrite that sets the old time again",
         [](const VolumeOnDisk& t) {
             const timespec before = modifiedOf(t.volume);
             writeFile(t.volume, readFile(t.other));
             setModified(t.volume, before);
         }},
        {"rename-over",
         [](const VolumeOnDisk& t) {
             fs::copy_file(t.other, t.dir / "incoming.qrb");
             fs::rename(t.dir / "incoming.qrb", t.volume);
         }},
        {"truncation", [](const VolumeOnDisk& t) { fs::resize_file(t.volume, fs::file_size(t.volume) - 4); }},
        {"append",
         [](const VolumeOnDisk& t) {
             auto bytes = readFile(t.volume);
             bytes.push_back('!');
             writeFile(t.volume, bytes);
         }},
        {"touch",
         [](const VolumeOnDisk& t) {
             timespec later = modifiedOf(t.volume);
             later.tv_sec += 5;
             setModified(t.volume, later);
         }},
    };
    for (const auto& change : changes) {
        for (const auto& [what, write] : WRITES) {
            SCOPED_TRACE(std::string(change.what) + ", " + what);
            writeFile(volume, sampleVolume());
            ASSERT_TRUE(doc.openFile(volume.string(), false));
            // The file we opened, reachable after a rename-over through a second name.
            fs::remove(dir / "opened.qrb");
            fs::create_hard_link(volume, dir / "opened.qrb");
            change.change(*this);
            const auto there = readFile(volume);
            const auto opened = readFile(dir / "opened.qrb");

            host.reopenAnswers = {false};
            EXPECT_FALSE(write(doc, host, dir));
            ASSERT_FALSE(host.reopenOffers.empty());
            EXPECT_EQ(host.reopenOffers.back(), changedText());
            EXPECT_TRUE(host.reopenAnswers.empty());
            EXPECT_EQ(readFile(volume), there) << "the file now under the path is untouched";
            EXPECT_EQ(readFile(dir / "opened.qrb"), opened) << "and so is the file opened";
        }
    }
}

TEST_F(VolumeOnDisk, OurOwnWritesAreNeverTakenForAChange)
{
    for (const auto& [what, write] : WRITES) {
        SCOPED_TRACE(what);
        EXPECT_TRUE(write(doc, host, dir)) << (host.messages.empty() ? "" : host.messages.back().text);
        EXPECT_FALSE(doc.volumeChangedOnDisk());
    }
    EXPECT_FALSE(doc.offerReopenIfChanged());
    EXPECT_TRUE(doc.renameEntry(entry("d/c.dat"), "e.dat", false)) << "the renamed catalogue is the one recorded";
    EXPECT_TRUE(host.reopenOffers.empty());
}

TEST_F(VolumeOnDisk, OpeningAgainKeepsTheSelectedDirectoryAndEntry)
{
    host.selectedDir = entry("d");
    host.selected = entry("d/a.dat");
    const int oldIndex = *host.selected;
    fs::copy_file(other, dir / "incoming.qrb");
    fs::rename(dir / "incoming.qrb", volume);

    host.reopenAnswers = {true};
    EXPECT_FALSE(doc.setVolumeComment("x"));
    EXPECT_EQ(doc.volumeComment(), "other") << "opened again";
    const int a = entry("d/a.dat");
    EXPECT_NE(a, oldIndex) << "the same path under another index";
    EXPECT_EQ(host.browser.selectedItem, entry("d"));
    EXPECT_EQ(host.browser.pageShown, doc.entryRecords()[static_cast<std::size_t>(entry("d"))].page);
    EXPECT_EQ(host.browser.selectedEntry, a);
    EXPECT_TRUE(doc.setVolumeComment("x")) << "the file opened again is written";

    // An entry that is gone leaves its directory selected; a directory that is
    // gone leaves the selection the opening chooses.
    VolumeSpec flat;
    flat.entries = {{"d", 1, 0, DIR | LAST}, {"z.dat", dataStart(2), 1, LAST}};
    flat.data = {'z'};
    writeFile(volume, volumeBytes(flat));
    host.selected = entry("d/a.dat");
    host.reopenAnswers = {true};
    EXPECT_TRUE(doc.offerReopenIfChanged());
    EXPECT_EQ(host.browser.selectedItem, entry("d"));
    EXPECT_EQ(host.browser.selectedEntry, -1);
}

TEST_F(VolumeOnDisk, TheOfferIsMadeOnceForEachStateOfTheFile)
{
    EXPECT_FALSE(doc.offerReopenIfChanged()) << "nothing changed";
    timespec t = modifiedOf(volume);
    t.tv_sec += 5;
    setModified(volume, t);
    host.reopenAnswers = {false};
    EXPECT_FALSE(doc.offerReopenIfChanged());
    EXPECT_EQ(host.reopenOffers.size(), 1u);
    EXPECT_EQ(host.reopenOffers.back(),
              MessageTable::format(MessageId::VolumeChangedFormat, volume.string().c_str()));
    EXPECT_FALSE(doc.offerReopenIfChanged()) << "declined for this state";
    EXPECT_EQ(host.reopenOffers.size(), 1u);
    t.tv_sec += 5;
    setModified(volume, t);
    host.reopenAnswers = {true};
    EXPECT_TRUE(doc.offerReopenIfChanged());
    EXPECT_FALSE(doc.volumeChangedOnDisk());
}
