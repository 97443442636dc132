// Opening, header and comment, and byte-range access on volume files.
#include "VolumeBuilder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

using namespace testsupport;
using tarvos::GGroup;

namespace {

std::vector<unsigned char> smallVolume()
{
    VolumeSpec spec;
    spec.comment = "hello";
    spec.timestamp = 0x5A8C6000;
    spec.entries = {{"data.bin", dataStart(1), 10, LAST}};
    spec.data = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'};
    return volumeBytes(spec);
}

}  // namespace

TEST(GGroupOpen, RefusesWhatIsNotAVolume)
{
    TempDir dir;
    const auto good = smallVolume();
    auto badSignature = good;
    badSignature[256 + 11] = '1';  // "KRMTLW_V2.01"
    auto lowerCase = good;
    lowerCase[256] = 'k';
    auto hugeCount = good;
    put32(hugeCount.data() + 272, 0xFFFFFFFFu);  // must be refused before allocating
    auto countPastEnd = good;
    put32(countPastEnd.data() + 272, 2);  // needs 80 bytes more catalogue than the file has... almost
    countPastEnd.resize(296 + 80 + 79);

    const struct {
        const char* what;
        std::vector<unsigned char> bytes;
        int expected;
        int why;
    } cases[] = {
        {"295 bytes", std::vector<unsigned char>(good.begin(), good.begin() + 295), GGroup::G_ERR_READ,
         GGroup::G_OPEN_TOO_SHORT},
        {"empty file", {}, GGroup::G_ERR_READ, GGroup::G_OPEN_TOO_SHORT},
        {"wrong signature", badSignature, GGroup::G_ERR_READ, GGroup::G_OPEN_NO_SIGNATURE},
        {"signature compared case-sensitively", lowerCase, GGroup::G_ERR_READ, GGroup::G_OPEN_NO_SIGNATURE},
        {"catalogue cut short", std::vector<unsigned char>(good.begin(), good.begin() + 296 + 79), GGroup::G_ERR_READ,
         GGroup::G_OPEN_CATALOGUE_SHORT},
        {"entry count of 4 billion", hugeCount, GGroup::G_ERR_READ, GGroup::G_OPEN_CATALOGUE_SHORT},
        {"second entry one byte short", countPastEnd, GGroup::G_ERR_READ, GGroup::G_OPEN_CATALOGUE_SHORT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(dir / "v.qrb", c.bytes);
        GGroup vol;
        EXPECT_EQ(vol.open((dir / "v.qrb").c_str()), c.expected);
        int error = -1;
        EXPECT_EQ(vol.getOpenFailure(error), c.why);
        EXPECT_EQ(error, 0);
        EXPECT_FALSE(vol.valid());
        EXPECT_TRUE(!vol);
        tarvos::QORBHeader h{};
        EXPECT_FALSE(vol.getCurQORBHeader(h));
    }
    // The system's refusals carry its error number; a success clears the reason.
    GGroup vol;
    int error = 0;
    EXPECT_EQ(vol.open((dir / "missing.qrb").c_str()), GGroup::G_ERR_OPEN);
    EXPECT_EQ(vol.getOpenFailure(error), GGroup::G_OPEN_SYSTEM);
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(vol.open(dir.path().c_str()), GGroup::G_ERR_OPEN);  // a directory
    EXPECT_EQ(vol.getOpenFailure(error), GGroup::G_OPEN_SYSTEM);
    EXPECT_EQ(error, EISDIR);
    EXPECT_EQ(vol.open("/dev/null"), GGroup::G_ERR_OPEN);
    EXPECT_EQ(vol.getOpenFailure(error), GGroup::G_OPEN_NOT_REGULAR);
    writeFile(dir / "v.qrb", good);
    EXPECT_EQ(vol.open((dir / "v.qrb").c_str()), GGroup::G_OK);
    EXPECT_EQ(vol.getOpenFailure(error), GGroup::G_OPEN_NONE);
}

TEST(GGroupOpen, HeaderAndSignatureTail)
{
    TempDir dir;
    VolumeSpec spec;
    spec.signatureTail = {'x', 'y', 'z', 'w'};  // bytes 12-15 are not interpreted
    spec.timestamp = 0x5A8C6000;
    spec.entries = {{"a", 0, 0, LAST}};
    writeFile(dir / "v.qrb", volumeBytes(spec));
    GGroup vol;
    ASSERT_EQ(vol.open((dir / "v.qrb").c_str()), GGroup::G_OK);
    tarvos::QORBHeader h;
    std::memset(&h, 0x55, sizeof h);
    ASSERT_TRUE(vol.getCurQORBHeader(h));
    const char expected[16] = "KRMTLW_V2.00";
    EXPECT_EQ(std::memcmp(h.signature, expected, 16), 0);
    EXPECT_EQ(h.entryCount, 1u);
    EXPECT_EQ(h.fileCount, 1u);
    EXPECT_EQ(h.timestamp, 0x5A8C6000u);
    EXPECT_EQ(h.reserved0, 0u);

    int major = 0, minor = -1;
    tarvos::getQORBMiniLibVersion(major, minor);
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 0);
}

