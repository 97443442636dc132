// Which dates and times a volume's timestamp can hold: the MS-DOS form counts
// the years from 1980 to 2107, and the date must exist. The global-data dialog,
// set-timestamp and the rewrite's timestamp change all ask here.
#pragma once

#include "common/MessageTable.h"
#include "common/Text.h"

#include <optional>

// Why `time` cannot be stored (DosDateAfter2107, DosDateBefore1980 or
// InvalidDate); nothing when it can. Seconds are stored in two-second steps,
// which is no reason to refuse.
std::optional<korvix::MessageId> dosTimeRefusal(const korvix::DosDateTime& time);
