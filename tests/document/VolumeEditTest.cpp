// Editing the open volume in place, with the bytes on disk checked.
#include "FakeHost.h"
#include "TextureBuilder.h"

#include "codecs/TextureLoader.h"
#include "codecs/imagefile/ImageFile.h"
#include "document/CKestrelDoc.h"
#include "common/MessageTable.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testsupport;
using korvix::MessageId;
using korvix::MessageTable;
using korvix::msg;

namespace {

struct VolumeEdit : ::testing::Test {
    TempDir dir;
    FakeHost host;
    CKestrelDoc doc{host};
    std::filesystem::path volume = dir / "v.qrb";

    // ab.dat (4 bytes "abcd"), then whatever the test adds.
    void open(std::vector<std::pair<RawEntry, std::vector<unsigned char>>> files = {})
    {
        files.insert(files.begin(), {RawEntry{"ab.dat"}, {'a', 'b', 'c', 'd'}});
        VolumeSpec spec;
        spec.comment = "old comment";
        std::uint32_t at = dataStart(files.size());
        for (auto& [entry, bytes] : files) {
            entry.offset = at;
            entry.size = static_cast<std::uint32_t>(bytes.size());
            spec.entries.push_back(entry);
            spec.data.insert(spec.data.end(), bytes.begin(), bytes.end());
            at += entry.size;
        }
        spec.entries.back().flags |= LAST;
        writeFile(volume, volumeBytes(spec));
        ASSERT_TRUE(doc.openFile(volume.string(), false));
    }
    std::vector<unsigned char> bytesAt(std::size_t offset, std::size_t size)
    {
        const auto all = readFile(volume);
        return {all.begin() + static_cast<long>(offset), all.begin() + static_cast<long>(offset + size)};
    }
};

}  // namespace

TEST_F(VolumeEdit, CommentAndTimestamp)
{
    open();
    host.volumeData = VolumeDataAnswer{std::string(256, 'c'), {2107, 12, 31, 23, 59, 59}};
    doc.editVolumeData();
    EXPECT_EQ(bytesAt(0, 256), std::vector<unsigned char>(256, 'c')) << "256 characters leave no fill";
    // 2107-12-31 23:59:58: date (127 << 9 | 12 << 5 | 31), time (23 << 11 | 59 << 5 | 29).
    EXPECT_EQ(bytesAt(280, 4), (std::vector<unsigned char>{0x7D, 0xBF, 0x9F, 0xFF}));
    EXPECT_EQ(doc.volumeTime().second, 59) << "the document keeps the time as chosen";
    EXPECT_EQ(doc.volumeComment(), std::string(256, 'c'));

    host.volumeData = VolumeDataAnswer{"", {2108, 1, 1, 0, 0, 0}};
    const auto before = readFile(volume);
    doc.editVolumeData();
    EXPECT_EQ(host.messages.back().text, msg(MessageId::DosDateAfter2107));
    for (const auto& refused : {korvix::DosDateTime{1979, 12, 31, 0, 0, 0}, korvix::DosDateTime{2023, 2, 29, 0, 0, 0}}) {
        host.volumeData = VolumeDataAnswer{"", refused};
        doc.editVolumeData();
    }
    EXPECT_EQ(readFile(volume), before) << "a refused date writes nothing";

    host.volumeData = VolumeDataAnswer{"", {1980, 1, 1, 0, 0, 0}};
    doc.editVolumeData();
    EXPECT_EQ(bytesAt(0, 256), std::vector<unsigned char>(256, 0x1A));
    EXPECT_EQ(bytesAt(280, 4), (std::vector<unsigned char>{0, 0, 0x21, 0}));
}

TEST_F(VolumeEdit, Rename)
{
    open();
    const std::size_t field = 296;
    EXPECT_TRUE(doc.renameEntry(0, std::string(64, 'n'), true));
    EXPECT_EQ(bytesAt(field, 64), std::vector<unsigned char>(64, 'n'));
    EXPECT_EQ(host.status[2], std::string(64, 'n'));
    EXPECT_TRUE(doc.renameEntry(0, "Ä1", false));
    std::vector<unsigned char> expected(64, ' ');
    expected[0] = 0xC4;  // stored as ISO-8859-1
    expected[1] = '1';
    EXPECT_EQ(bytesAt(field, 64), expected);
    EXPECT_EQ(doc.entryRecords()[0].name, "\xC4" "1");
    EXPECT_TRUE(doc.entryRecords()[0].marks & EntryRecord::MARK_RENAMED);

    // Through the command: an unchanged name (compared with the item's text)
    // writes nothing; the dialog stays open on refused names until one is allowed.
    host.renames = {std::string("Ä1"), std::string(""), std::string(65, 'x'), std::nullopt};
    EXPECT_FALSE(doc.renameCommand(0, "Ä1", false));
    EXPECT_FALSE(doc.renameCommand(0, "Ä1", false));
    EXPECT_EQ(host.renameRefusals, std::vector<std::string>(2, msg(MessageId::EntryNameInvalid)));
    EXPECT_EQ(bytesAt(field, 64), expected);
    host.renames = {std::string("ok")};
    EXPECT_TRUE(doc.renameCommand(0, "Ä1 (u)", false));
    EXPECT_EQ(bytesAt(field, 2), (std::vector<unsigned char>{'o', 'k'}));
}

