// The volume edit commands: each refusal writes nothing, each edit lands in place.
#include "RunCli.h"
#include "TextureBuilder.h"
#include "common/MessageTable.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace testsupport;
using korvix::MessageId;
using korvix::MessageTable;
using korvix::msg;

namespace {

struct EditCommands : ::testing::Test {
    TempDir dir;
    std::string volume = (dir / "v.qrb").string();
    std::vector<unsigned char> tex = textureBytes(8, 8, 2, 2);

    void SetUp() override
    {
        VolumeSpec spec;
        spec.timestamp = 0x5A8C6000;
        spec.entries = {{"data.bin", dataStart(2), 4, 0},
                        {"pic.TEX", dataStart(2) + 4, static_cast<std::uint32_t>(tex.size()), LAST}};
        spec.data = {'a', 'b', 'c', 'd'};
        spec.data.insert(spec.data.end(), tex.begin(), tex.end());
        writeFile(volume, volumeBytes(spec));
    }
};

}  // namespace

TEST_F(EditCommands, RefusalsWriteNothing)
{
    writeFile(dir / "five", {'1', '2', '3', '4', '5'});
    writeFile(dir / "image.tex", textureBytes(16, 16, 1, 2));
    const auto before = readFile(volume);
    const struct {
        std::vector<std::string> args;
        int code;
        const char* errHas;
    } cases[] = {
        {{"rename", volume, "data.bin", std::string(65, 'n')}, 1, "1 bis 64 Zeichen"},
        {{"rename", volume, "nothing", "x"}, 1, "no entry"},
        {{"set-comment", volume, std::string(257, 'c')}, 1, "256 Zeichen"},
        {{"set-timestamp", volume, "2108-01-01 00:00:00"}, 1, msg(MessageId::DosDateAfter2107)},
        {{"set-timestamp", volume, "1979-12-31 23:59:59"}, 1, "01.01.1980"},
        {{"set-timestamp", volume, "2023-02-29 12:00:00"}, 1, msg(MessageId::InvalidDate)},
        {{"set-timestamp", volume, "yesterday"}, 2, "YYYY-MM-DD"},
        {{"replace", volume, "data.bin", (dir / "five").string()}, 1, msg(MessageId::SizesDiffer)},
        {{"replace-image", volume, "data.bin", (dir / "image.tex").string(), "--yes"}, 1, "Nur Bilder"},
        {{"replace-image", volume, "pic.tex", (dir / "image.tex").string(), "--yes", "--quality", "ultra"}, 2,
         "--quality takes fast, default or best"},
    };
    for (const auto& c : cases) {
        const auto r = runCli(c.args);
        EXPECT_EQ(r.code, c.code) << c.args[0] << ": " << r.err;
        EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
    }
    // A missing or wrong replacement is named with the reason, not the volume.
    for (const char* command : {"replace", "replace-image"}) {
        auto r = runCli({command, volume, "data.bin", (dir / "missing.png").string()});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find(command + std::string(": ") + (dir / "missing.png").string() + ": No such file"),
                  std::string::npos) << r.err;
        r = runCli({command, volume, "data.bin", dir.path().string()});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("is a directory"), std::string::npos) << r.err;
    }
    // Without --yes the conversion is shown, nothing is written, and that is a success.
    const auto preview = runCli({"replace-image", volume, "pic.tex", (dir / "image.tex").string()});
    EXPECT_EQ(preview.code, 0) << preview.err;
    EXPECT_NE(preview.out.find("Ziel-Textur"), std::string::npos) << preview.out;
    EXPECT_EQ(readFile(volume), before);
}

TEST_F(EditCommands, EditsLandInPlace)
{
    const std::string four = (dir / "four").string();
    const std::string image = (dir / "image.tex").string();
    writeFile(four, {'w', 'x', 'y', 'z'});
    writeFile(image, textureBytes(16, 16, 1, 2, [](int, int, int) { return 0x80FF0000u; }));
    // Each edit says in one line what it wrote, on standard error, last.
    const struct {
        std::vector<std::string> args;
        std::string said;
    } edits[] = {
        {{"rename", volume, "DATA.BIN", "renamed"}, volume + ": renamed data.bin to renamed\n"},
        {{"replace", volume, "renamed", four}, volume + ": replaced renamed with " + four + " (4 bytes)\n"},
        {{"set-comment", volume, "Grüße"}, volume + ": wrote the comment (5 characters)\n"},
        {{"set-timestamp", volume, "2024-02-29 10:20:31"}, volume + ": set the timestamp to 2024-02-29 10:20:30\n"},
        {{"replace-image", volume, "pic.tex", image, "--yes"},
         volume + ": replaced pic.TEX with " + image + ", converted to the entry's format (" + std::to_string(tex.size())
             + " bytes)\n"},
    };
    for (const auto& e : edits) {
        const auto r = runCli(e.args);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, "");
        ASSERT_GE(r.err.size(), e.said.size()) << r.err;
        EXPECT_EQ(r.err.substr(r.err.size() - e.said.size()), e.said);
    }
    // --quiet: the same edits, the same bytes, not a word.
    const auto bytes = readFile(volume);
    SetUp();
    for (const auto& e : edits) {
        auto args = e.args;
        args.push_back("--quiet");
        const auto r = runCli(args);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out + r.err, "") << e.args[0];
    }
    EXPECT_EQ(readFile(volume), bytes);

    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "Gr\xFC\xDF" "e\x1A");
    EXPECT_EQ(bytes[280] | bytes[281] << 8, 10 << 11 | 20 << 5 | 15);
    EXPECT_EQ(bytes[282] | bytes[283] << 8, 44 << 9 | 2 << 5 | 29);
    EXPECT_EQ(std::string(bytes.begin() + 296, bytes.begin() + 296 + 8), "renamed ");
    EXPECT_EQ(std::string(bytes.begin() + dataStart(2), bytes.begin() + dataStart(2) + 4), "wxyz");
    // The picture was reduced to 8 x 8 with two maps in the entry's own format.
    const auto listed = runCli({"extract", volume, "pic.TEX", "-o", "-"});
    ASSERT_EQ(listed.out.size(), tex.size());
    EXPECT_EQ(static_cast<unsigned char>(listed.out[36 + 4 * 4 + 2]), 0xFF) << "red in the smallest map";
    EXPECT_EQ(static_cast<unsigned char>(listed.out[36 + 4 * 4 + 3]), 0x80) << "alpha kept";
}
