// The info pane's record of a hovered entry and its texts.
#include "common/MessageTable.h"
#include "document/EntryReadout.h"

#include <gtest/gtest.h>

using korvix::MessageId;
using korvix::MessageTable;
using korvix::msg;

TEST(EntryReadout, KindLabels)
{
    const struct {
        int kind;
        MessageId label;
    } cases[] = {{1, MessageId::KindModelSound}, {2, MessageId::KindWave},   {3, MessageId::KindImage},
                 {4, MessageId::KindUnknown},    {5, MessageId::KindQlx},    {6, MessageId::KindModel},
                 {7, MessageId::KindFont},       {8, MessageId::KindSourceSafe}, {0, MessageId::KindUnknown},
                 {9, MessageId::KindUnknown},    {-3, MessageId::KindUnknown}};
    for (const auto& c : cases)
        EXPECT_STREQ(EntryReadout::kindLabel(c.kind), msg(c.label)) << c.kind;
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
    EXPECT_EQ(lines[1], MessageTable::format(MessageId::EntryTypeFormat, msg(MessageId::KindSourceSafe)));
    EXPECT_EQ(lines[2], MessageTable::format(MessageId::EntrySizeFormat, 3000000000u));
    EXPECT_EQ(lines[3], MessageTable::format(MessageId::EntryOffsetFormat, 4096u));
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