TEST_F(VolumeEdit, ReadOnlyVolumesRefuseEditsWithAMessage)
{
    open();
    // Opened without write access (a read-only file or medium).
    ASSERT_TRUE(doc.openVolume(volume.string(), "v.qrb", CKestrelDoc::VolumeAccess::ReadOnly));
    const auto before = readFile(volume);
    EXPECT_FALSE(doc.renameEntry(0, "new", false));
    EXPECT_EQ(host.messages.back().text, msg(MessageId::VolumeReadOnly));
    EXPECT_EQ(readFile(volume), before);
    EXPECT_EQ(doc.entryRecords()[0].name, "ab.dat");
}

TEST_F(VolumeEdit, ReplaceByFileAndExtract)
{
    open();
    writeFile(dir / "long", {'1', '2', '3', '4', '5'});
    writeFile(dir / "same", {'w', 'x', 'y', 'z'});
    const std::size_t data = dataStart(1);
    host.openFiles = {(dir / "long").string(), (dir / "missing").string(), (dir / "same").string()};
    // Another size is offered a rewrite of the volume instead; declined, nothing is written.
    host.answers = {MessageAnswer::Cancel};
    EXPECT_FALSE(doc.replaceEntryFromFile(0, false));
    EXPECT_TRUE(host.messages.back().text.starts_with(std::string(msg(MessageId::SizesDiffer)) + "\n"));
    EXPECT_EQ(host.messages.back().buttons, MessageButtons::RewriteCancel);
    EXPECT_FALSE(doc.replaceEntryFromFile(0, false));
    EXPECT_EQ(host.messages.back().text, std::string(msg(MessageId::FileOpenFailed)) + "\n\n"
                                             + (dir / "missing").string() + ": No such file or directory");
    EXPECT_EQ(bytesAt(data, 4), (std::vector<unsigned char>{'a', 'b', 'c', 'd'}));
    EXPECT_TRUE(doc.replaceEntryFromFile(0, false));
    EXPECT_EQ(bytesAt(data, 4), (std::vector<unsigned char>{'w', 'x', 'y', 'z'}));
    EXPECT_TRUE(doc.entryRecords()[0].marks & EntryRecord::MARK_REPLACED);

    host.saveFiles = {(dir / "out.dat").string()};
    doc.extractEntry(0);
    EXPECT_EQ(readFile(dir / "out.dat"), (std::vector<unsigned char>{'w', 'x', 'y', 'z'}));
    host.saveFiles = {(dir / "no-such-dir" / "x").string()};
    doc.extractEntry(0);
    EXPECT_EQ(host.messages.back().text, msg(MessageId::FileWriteFailed));
    EXPECT_EQ(host.messages.back().icon, MessageIcon::Error);
}

TEST_F(VolumeEdit, ReplaceByImageRefusals)
{
    std::vector<unsigned char> tga28 = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 32, 0x28};
    tga28.resize(18 + 64 + 26);
    std::vector<unsigned char> bigTga = tga28;
    bigTga[13] = 0x10;  // 4100 wide
    open({{RawEntry{"a.TGA"}, tga28}, {RawEntry{"b.TGA"}, bigTga}, {RawEntry{"low.tga"}, tga28},
          {RawEntry{"c.TEX"}, std::vector<unsigned char>(36, 0)}, {RawEntry{".tga"}, tga28}});
    writeFile(dir / "pic.tex", textureBytes(4, 4, 1, 2));
    EXPECT_FALSE(doc.replaceEntryFromImage(1)) << "nothing shown yet";
    ASSERT_TRUE(doc.openFile((dir / "pic.tex").string(), false));
    const auto before = readFile(volume);
    const struct {
        int index;
        const char* message;
    } cases[] = {
        {0, msg(MessageId::OnlyImagesReplaceable)},
        {1, msg(MessageId::FormatNotSupported)},
        {2, msg(MessageId::TargetSideInvalid)},
        {3, msg(MessageId::FormatNotSupported)},  // a lower-case ending is an image like any other
        {4, msg(MessageId::TargetSideInvalid)},
        {5, msg(MessageId::InvalidFileName)},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(doc.replaceEntryFromImage(c.index)) << c.index;
        EXPECT_EQ(host.messages.back().text, c.message) << c.index;
    }
    EXPECT_EQ(readFile(volume), before);
}

