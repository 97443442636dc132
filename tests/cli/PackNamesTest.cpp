// What pack leaves out and how it stamps a volume, and what extract keeps.
#include "RunCli.h"
#include "VolumeBuilder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

void writeText(const fs::path& p, const std::string& text)
{
    fs::create_directories(p.parent_path());
    writeFile(p, std::vector<unsigned char>(text.begin(), text.end()));
}

// The entries' paths of a volume, in walk order.
std::vector<std::string> paths(const fs::path& volume)
{
    const auto r = runCli({"list", volume.string(), "--json"});
    EXPECT_EQ(r.code, 0) << r.err;
    std::vector<std::string> out;
    const auto doc = nlohmann::json::parse(r.out);
    for (const auto& e : doc["entries"])
        out.push_back(e["path"]);
    std::sort(out.begin(), out.end());
    return out;
}

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { m_old ? setenv(m_name, m_old->c_str(), 1) : unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

}  // namespace

TEST(PackNames, ExcludeGlobsOnNamesAndPaths)
{
    TempDir dir;
    writeText(dir / "in" / "keep.tex", "k");
    writeText(dir / "in" / "notes.bak", "b");
    writeText(dir / "in" / "sub" / "old.bak", "b");
    writeText(dir / "in" / "sub" / "keep.txt", "k");
    writeText(dir / "in" / "tmp" / "x.txt", "x");
    writeText(dir / "in" / "other" / "tmp" / "y.txt", "y");
    const auto r = runCli({"pack", (dir / "in").string(), (dir / "v.qrb").string(), "--exclude", "*.bak",
                           "--exclude=tmp/*"});
    ASSERT_EQ(r.code, 0) << r.err;
    // A pattern with '/' matches the path from DIR only: other/tmp stays.
    EXPECT_EQ(paths(dir / "v.qrb"), (std::vector<std::string>{"keep.tex", "other", "other/tmp", "other/tmp/y.txt",
                                                              "sub", "sub/keep.txt"}));
}

TEST(PackNames, DryRunListsAndWritesNothing)
{
    TempDir dir;
    writeText(dir / "in" / "a.txt", "12345");
    writeText(dir / "in" / "d" / "b.txt", "1");
    const auto r = runCli({"pack", (dir / "in").string(), (dir / "v.qrb").string(), "--dry-run"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_FALSE(fs::exists(dir / "v.qrb"));
    EXPECT_NE(r.out.find("5  a.txt"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1  d/b.txt"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3 entries (2 files)"), std::string::npos) << r.out;
}

TEST(PackNames, SymbolicLinksAreLeftOutUnlessFollowed)
{
    TempDir dir;
    writeText(dir / "target" / "t.txt", "target");
    writeText(dir / "in" / "real.txt", "real");
    fs::create_symlink(dir / "target" / "t.txt", dir / "in" / "file-link");
    fs::create_directory_symlink(dir / "target", dir / "in" / "dir-link");

    auto r = runCli({"pack", (dir / "in").string(), (dir / "v.qrb").string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("symbolic link left out"), std::string::npos) << r.err;
    EXPECT_EQ(paths(dir / "v.qrb"), (std::vector<std::string>{"real.txt"}));

    r = runCli({"pack", (dir / "in").string(), (dir / "v.qrb").string(), "--follow-links"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(paths(dir / "v.qrb"), (std::vector<std::string>{"dir-link", "dir-link/t.txt", "file-link", "real.txt"}));

    // A followed link back up the tree is refused, not walked for ever.
    fs::create_directory_symlink(dir / "in", dir / "in" / "loop");
    r = runCli({"pack", (dir / "in").string(), (dir / "w.qrb").string(), "--follow-links"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("leads back"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "w.qrb"));
}

TEST(PackNames, TimestampFormsAndSourceDateEpoch)
{
    TempDir dir;
    writeText(dir / "in" / "a.txt", "a");
    const auto timestampOf = [&](const fs::path& volume) {
        return nlohmann::json::parse(runCli({"info", volume.string(), "--json"}).out)["timestampIso"];
    };
    const std::string in = (dir / "in").string(), out = (dir / "v.qrb").string();
    {
        const ScopedEnv epoch("SOURCE_DATE_EPOCH", nullptr);
        ASSERT_EQ(runCli({"pack", in, out, "--timestamp", "2026-12-09T12:00:01"}).code, 0);
        EXPECT_EQ(timestampOf(out), "2026-12-09T12:00:00");
        ASSERT_EQ(runCli({"pack", in, out, "--timestamp", "now"}).code, 0);
        EXPECT_TRUE(timestampOf(out).is_string());
        EXPECT_EQ(runCli({"pack", in, out, "--timestamp", "2026-12-09X12:00:00"}).code, 2);
    }
    {
        // 2026-12-09 12:00:00 UTC, whatever the local time zone.
        const ScopedEnv epoch("SOURCE_DATE_EPOCH", "1796817600");
        const ScopedEnv tz("TZ", "America/New_York");
        ASSERT_EQ(runCli({"pack", in, out}).code, 0);
        EXPECT_EQ(timestampOf(out), "2026-12-09T12:00:00");
        const auto first = readFile(out);
        ASSERT_EQ(runCli({"pack", in, (dir / "again.qrb").string()}).code, 0);
        EXPECT_EQ(readFile(dir / "again.qrb"), first) << "the same tree packs into the same bytes";
        // --timestamp still wins.
        ASSERT_EQ(runCli({"pack", in, out, "--timestamp", "2000-01-01 00:00:00"}).code, 0);
        EXPECT_EQ(timestampOf(out), "2000-01-01T00:00:00");
    }
    {
        const ScopedEnv epoch("SOURCE_DATE_EPOCH", "yesterday");
        EXPECT_EQ(runCli({"pack", in, out}).code, 2);
    }
}

TEST(ExtractNames, KeepsAnExistingFileUnlessForced)
{
    TempDir dir;
    writeText(dir / "in" / "a.txt", "new");
    const std::string volume = (dir / "v.qrb").string();
    ASSERT_EQ(runCli({"pack", (dir / "in").string(), volume}).code, 0);
    writeText(dir / "out.txt", "mine");
    auto r = runCli({"extract", volume, "a.txt", "-o", (dir / "out.txt").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(dir / "out.txt"), (std::vector<unsigned char>{'m', 'i', 'n', 'e'}));
    r = runCli({"extract", volume, "a.txt", "-o", (dir / "out.txt").string(), "--force"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readFile(dir / "out.txt"), (std::vector<unsigned char>{'n', 'e', 'w'}));
}
