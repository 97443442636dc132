#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

class CatalogueTree;

namespace cli {

class CliVolume;

// Every JSON document korvix-cli prints starts with {"version": jsonVersion, ...}:
// the layout's version, raised when a field changes its meaning or goes away
// (new fields may appear without a new version).
constexpr int jsonVersion = 1;

// Streams {"version", "type": "volume", "file", "comment", "signature", "entryCount",
// "fileCount", "timestamp", "timestampIso"[, "entries"]}: the entries when
// `entries` is given, one record per entry in the order of the walk, each
// written as it is reached. Entry paths are built from the names along the
// walk, so what is held stays the same for any depth or number of entries.
void writeVolumeJson(const CliVolume& vol, const CatalogueTree* entries, std::ostream& out);

// Appends UTF-8 text as the inside of a JSON string: quotes, backslashes and
// control characters escaped, everything else as it is.
void appendJsonText(std::string& out, std::string_view utf8);

// A raw MS-DOS timestamp as "YYYY-MM-DDTHH:MM:SS", or nothing when a field is out of range.
std::optional<std::string> isoTimestamp(std::uint32_t timestamp);

}  // namespace cli