// Entries are handed out as read at opening, in range only, and only while open.
TEST(GGroupOpen, CatalogueEntriesByIndex)
{
    TempDir dir;
    VolumeSpec spec;
    spec.entries = {{"dir", 1, 0, DIR | LAST, 7}, {"file.bin", 123, 45, LAST, 9}};
    writeFile(dir / "v.qrb", volumeBytes(spec));
    GGroup vol;
    tarvos::QORBEntry e{};
    EXPECT_FALSE(vol.getCatalogueEntry(0, e));
    ASSERT_EQ(vol.open((dir / "v.qrb").c_str()), GGroup::G_OK);
    ASSERT_TRUE(vol.getCatalogueEntry(1, e));
    EXPECT_EQ(std::string(e.name, 9), "file.bin ");
    EXPECT_EQ(e.offset, 123u);
    EXPECT_EQ(e.size, 45u);
    EXPECT_EQ(e.flags, LAST);
    EXPECT_EQ(e.attributes, 9u);
    const unsigned char renamed[4] = {'F', 'I', 'L', 'E'};
    ASSERT_TRUE(vol.writeDataBlock(tarvos::QORB_CATALOGUE_OFFSET + 80, 4, renamed));
    ASSERT_TRUE(vol.getCatalogueEntry(1, e));
    EXPECT_EQ(std::string(e.name, 4), "file");
    for (const int outside : {-1, 2})
        EXPECT_FALSE(vol.getCatalogueEntry(outside, e)) << outside;
    vol.close();
    EXPECT_FALSE(vol.getCatalogueEntry(0, e));
}

TEST(GGroupOpen, CommentNormalisation)
{
    auto block = [](const std::string& text, unsigned char fill) {
        std::array<unsigned char, 256> b;
        b.fill(fill);
        std::memcpy(b.data(), text.data(), text.size());
        return b;
    };
    const std::string full(256, 'c');
    const struct {
        const char* what;
        std::array<unsigned char, 256> raw;
        std::string expected;  // all 257 bytes compared: text, then zeros
    } cases[] = {
        {"text then fill", block("abc", 0x1A), "abc"},
        {"fill first hides later text", block("\x1A" "later", 0x1A), ""},
        {"256 bytes without fill", block(full, 0x1A), full},
        {"a zero byte inside is kept", block(std::string("ab\0cd", 5), 0x1A), std::string("ab\0cd", 5)},
        {"fill inside the text is kept", block("a\x1A" "b", 0x1A), "a\x1A" "b"},
        {"only fill", block("", 0x1A), ""},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(dir / "v.qrb", volumeBytes({.rawComment = c.raw}));
        GGroup vol;
        ASSERT_EQ(vol.open((dir / "v.qrb").c_str()), GGroup::G_OK);
        char buffer[257];
        std::memset(buffer, 0x55, sizeof buffer);
        ASSERT_TRUE(vol.getCurFileComment(buffer));
        std::string expected = c.expected;
        expected.resize(257, '\0');
        EXPECT_EQ(std::string(buffer, 257), expected);
        EXPECT_FALSE(vol.getCurFileComment(nullptr));
    }
}

