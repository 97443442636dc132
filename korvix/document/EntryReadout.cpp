#include "document/EntryReadout.h"

#include "common/MessageTable.h"
#include "common/Text.h"

#include <algorithm>
#include <cstring>

EntryReadout EntryReadout::fromRecord(const EntryRecord& record)
{
    EntryReadout out;
    const std::string_view name = record.name.view();
    std::memcpy(out.name.data(), name.data(), std::min(name.size(), out.name.size()));
    out.kind = record.kind;
    out.size = record.size;
    out.offset = record.offset;
    return out;
}

const char* EntryReadout::kindLabel(int kind)
{
    using korvix::MessageId;
    switch (kind) {
    case KIND_MODEL_SOUND: return korvix::msg(MessageId::KindModelSound);
    case KIND_WAVE: return korvix::msg(MessageId::KindWave);
    case KIND_IMAGE: return korvix::msg(MessageId::KindImage);
    case KIND_QLX: return korvix::msg(MessageId::KindQlx);
    case KIND_MODEL: return korvix::msg(MessageId::KindModel);
    case KIND_FONT: return korvix::msg(MessageId::KindFont);
    case KIND_SOURCE_SAFE: return korvix::msg(MessageId::KindSourceSafe);
    default: return korvix::msg(MessageId::KindUnknown);
    }
}

std::string EntryReadout::nameUtf8() const
{
    return korvix::latin1ToUtf8({name.data(), strnlen(name.data(), name.size())});
}

std::array<std::string, 4> EntryReadout::lines() const
{
    // Unsigned, so that an entry beyond 2 GiB never reads as a negative size.
    using korvix::MessageId;
    using korvix::MessageTable;
    return {nameUtf8(), MessageTable::format(MessageId::EntryTypeFormat, kindLabel(kind)),
            MessageTable::format(MessageId::EntrySizeFormat, static_cast<unsigned>(size)),
            MessageTable::format(MessageId::EntryOffsetFormat, static_cast<unsigned>(offset))};
}