TEST_F(VolumeEdit, ReplaceATextureEntryByTheShownPicture)
{
    // A 256 x 256 DXT1 texture with 9 maps, replaced by a 512 x 512 picture.
    const auto target = textureBytes(256, 256, 9, 10);
    open({{RawEntry{"wall.TEX"}, target}});
    writeFile(dir / "big.tex", textureBytes(512, 512, 1, 2, [](int, int x, int y) {
        return 0xFF000000u | static_cast<std::uint32_t>((x / 2) & 0xFF) << 16 | static_cast<std::uint32_t>(y & 0xFF);
    }));
    ASSERT_TRUE(doc.openFile((dir / "big.tex").string(), false));

    host.answers = {MessageAnswer::Cancel};
    EXPECT_FALSE(doc.replaceEntryFromImage(1));
    EXPECT_EQ(host.messages.back().text,
              MessageTable::format(MessageId::ReplaceConfirmFormat, 512, 512, 1, 256, 256, 9));
    EXPECT_EQ(host.messages.back().buttons, MessageButtons::OkCancel);
    EXPECT_FALSE(doc.entryRecords()[1].marks & EntryRecord::MARK_REPLACED);

    host.answers = {MessageAnswer::Ok};
    ASSERT_TRUE(doc.replaceEntryFromImage(1)) << host.messages.back().text;
    EXPECT_TRUE(doc.entryRecords()[1].marks & EntryRecord::MARK_REPLACED);
    const auto& r = doc.entryRecords()[1];
    const auto stored = bytesAt(r.offset, r.size);
    const LoadedTexture loaded = loadTexture(stored.data(), stored.size());
    ASSERT_TRUE(loaded.ok());
    EXPECT_EQ(loaded.count(), 9);
    // The red channel follows x / 4 of the reduced picture: no longer black.
    EXPECT_GT(loaded.maps[8].pixelAt(200, 10) >> 16 & 0xFF, 80u);
    EXPECT_EQ(doc.mapCount(), 1) << "the shown maps stay";
}

TEST_F(VolumeEdit, ReplaceTargetIsReadAsTheLoaderReadsIt)
{
    // The target header's format code and map count are single bytes to the
    // loader (the count signed); the bytes beside them do not count. The name's
    // ending is compared without regard to case.
    const auto withBytes = [](std::vector<unsigned char> bytes, std::vector<std::pair<int, unsigned char>> patch) {
        for (const auto& [at, value] : patch)
            bytes[static_cast<std::size_t>(at)] = value;
        return bytes;
    };
    const struct {
        const char* what;
        const char* name;
        std::vector<unsigned char> bytes;
        int maps;              // the target's map count in the confirmation
        MessageId refusal;     // when maps is 0
    } cases[] = {
        {"lower-case ending", "wall.tex", textureBytes(16, 16, 2, 10), 2, {}},
        {"mixed-case ending", "wall.Tex", textureBytes(16, 16, 2, 10), 2, {}},
        {"bytes after the format code", "w.TEX", withBytes(textureBytes(16, 16, 2, 10), {{9, 0x7F}, {11, 0x01}}), 2, {}},
        {"bytes after the map count", "w.TEX", withBytes(textureBytes(16, 16, 2, 10), {{21, 0xFF}, {22, 0xFF}, {23, 0xFF}}), 2, {}},
        {"a negative count is one map", "w.TEX", withBytes(textureBytes(16, 16, 1, 10), {{20, 0xFE}}), 1, {}},
        {"more than ten maps", "w.TEX", withBytes(textureBytes(16, 16, 1, 10), {{20, 11}}), 0, MessageId::TextureError},
    };
    writeFile(dir / "pic.tex", textureBytes(16, 16, 1, 2));
    ASSERT_TRUE(doc.openFile((dir / "pic.tex").string(), false));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        open({{RawEntry{c.name}, c.bytes}});
        host.messages.clear();
        if (c.maps == 0) {
            EXPECT_FALSE(doc.replaceEntryFromImage(1));
            EXPECT_EQ(host.messageTexts(), std::vector<std::string>{msg(c.refusal)});
            continue;
        }
        host.answers = {MessageAnswer::Ok};
        EXPECT_TRUE(doc.replaceEntryFromImage(1)) << host.messages.back().text;
        ASSERT_FALSE(host.messages.empty());
        EXPECT_EQ(host.messages.front().text,
                  MessageTable::format(MessageId::ReplaceConfirmFormat, 16, 16, 1, 16, 16, c.maps));
        const auto& r = doc.entryRecords()[1];
        const auto stored = bytesAt(r.offset, r.size);
        const LoadedTexture loaded = loadTexture(stored.data(), stored.size());
        ASSERT_TRUE(loaded.ok());
        EXPECT_EQ(loaded.count(), c.maps);
    }
}

