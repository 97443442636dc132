#include "document/DosTimeRule.h"

#include <algorithm>

std::optional<korvix::MessageId> dosTimeRefusal(const korvix::DosDateTime& t)
{
    using korvix::MessageId;
    if (t.year > 2107)
        return MessageId::DosDateAfter2107;
    if (t.year < 1980)
        return MessageId::DosDateBefore1980;
    // The stored form round-trips only for a date that exists.
    korvix::DosDateTime probe = t;
    probe.second -= probe.second % 2;
    if (!korvix::fromDosTimestamp(korvix::toDosTimestamp(probe)))
        return MessageId::InvalidDate;
    return std::nullopt;
}
