// The info pane's record of a hovered entry and its texts.
#include "document/EntryReadout.h"

#include <gtest/gtest.h>

TEST(EntryReadout, KindLabels)
{
    const struct {
        int kind;
        const char* label;
    } cases[] = {{1, "3D-Daten"},        {2, "Sound/Sprachsample"}, {3, "Textur"},
                 {4, "Unbekannt"},       {5, "Vorakis Archive"},    {6, "Animationsdaten"},
                 {7, "Schriftart"},      {8, "Visual SourceSafe File"}, {0, "Unbekannt"},
                 {9, "Unbekannt"},       {-3, "Unbekannt"}};
    for (const auto& c : cases)
        EXPECT_STREQ(EntryReadout::kindLabel(c.kind), c.label) << c.kind;
}

TEST(EntryReadout, FromRecordAndLines)
{
    EntryRecord r;
    r.name.assign("VSSVER.SCC");
    r.kind = entryKind(r.name);
    r.size = 3000000000u;  // beyond the signed range
    r.offset = 4096;
    const EntryReadout e = EntryReadout::fromRecord(r);
    EXPECT_STREQ(e.name.data(), "VSSVER.SCC");
    EXPECT_EQ(e.kind, KIND_SOURCE_SAFE);
    const auto lines = e.lines();
    EXPECT_EQ(lines[0], "VSSVER.SCC");
    EXPECT_EQ(lines[1], "G-Type: Visual SourceSafe File");
    EXPECT_EQ(lines[2], "Größe: 3000000000 Bytes");
    EXPECT_EQ(lines[3], "File-Offset: 4096");
}

TEST(EntryReadout, FullLengthAndLatin1Names)
{
    EntryRecord r;
    const std::string full(64, 'x');
    r.name.assign(full);
    EXPECT_EQ(EntryReadout::fromRecord(r).nameUtf8(), full) << "a 64-character name is shown whole";
    r.name.assign("gr\xFC\xDF.tex");
    EXPECT_EQ(EntryReadout::fromRecord(r).nameUtf8(), "grüß.tex");
    // A longer name leaves no bytes of the previous one behind.
    EXPECT_EQ(EntryReadout::fromRecord(r).name[8], '\0');
}