TEST_F(VolumeEdit, ReplaceATgaEntryByTheShownPicture)
{
    // A 4 x 2 TGA of 32 bits with the alpha descriptor: 18 + 32 + 26 bytes.
    std::vector<unsigned char> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 2, 0, 32, 8};
    tga.resize(18 + 4 * 2 * 4 + 26, 0);
    open({{RawEntry{"icon.TGA"}, tga}});
    writeFile(dir / "pic.tex", textureBytes(8, 4, 1, 2, [](int, int x, int) { return x < 4 ? 0x40FF0000u : 0xC00000FFu; }));
    ASSERT_TRUE(doc.openFile((dir / "pic.tex").string(), false));
    host.answers = {MessageAnswer::Ok};
    ASSERT_TRUE(doc.replaceEntryFromImage(1)) << host.messages.back().text;
    const auto& r = doc.entryRecords()[1];
    const auto stored = bytesAt(r.offset, r.size);
    // Bottom row first, blue-green-red-alpha: the left half red at alpha 0x40.
    EXPECT_EQ(std::vector<unsigned char>(stored.begin() + 18, stored.begin() + 22),
              (std::vector<unsigned char>{0, 0, 0xFF, 0x40}));
    EXPECT_EQ(std::vector<unsigned char>(stored.begin() + 18 + 12, stored.begin() + 18 + 16),
              (std::vector<unsigned char>{0xFF, 0, 0, 0xC0}));
}

TEST_F(VolumeEdit, APictureFromOutsideGoesBackInTheEntrysOwnFormatAndMapCountWithItsAlpha)
{
    // A 64 x 64 RGBA 8888 entry of 3 maps, edited in another program.
    const auto pixel = [](int, int x, int y) {
        return static_cast<std::uint32_t>(x * 4) << 24 | static_cast<std::uint32_t>(y * 4) << 8 | 0x10u;
    };
    open({{RawEntry{"wall.tex"}, textureBytes(64, 64, 3, 2, pixel)}});
    ASSERT_TRUE(doc.loadMaps("", true, false, 1));
    host.externalFolder = dir.path().string();
    ASSERT_TRUE(doc.externalEditCommand());
    PixelBitmap edited;
    decodeFile(host.watched, edited, 32);
    std::memcpy(edited.row(10) + 4 * 20, "\x01\x02\x03\x04", 4);
    encodePng(host.watched, edited);
    ASSERT_TRUE(doc.externalFileSaved());

    host.answers = {MessageAnswer::Ok};
    ASSERT_TRUE(doc.replaceEntryFromImage(1)) << host.messages.back().text;
    const auto& r = doc.entryRecords()[1];
    const auto stored = bytesAt(r.offset, r.size);
    EXPECT_EQ(stored[8], 2) << "RGBA 8888 as before";
    const LoadedTexture loaded = loadTexture(stored.data(), stored.size());
    ASSERT_TRUE(loaded.ok());
    EXPECT_EQ(loaded.count(), 3);
    EXPECT_EQ(loaded.maps[2].pixelAt(20, 10), 0x04030201u) << "the edited pixel, alpha included";
    EXPECT_EQ(loaded.maps[2].pixelAt(21, 10), pixel(0, 21, 10));

    // A pasted picture with alpha keeps it in the entry too: no more opaque replacements.
    PixelBitmap pasted;
    pasted.create(64, 64, 32, true);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            std::memcpy(pasted.row(y) + 4 * x, "\x30\x20\x10\x55", 4);
    host.clipboard = pasted;
    doc.paste();
    host.answers = {MessageAnswer::Ok};
    ASSERT_TRUE(doc.replaceEntryFromImage(1));
    const auto again = bytesAt(r.offset, r.size);
    EXPECT_EQ(loadTexture(again.data(), again.size()).maps[2].pixelAt(7, 7), 0x55102030u);
}
