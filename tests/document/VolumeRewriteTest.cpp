// Rewriting a volume: every kind of change, checked by walking the new
// catalogue; refused changes; and every way the rewrite can fail, each of
// which must leave the volume byte for byte as it was and no file behind.
#include "FileSizeLimit.h"
#include "VolumeBuilder.h"

#include "common/MessageTable.h"
#include "document/CatalogueTree.h"
#include "document/EntryCatalogue.h"
#include "document/RewritePlan.h"
#include "document/VolumeRewrite.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;
namespace fs = std::filesystem;
using Status = RewriteResult::Status;

namespace {

// textures/ (a.tex, c.tex), sounds/ (b.wav), readme.txt; other flag bits,
// attributes, reserved fields and the signature's tail set, so that keeping
// them shows.
std::vector<unsigned char> sampleVolume()
{
    VolumeSpec spec;
    spec.comment = "old comment";
    spec.timestamp = 0x5A8C6000;
    spec.signatureTail = {1, 2, 3, 4};
    const std::uint32_t d = dataStart(6);
    spec.entries = {{"textures", 3, 0, DIR | 0x1, 7},
                    {"sounds", 5, 0, DIR, 0},
                    {"readme.txt", d, 8, LAST, 0x20},
                    {"a.tex", d + 8, 4, 0, 1},
                    {"c.tex", d + 12, 6, LAST, 0},
                    {"b.wav", d + 18, 2, LAST | 0x2, 0}};
    const std::string data = "read me!AAAACCCCCCBB";
    spec.data.assign(data.begin(), data.end());
    auto bytes = volumeBytes(spec);
    put32(bytes.data() + 284, 0x11111111);
    put32(bytes.data() + 288, 0x22222222);
    put32(bytes.data() + 292, 0x33333333);
    return bytes;
}

// The volume as a reader sees it: a head line, then one line per catalogue
// entry in catalogue order: index, path, flags, attributes and data.
std::vector<std::string> snapshot(const fs::path& path)
{
    tarvos::GGroup group;
    if (group.open(path.c_str(), true) != tarvos::GGroup::G_OK)
        return {"cannot open"};
    tarvos::QORBHeader header{};
    group.getCurQORBHeader(header);
    std::vector<unsigned char> head(296);
    group.getDataBlock(0, 296, head.data());
    char comment[257] = {};
    group.getCurFileComment(comment);
    char line[256];
    std::snprintf(line, sizeof line, "%s|%08X|%02X%02X%02X%02X|%08X %08X %08X|%u entries, %u files", comment,
                  header.timestamp, head[268], head[269], head[270], head[271], header.reserved0, header.reserved1,
                  header.reserved2, header.entryCount, header.fileCount);
    std::vector<std::string> out{line};
    CatalogueTree tree;
    tree.walk(group, header.entryCount);
    if (tree.walkOrder().size() != header.entryCount)
        out.push_back("walk reaches " + std::to_string(tree.walkOrder().size()));
    const auto nameOf = [&](int i) {
        tarvos::QORBEntry e{};
        group.getCatalogueEntry(i, e);
        return std::string(EntryCatalogue::nameOf(e).view());
    };
    for (std::uint32_t i = 0; i < header.entryCount; ++i) {
        tarvos::QORBEntry e{};
        group.getCatalogueEntry(static_cast<int>(i), e);
        const bool dir = e.flags & DIR;
        std::string data;
        if (!dir && e.size > 0) {
            data.resize(e.size);
            if (!group.getDataBlock(e.offset, e.size, reinterpret_cast<unsigned char*>(data.data())))
                data = "<unreadable>";
        }
        std::snprintf(line, sizeof line, "%u %s%s %08X %X %s", i, cataloguePath(tree, static_cast<int>(i), nameOf).c_str(),
                      dir ? "/" : "", e.flags, e.attributes, data.c_str());
        out.push_back(line);
    }
    return out;
}

// A volume opened as the command line opens it: its walk, its identity, a plan.
struct Opened {
    tarvos::GGroup group;
    CatalogueTree tree;
    VolumeIdentity identity;
    RewritePlan plan;

