// Volume texts are single-byte ISO-8859-1; the user interface, the terminal and
// file names are UTF-8. MS-DOS timestamps as volumes store them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvix {

std::string latin1ToUtf8(std::string_view latin1);
// The length of a fixed-size name field without its trailing blanks; checks
// eight bytes at a time, since most of a catalogue name field is padding.
std::size_t trimmedLength(const char* field, std::size_t size);
// Empty when the text holds a character outside ISO-8859-1 or is not valid UTF-8.
std::optional<std::string> utf8ToLatin1(std::string_view utf8);
// Case folding over ISO-8859-1 letters, for case-insensitive name matching.
std::string foldLatin1(std::string_view latin1);
// The same folding for one character.
char foldLatin1(char latin1);

// How numbers read to the user: German puts a dot between thousands and a
// comma before decimals, English the other way round.
enum class NumberStyle { German, English };
// "100.000" / "100,000".
std::string countText(std::uint64_t n, NumberStyle style);
// "1,4 MB", "931 kB", "12 B": decimal units, one decimal place from kB up.
std::string byteText(std::uint64_t bytes, NumberStyle style);

struct DosDateTime {
    int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
// Parses "YYYY-MM-DD HH:MM:SS" within what a DOS timestamp holds (1980-01-01 to
// 2107-12-31); impossible dates are refused. Seconds are kept in two-second steps.
std::optional<DosDateTime> parseDateTime(std::string_view text);
// The same format with any year from 0 to 9999 and the seconds as written; for
// callers that check the range themselves.
std::optional<DosDateTime> parseDateTimeFields(std::string_view text);
std::uint32_t toDosTimestamp(const DosDateTime& t);  // date word high, time word low
// Empty for fields out of range (day 0, month 13, ...).
std::optional<DosDateTime> fromDosTimestamp(std::uint32_t timestamp);
std::string formatDateTime(const DosDateTime& t);

}  // namespace korvix
