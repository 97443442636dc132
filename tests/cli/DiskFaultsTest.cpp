// Failing disks and paths the system cannot hold: a volume edit whose write
// fails leaves the old field whole, and extract-all refuses what it cannot
// create entry by entry instead of ending the run.
#include "FileSizeLimit.h"
#include "RunCli.h"
#include "TextureBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testsupport;
namespace fs = std::filesystem;

// Each edit's field straddles the limit, so the write lands in part: the old
// bytes must come back, and the command must say it failed.
TEST(WriteFaults, AFieldCutShortIsPutBackWhole)
{
    TempDir dir;
    const std::string volume = (dir / "v.qrb").string();
    VolumeSpec spec;
    spec.comment = "old comment";
    spec.timestamp = 0x5A8C6000;
    spec.entries = {{"data.bin", dataStart(1), 8, LAST}};
    spec.data = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
    writeFile(volume, volumeBytes(spec));
    writeFile(dir / "eight", {'1', '2', '3', '4', '5', '6', '7', '8'});
    const auto before = readFile(volume);
    const rlim_t nameField = tarvos::QORB_CATALOGUE_OFFSET;

    const struct {
        std::vector<std::string> args;
        rlim_t limit;
    } cases[] = {
        // The time word lands and the date word does not.
        {{"set-timestamp", volume, "2024-02-29 10:20:30"}, 282},
        {{"set-timestamp", volume, "2024-02-29 10:20:30"}, 281},
        {{"set-comment", volume, "a new comment"}, 5},
        {{"rename", volume, "data.bin", "renamed.bin"}, nameField + 4},
        {{"replace", volume, "data.bin", (dir / "eight").string()}, dataStart(1) + 3},
    };
    for (const auto& c : cases) {
        CliResult r{};
        {
            const FileSizeLimit limit(c.limit);
            r = runCli(c.args);
        }
        EXPECT_EQ(r.code, 1) << c.args[0] << " at " << c.limit;
        EXPECT_EQ(readFile(volume), before) << c.args[0] << " at " << c.limit;
    }
    // Without the limit the same edits land.
    EXPECT_EQ(runCli({"set-timestamp", volume, "2024-02-29 10:20:30"}).code, 0);
    EXPECT_NE(runCli({"info", volume}).out.find("2024-02-29 10:20:30"), std::string::npos);
}

// 64 directories of 64-character names nest deeper than a path may be long:
// the entries that do not fit are refused by name, the rest is written.
TEST(ExtractAll, APathTooLongForTheSystemIsRefusedByName)
{
    TempDir dir;
    VolumeSpec spec;
    constexpr int depth = 64;
    // Entry 0: the top-level file; entries 1..depth: the chain; depth + 1: the leaf.
    spec.entries.push_back({"beside.txt", 0, 1, 0});
    for (int i = 0; i < depth; ++i)
        spec.entries.push_back({std::string(64, static_cast<char>('a' + i % 26)), static_cast<std::uint32_t>(i + 2), 0,
                                DIR | LAST});
    spec.entries.push_back({"leaf.txt", 0, 1, LAST});
    for (auto& e : spec.entries)
        if (!(e.flags & DIR))
            e.offset = dataStart(spec.entries.size());
    spec.data = {'x'};
    writeFile(dir / "deep.qrb", volumeBytes(spec));

    const fs::path out = dir / "out";
    const auto r = runCli({"extract-all", (dir / "deep.qrb").string(), out.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("refused: the path cannot be used here (File name too long)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("1 entry not extracted"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(out / "beside.txt"));
    // Every directory that fits was made.
    std::size_t made = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(out, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        made += it->is_directory(ec) ? 1 : 0;
    EXPECT_GT(made, 40u);
    EXPECT_LT(made, static_cast<std::size_t>(depth));
}
