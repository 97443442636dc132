// Entries that hold text, shown read-only in the text tab of the picture pane:
// ".txt", ".ini", ".cfg" and ".log" entries, and any other entry whose first
// 4 KiB are printable ISO-8859-1 text. Sounds and images never count as text:
// picking them plays or shows them.
#pragma once

#include "document/EntryRecord.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace entrytext {

// How much is looked at to tell text, and how much of it is shown.
inline constexpr std::size_t SNIFF_BYTES = 4096;
inline constexpr std::size_t MAX_BYTES = std::size_t{1} << 20;

// The name ends in one of the text extensions (any case).
bool hasTextName(std::string_view nameLatin1);
// Whether the entry's first bytes decide: images and sounds never are text,
// a text name always is (without looking), every other entry is when its
// first bytes are printable.
enum class Decision { Never, Always, LookAtBytes };
Decision decide(const EntryRecord& record);
// Printable: letters, digits and signs of ISO-8859-1 (no C0 or C1 controls
// but tab, line feed, carriage return and form feed), a DOS end-of-file mark
// only as the very last byte. Nothing is no text.
bool isPrintable(const std::uint8_t* bytes, std::size_t length, bool endsTheEntry);

// The bytes as ISO-8859-1, in UTF-8, with every line break made "\n".
std::string decode(const std::uint8_t* bytes, std::size_t length);

}  // namespace entrytext
