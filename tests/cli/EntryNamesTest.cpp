// One rule for entry names: the same table of names through the desktop
// program's rename (its dialog and the document), korvix-cli rename and pack.
#include "FakeHost.h"
#include "RunCli.h"
#include "VolumeBuilder.h"

#include "common/MessageTable.h"
#include "document/CKestrelDoc.h"
#include "document/EntryNameRule.h"

#include <gtest/gtest.h>

using namespace testsupport;
namespace fs = std::filesystem;
using Refusal = EntryNameRule::Refusal;

namespace {

void writeText(const fs::path& p, const std::string& text)
{
    fs::create_directories(p.parent_path());
    writeFile(p, std::vector<unsigned char>(text.begin(), text.end()));
}

struct NameCase {
    std::string name;  // UTF-8, the new name of "a.txt"
    Refusal refusal;
    std::string takenBy;  // the sibling that has the name
    bool packable;        // the name can be a file name on this system
};

const NameCase CASES[] = {
    {"", Refusal::Empty, "", false},
    {std::string(65, 'n'), Refusal::TooLong, "", true},
    {"snow\xE2\x82\xAC.tex", Refusal::Characters, "", true},  // the euro sign is not in ISO-8859-1
    {"trailing ", Refusal::TrailingBlank, "", true},
    {"x/y", Refusal::Separator, "", false},
    {"x\\y", Refusal::Separator, "", true},
    {".", Refusal::DotName, "", false},
    {"..", Refusal::DotName, "", false},
    {"c:d.txt", Refusal::NotExtractable, "", true},
    {"NUL.txt", Refusal::NotExtractable, "", true},
    {"com1", Refusal::NotExtractable, "", true},
    {"b.TXT", Refusal::Taken, "B.txt", true},  // a sibling's name in another case
    {"D", Refusal::Taken, "d", true},          // a sibling directory's
    // Allowed: its own name in another case, a name taken in another
    // directory only, ISO-8859-1 letters, 64 characters, a leading blank.
    {"A.TXT", Refusal::None, "", true},
    {"c.txt", Refusal::None, "", true},
    {"\xC3\x84pfel.tex", Refusal::None, "", true},
    {std::string(64, 'n'), Refusal::None, "", true},
    {" lead", Refusal::None, "", true},
};

// a.txt, B.txt and d/c.txt, packed.
void packSample(const TempDir& dir, const fs::path& volume)
{
    writeText(dir / "in" / "a.txt", "a");
    writeText(dir / "in" / "B.txt", "b");
    writeText(dir / "in" / "d" / "c.txt", "c");
    ASSERT_EQ(runCli({"pack", (dir / "in").string(), volume.string()}).code, 0);
}

}  // namespace

TEST(EntryNames, OneTableThroughTheDesktopRenameKorvixCliRenameAndPack)
{
    for (const NameCase& c : CASES) {
        SCOPED_TRACE(c.name);
        const bool allowed = c.refusal == Refusal::None;
        const korvix::Language documentLanguage = korvix::MessageTable::language();
        const std::string reason = EntryNameRule::describe(c.refusal, c.takenBy, documentLanguage);
        TempDir dir;
        const fs::path volume = dir / "v.qrb";
        packSample(dir, volume);
        const auto before = readFile(volume);

        // The desktop program: the dialog shows the reason and stays open; the
        // document refuses the same name when it is called without the dialog.
        {
            FakeHost host;
            CKestrelDoc doc(host);
            ASSERT_TRUE(doc.openFile(volume.string(), false));
            const int a = *doc.catalogue().find("a.txt");
            EXPECT_EQ(EntryNameRule::checkRename(doc.catalogue(), a, c.name).refusal, c.refusal);
            host.renames = {c.name, std::nullopt};
            const bool renamed = doc.renameCommand(a, "a.txt", false);
            EXPECT_EQ(renamed, allowed && c.name != "a.txt");
            EXPECT_EQ(host.renameRefusals, allowed ? std::vector<std::string>{} : std::vector<std::string>{reason});
            if (!allowed) {
                EXPECT_FALSE(doc.renameEntry(a, c.name, false));
                EXPECT_EQ(host.messages.back().text, reason);
                EXPECT_EQ(readFile(volume), before);
            }
        }

        // korvix-cli rename, on the file as packed.
        writeFile(volume, before);
        const auto r = runCli({"rename", volume.string(), "a.txt", c.name});
        EXPECT_EQ(r.code, allowed ? 0 : 1) << r.err;
        if (!allowed) {
            EXPECT_NE(r.err.find("rename: " + volume.string() + ": " + reason), std::string::npos) << r.err;
            EXPECT_EQ(readFile(volume), before);
        }

        // pack, with a file of that name beside B.txt and d.
        if (c.packable) {
            writeText(dir / "in" / c.name, "new");
            fs::remove(dir / "in" / "a.txt");
            const fs::path packed = dir / "p.qrb";
            const auto p = runCli({"pack", (dir / "in").string(), packed.string()});
            EXPECT_EQ(p.code, allowed ? 0 : 1) << p.err;
            if (!allowed) {
                // Of two names that clash, pack names the one it met first.
                const auto said = [&](const std::string& takenBy) {
                    return p.err.find(EntryNameRule::describe(c.refusal, takenBy, korvix::Language::English))
                           != std::string::npos;
                };
                EXPECT_TRUE(said(c.takenBy) || (c.refusal == Refusal::Taken && said(c.name))) << p.err;
                EXPECT_FALSE(fs::exists(packed));
            }
        }
    }
}
