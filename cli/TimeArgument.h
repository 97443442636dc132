// Times given on the command line: "YYYY-MM-DD HH:MM:SS", the ISO 8601 form
// "YYYY-MM-DDTHH:MM:SS", or "now" (the local time).
#pragma once

#include "common/Text.h"

#include <optional>
#include <string_view>

namespace cli {

// The fields as written, any year from 0 to 9999, for callers that check the range
// themselves; "now" gives the local time. Empty when the text has neither form.
std::optional<korvix::DosDateTime> parseTimeFields(std::string_view text);

// As parseTimeFields, but only times an MS-DOS timestamp holds (1980-01-01 to 2107-12-31).
std::optional<korvix::DosDateTime> parseDosTime(std::string_view text);

// The local time now, the seconds rounded down to the two-second steps a volume keeps.
korvix::DosDateTime localNow();

// Seconds since 1970-01-01 UTC (SOURCE_DATE_EPOCH) as a UTC date and time; empty
// when the text is not a whole number or the time lies outside what a volume holds.
std::optional<korvix::DosDateTime> fromEpochSeconds(std::string_view text);

}  // namespace cli