    explicit Opened(const fs::path& path)
    {
        EXPECT_EQ(group.open(path.c_str(), true), tarvos::GGroup::G_OK);
        tarvos::QORBHeader header{};
        group.getCurQORBHeader(header);
        EXPECT_TRUE(tree.walk(group, header.entryCount));
        EXPECT_TRUE(identity.record(path.string(), group));
        EXPECT_TRUE(plan.load(group, tree)) << plan.failure();
    }
    void apply(const std::vector<VolumeChange>& changes)
    {
        for (const VolumeChange& c : changes) {
            const ChangeOutcome o = plan.apply(c);
            EXPECT_TRUE(o.ok()) << o.refusal;
        }
    }
    RewriteResult rewrite(const RewriteOptions& options = {}) { return rewriteVolume(group, identity, plan, options); }
};

std::set<std::string> filesIn(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

struct Rewrite : ::testing::Test {
    TempDir dir;
    fs::path volume = dir / "v.qrb";
    void SetUp() override
    {
        writeFile(volume, sampleVolume());
        writeFile(dir / "long", {'l', 'o', 'n', 'g', 'e', 'r', ' ', 'A'});
        writeFile(dir / "bee", {'b', 'e', 'e'});
        writeFile(dir / "x", {'x'});
    }
    std::string file(const char* name) const { return (dir / name).string(); }
};

const std::string HEAD = "old comment|5A8C6000|01020304|11111111 22222222 33333333";

}  // namespace

TEST_F(Rewrite, EveryKindOfChangeIsWrittenAndTheRestKept)
{
    const std::vector<std::string> unchangedEntries = {
        "0 textures/ 80000001 7 ",          "1 sounds/ 80000000 0 ",
        "2 readme.txt 40000000 20 read me!", "3 textures/a.tex 00000000 1 AAAA",
        "4 textures/c.tex 40000000 0 CCCCCC", "5 sounds/b.wav 40000002 0 BB"};
    const auto withHead = [](const std::string& head, std::vector<std::string> entries) {
        entries.insert(entries.begin(), head);
        return entries;
    };
    const struct {
        const char* what;
        std::vector<VolumeChange> changes;
        std::vector<std::string> expected;
    } cases[] = {
        {"replace at another size",
         {VolumeChange::put("textures/A.TEX", file("long"))},
         {HEAD + "|6 entries, 4 files", "0 textures/ 80000001 7 ", "1 sounds/ 80000000 0 ",
          "2 readme.txt 40000000 20 read me!", "3 textures/a.tex 00000000 1 longer A",
          "4 textures/c.tex 40000000 0 CCCCCC", "5 sounds/b.wav 40000002 0 BB"}},
        {"add where pack would put it",
         {VolumeChange::put("textures/b.tex", file("bee"))},
         {HEAD + "|7 entries, 5 files", "0 textures/ 80000001 7 ", "1 sounds/ 80000000 0 ",
          "2 readme.txt 40000000 20 read me!", "3 textures/a.tex 00000000 1 AAAA", "4 textures/b.tex 00000000 0 bee",
          "5 textures/c.tex 40000000 0 CCCCCC", "6 sounds/b.wav 40000002 0 BB"}},
        // New lists follow those of the volume, breadth-first.
        {"add with the directories it needs",
         {VolumeChange::put("zz/deep/x.bin", file("x"))},
         {HEAD + "|9 entries, 5 files", "0 textures/ 80000001 7 ", "1 sounds/ 80000000 0 ",
          "2 readme.txt 00000000 20 read me!", "3 zz/ C0000000 0 ", "4 textures/a.tex 00000000 1 AAAA",
          "5 textures/c.tex 40000000 0 CCCCCC", "6 sounds/b.wav 40000002 0 BB", "7 zz/deep/ C0000000 0 ",
          "8 zz/deep/x.bin 40000000 0 x"}},
        {"delete a file and the directory it leaves empty",
         {VolumeChange::remove("sounds/b.wav")},
         {HEAD + "|4 entries, 3 files", "0 textures/ 80000001 7 ", "1 readme.txt 40000000 20 read me!",
          "2 textures/a.tex 00000000 1 AAAA", "3 textures/c.tex 40000000 0 CCCCCC"}},
        {"delete a directory with everything below it",
         {VolumeChange::remove("#0")},
         {HEAD + "|3 entries, 2 files", "0 sounds/ 80000000 0 ", "1 readme.txt 40000000 20 read me!",
          "2 sounds/b.wav 40000002 0 BB"}},
        {"rename, then name the entry by its new path and by its index",
         {VolumeChange::rename("textures", "tex"), VolumeChange::put("tex/c.tex", file("bee")),
          VolumeChange::rename("#3", "a2.tex")},
         {HEAD + "|6 entries, 4 files", "0 tex/ 80000001 7 ", "1 sounds/ 80000000 0 ",
          "2 readme.txt 40000000 20 read me!", "3 tex/a2.tex 00000000 1 AAAA", "4 tex/c.tex 40000000 0 bee",
          "5 sounds/b.wav 40000002 0 BB"}},
        // The time is stored in two-second steps.
        {"comment and timestamp",
         {VolumeChange::comment("a new comment"), VolumeChange::timestamp({2024, 2, 29, 10, 20, 31})},
         withHead("a new comment|585D528F|01020304|11111111 22222222 33333333|6 entries, 4 files", unchangedEntries)},
        {"delete everything",
         {VolumeChange::remove("textures"), VolumeChange::remove("sounds"), VolumeChange::remove("readme.txt")},
         {HEAD + "|0 entries, 0 files"}},
        {"nothing", {}, withHead(HEAD + "|6 entries, 4 files", unchangedEntries)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(volume, sampleVolume());
        Opened v(volume);
        v.apply(c.changes);
        const RewriteResult r = v.rewrite();
        ASSERT_TRUE(r.ok()) << r.file << ": " << r.detail;
        EXPECT_EQ(snapshot(volume), c.expected);
        EXPECT_EQ(r.size, fs::file_size(volume));
    }
    // Unchanged, the volume is written as it was, byte for byte.
    writeFile(volume, sampleVolume());
    ASSERT_TRUE(Opened(volume).rewrite().ok());
    EXPECT_EQ(readFile(volume), sampleVolume());
}

// A full disk anywhere in the new file, with and without the kernel's copy,
// and every later step failing: the volume stays as it was, nothing is left.
TEST_F(Rewrite, AFailureAtAnyStepLeavesTheVolumeAsItWasAndNothingBehind)
{
    const auto before = readFile(volume);
    const std::set<std::string> files = filesIn(dir.path());
    const rlim_t head = 100, catalogue = 300, data = dataStart(6) + 10;
    const struct {
        const char* what;
        rlim_t limit;  // 0: none
        std::set<RewriteFault> faults;
        bool cancel;
        Status status;
    } cases[] = {
        {"disk full in the comment block", head, {}, false, Status::Failed},
        {"disk full in the catalogue", catalogue, {}, false, Status::Failed},
        {"disk full in the data", data, {}, false, Status::Failed},
        {"disk full in the data, without copy_file_range", data, {RewriteFault::NoCopyFileRange}, false, Status::Failed},
        {"a byte comes back wrong", 0, {RewriteFault::CorruptWritten}, false, Status::Failed},
        {"the sync fails", 0, {RewriteFault::Sync}, false, Status::Failed},
        {"the backup cannot be made", 0, {RewriteFault::Backup}, false, Status::Failed},
        {"the rename fails after the backup was made", 0, {RewriteFault::Replace}, false, Status::Failed},
        {"cancelled", 0, {}, true, Status::Cancelled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Opened v(volume);
        v.apply({VolumeChange::put("textures/a.tex", file("long")), VolumeChange::put("new.bin", file("bee"))});
        std::atomic<bool> cancel{false};
        RewriteOptions options;
        options.backup = true;
        options.fault = [&](RewriteFault f) { return c.faults.count(f) > 0; };
        options.cancel = &cancel;
        options.progress = [&](const RewriteProgress& p) {
            if (c.cancel && p.bytesDone > 0)
                cancel = true;
        };
        RewriteResult r;
        if (c.limit > 0) {
            const FileSizeLimit limit(c.limit);
            r = v.rewrite(options);
        } else {
            r = v.rewrite(options);
        }
        EXPECT_EQ(r.status, c.status) << r.detail;
        EXPECT_FALSE(r.detail.empty());
        EXPECT_EQ(readFile(volume), before);
        EXPECT_EQ(filesIn(dir.path()), files);
    }
    // The mismatch names the entry that came back wrong.
    Opened v(volume);
    v.apply({VolumeChange::put("textures/a.tex", file("long"))});
    RewriteOptions corrupt;
    corrupt.fault = [](RewriteFault f) { return f == RewriteFault::CorruptWritten; };
    EXPECT_NE(v.rewrite(corrupt).detail.find("readme.txt"), std::string::npos);
}

// Without copy_file_range the data goes through a buffer, to the same bytes.
TEST_F(Rewrite, WithoutTheKernelsCopyTheSameVolumeIsWritten)
{
    const auto expected = [&] {
        TempDir other;
        fs::copy_file(volume, other / "v.qrb");
        Opened v(other / "v.qrb");
        v.apply({VolumeChange::put("textures/a.tex", file("long")), VolumeChange::remove("readme.txt")});
        EXPECT_TRUE(v.rewrite().ok());
        return readFile(other / "v.qrb");
    }();
    Opened v(volume);
    v.apply({VolumeChange::put("textures/a.tex", file("long")), VolumeChange::remove("readme.txt")});
    RewriteOptions options;
    options.fault = [](RewriteFault f) { return f == RewriteFault::NoCopyFileRange; };
    ASSERT_TRUE(v.rewrite(options).ok());
    EXPECT_EQ(readFile(volume), expected);
}

TEST_F(Rewrite, AVolumeChangedOnDiskIsRefused)
{
    const auto other = [&] {
        auto bytes = sampleVolume();
        bytes[0] = 'N';
        return bytes;
    }();
    // Written into, and replaced by another file renamed over it.
    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "replaced" : "written into");
        writeFile(volume, sampleVolume());
        Opened v(volume);
        v.apply({VolumeChange::remove("readme.txt")});
        if (replaced) {
            writeFile(dir / "other", other);
            fs::rename(dir / "other", volume);
        } else {
            std::FILE* f = std::fopen(volume.c_str(), "r+b");
            std::fputc('N', f);
            std::fclose(f);
        }
        const RewriteResult r = v.rewrite();
        EXPECT_EQ(r.status, Status::Changed);
        EXPECT_NE(r.detail.find(korvix::msg(korvix::MessageId::NothingWritten)), std::string::npos) << r.detail;
        EXPECT_EQ(readFile(volume), other);
    }
}

// The new volume keeps the old one's permissions; the backup is the volume as
// it was, replaced by the next rewrite's; a link leads to the file rewritten.
TEST_F(Rewrite, PermissionsBackupAndLinks)
{
    fs::permissions(volume, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const auto first = readFile(volume);
    RewriteOptions backup;
    backup.backup = true;
    {
        Opened v(volume);
        v.apply({VolumeChange::remove("sounds")});
        const RewriteResult r = v.rewrite(backup);
        ASSERT_TRUE(r.ok()) << r.detail;
        EXPECT_EQ(r.backupPath, volume.string() + ".bak");
    }
    EXPECT_EQ(fs::status(volume).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(readFile(dir / "v.qrb.bak"), first);
    const auto second = readFile(volume);
    {
        Opened v(volume);
        v.apply({VolumeChange::comment("third")});
        ASSERT_TRUE(v.rewrite(backup).ok());
    }
    EXPECT_EQ(readFile(dir / "v.qrb.bak"), second);
    EXPECT_EQ(snapshot(volume)[0].substr(0, 6), "third|");

    // Through a link: the file it leads to is rewritten, the link stays a link.
    fs::create_symlink(volume, dir / "link.qrb");
    {
        Opened v(dir / "link.qrb");
        v.apply({VolumeChange::comment("fourth")});
        const RewriteResult r = v.rewrite();
        ASSERT_TRUE(r.ok()) << r.detail;
        EXPECT_EQ(r.written, fs::canonical(volume).string());
    }
    EXPECT_TRUE(fs::is_symlink(dir / "link.qrb"));
    EXPECT_EQ(snapshot(volume)[0].substr(0, 7), "fourth|");
}

// A change that cannot be made is refused with its reason and changes nothing.
TEST_F(Rewrite, RefusedChangesLeaveThePlanAsItWas)
{
    fs::create_directory(dir / "folder");
    const std::string tooLong(65, 'n');
    const struct {
        VolumeChange change;
        const char* says;
    } cases[] = {
        {VolumeChange::remove("textures/none.tex"), "textures/none.tex"},
        {VolumeChange::remove("#6"), "6"},
        {VolumeChange::remove("#x1"), "#x1"},
        {VolumeChange::remove("/"), ""},
        {VolumeChange::put("textures", file("x")), "textures"},
        {VolumeChange::put("#1", file("x")), "sounds"},
        {VolumeChange::put("readme.txt/inside.bin", file("x")), "readme.txt"},
        {VolumeChange::put("textures/" + tooLong, file("x")), tooLong.c_str()},
        {VolumeChange::put("textures/bad ", file("x")), "bad "},
        {VolumeChange::put("textures/con.tex", file("x")), "con.tex"},
        {VolumeChange::put("textures/€.tex", file("x")), "€.tex"},
        {VolumeChange::put("textures/new.tex", file("missing")), ""},
        {VolumeChange::put("textures/new.tex", file("folder")), ""},
        {VolumeChange::rename("textures/a.tex", "C.TEX"), "c.tex"},
        {VolumeChange::rename("textures/a.tex", "a/b"), "a/b"},
        {VolumeChange::comment(std::string(257, 'c')), ""},
        {VolumeChange::comment("fill\x1A"), ""},
        {VolumeChange::timestamp({2108, 1, 1, 0, 0, 0}), "2107"},
        {VolumeChange::timestamp({2023, 2, 29, 0, 0, 0}), ""},
    };
    Opened v(volume);
    const auto before = v.plan.layout(fs::file_size(volume)).head;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change.entry + " " + c.change.value);
        const ChangeOutcome o = v.plan.apply(c.change);
        EXPECT_FALSE(o.ok());
        EXPECT_NE(o.refusal.find(c.says), std::string::npos) << o.refusal;
    }
    EXPECT_EQ(v.plan.changeCount(), 0u);
    EXPECT_EQ(v.plan.layout(fs::file_size(volume)).head, before);
    // A deleted entry's index names nothing any more.
    ASSERT_TRUE(v.plan.apply(VolumeChange::remove("#3")).ok());
    EXPECT_NE(v.plan.apply(VolumeChange::rename("#3", "z")).refusal.find("#3"), std::string::npos);
}

// What a change reports is what a confirmation and a dry run show.
TEST_F(Rewrite, ReportsSayWhatEachChangeDoes)
{
    Opened v(volume);
    using Effect = ChangeReport::Effect;
    ChangeOutcome o = v.plan.apply(VolumeChange::put("textures/a.tex", file("long")));
    EXPECT_EQ(o.report.effect, Effect::Replaced);
    EXPECT_EQ(o.report.oldSize, 4u);
    EXPECT_EQ(o.report.newSize, 8u);
    o = v.plan.apply(VolumeChange::put("new/dir/x.bin", file("x")));
    EXPECT_EQ(o.report.effect, Effect::Added);
    EXPECT_EQ(o.report.path, "new/dir/x.bin");
    EXPECT_EQ(o.report.madeDirectories, (std::vector<std::string>{"new", "new/dir"}));
    o = v.plan.apply(VolumeChange::remove("new/dir/x.bin"));
    EXPECT_EQ(o.report.effect, Effect::Deleted);
    EXPECT_EQ(o.report.emptiedDirectories, (std::vector<std::string>{"new/dir", "new"}));
    o = v.plan.apply(VolumeChange::remove("textures"));
    EXPECT_TRUE(o.report.directory);
    EXPECT_EQ(o.report.files, 2u);
    EXPECT_EQ(o.report.oldSize, 14u);
    o = v.plan.apply(VolumeChange::rename("sounds/b.wav", "B.ogg"));
    EXPECT_EQ(o.report.path + " " + o.report.newPath, "sounds/b.wav sounds/B.ogg");
    o = v.plan.apply(VolumeChange::comment("neu"));
    EXPECT_EQ(o.report.oldText + ">" + o.report.newText, "old comment>neu");
    o = v.plan.apply(VolumeChange::timestamp({2001, 2, 3, 4, 5, 7}));
    EXPECT_EQ(o.report.oldText + ">" + o.report.newText, "2025-04-12 12:00:00>2001-02-03 04:05:06");
}

// An entry whose data the volume lacks cannot be copied: the rewrite says so
// before writing, unless a change deletes or replaces it.
TEST_F(Rewrite, AnEntryWhoseDataIsMissingIsRefusedUnlessChanged)
{
    auto bytes = sampleVolume();
    bytes.resize(bytes.size() - 1);  // b.wav loses its last byte
    writeFile(volume, bytes);
    {
        Opened v(volume);
        v.apply({VolumeChange::remove("readme.txt")});
        const RewriteResult r = v.rewrite();
        EXPECT_EQ(r.status, Status::Refused);
        EXPECT_NE(r.detail.find("sounds/b.wav"), std::string::npos) << r.detail;
        EXPECT_EQ(readFile(volume), bytes);
    }
    Opened v(volume);
    v.apply({VolumeChange::put("sounds/b.wav", file("bee"))});
    EXPECT_TRUE(v.rewrite().ok());
}