TEST(GGroupData, ReadsAndWritesByteRanges)
{
    TempDir dir;
    writeFile(dir / "v.qrb", smallVolume());
    GGroup vol;
    ASSERT_EQ(vol.open((dir / "v.qrb").c_str()), GGroup::G_OK);
    EXPECT_FALSE(vol.readOnly());
    const unsigned long start = dataStart(1);
    unsigned char buf[10] = {};

    EXPECT_FALSE(vol.getDataBlock(start, 0, buf));         // nothing asked, nothing done
    EXPECT_FALSE(vol.getDataBlock(start, 10, nullptr));
    EXPECT_FALSE(vol.getDataBlock(start + 5, 10, buf));    // past the end
    EXPECT_FALSE(vol.getDataBlock(0xFFFFFFFFFFFFul, 1, buf));
    ASSERT_TRUE(vol.getDataBlock(start, 10, buf));         // a failed read leaves the stream usable
    EXPECT_EQ(std::memcmp(buf, "0123456789", 10), 0);

    // Writes and reads alternate on one stream.
    ASSERT_TRUE(vol.writeDataBlock(start + 2, 3, reinterpret_cast<const unsigned char*>("abc")));
    ASSERT_TRUE(vol.getDataBlock(start, 10, buf));
    EXPECT_EQ(std::memcmp(buf, "01abc56789", 10), 0);
    EXPECT_FALSE(vol.writeDataBlock(start, 0, buf));
    EXPECT_FALSE(vol.writeDataBlock(start, 1, nullptr));
    vol.close();
    EXPECT_FALSE(vol.getDataBlock(start, 10, buf));
    EXPECT_FALSE(vol.writeDataBlock(start, 1, buf));

    const auto onDisk = readFile(dir / "v.qrb");
    EXPECT_EQ(std::string(onDisk.end() - 10, onDisk.end()), "01abc56789");
}

TEST(GGroupData, ReadOnlyOpeningNeverWrites)
{
    TempDir dir;
    writeFile(dir / "v.qrb", smallVolume());
    GGroup vol;
    ASSERT_EQ(vol.open((dir / "v.qrb").c_str(), true), GGroup::G_OK);
    EXPECT_TRUE(vol.readOnly());
    unsigned char buf[10];
    EXPECT_TRUE(vol.getDataBlock(dataStart(1), 10, buf));
    EXPECT_FALSE(vol.writeDataBlock(dataStart(1), 3, reinterpret_cast<const unsigned char*>("abc")));
    EXPECT_EQ(readFile(dir / "v.qrb"), smallVolume());
}

TEST(GGroupData, OpenClosesThePreviousVolume)
{
    TempDir dir;
    writeFile(dir / "a.qrb", smallVolume());
    GGroup vol;
    ASSERT_EQ(vol.open((dir / "a.qrb").c_str()), GGroup::G_OK);
    EXPECT_EQ(vol.open((dir / "missing.qrb").c_str()), GGroup::G_ERR_OPEN);
    EXPECT_FALSE(vol.valid());
    unsigned char buf[1];
    EXPECT_FALSE(vol.getDataBlock(dataStart(1), 1, buf));
}

TEST(GGroupData, FileStatusIsTheOpenHandles)
{
    TempDir dir;
    const auto path = dir / "v.qrb";
    writeFile(path, smallVolume());
    GGroup vol;
    tarvos::QORBFileStatus status{};
    EXPECT_FALSE(vol.getCurFileStatus(status));
    ASSERT_EQ(vol.open(path.c_str()), GGroup::G_OK);
    ASSERT_TRUE(vol.getCurFileStatus(status));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(status.device, static_cast<std::uint64_t>(st.st_dev));
    EXPECT_EQ(status.inode, static_cast<std::uint64_t>(st.st_ino));
    EXPECT_EQ(status.size, smallVolume().size());
    EXPECT_EQ(status.modifiedSeconds, st.st_mtim.tv_sec);
    EXPECT_EQ(status.modifiedNanoseconds, st.st_mtim.tv_nsec);

    // Another file renamed over the path: the handle still names the file it opened.
    writeFile(dir / "other.qrb", smallVolume());
    std::filesystem::rename(dir / "other.qrb", path);
    tarvos::QORBFileStatus after{};
    ASSERT_TRUE(vol.getCurFileStatus(after));
    EXPECT_EQ(after.inode, status.inode);
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_NE(static_cast<std::uint64_t>(st.st_ino), status.inode);
    vol.close();
    EXPECT_FALSE(vol.getCurFileStatus(after));
}
