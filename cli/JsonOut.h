#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

namespace cli {

class CliVolume;

// Every JSON document korvix-cli prints starts with {"version": jsonVersion, ...}:
// the layout's version, raised when a field changes its meaning or goes away
// (new fields may appear without a new version).
constexpr int jsonVersion = 1;

// Streams {"version", "type": "volume", "file", "comment", "signature", "entryCount",
// "fileCount", "timestamp", "timestampIso"[, "entries"]} without building the
// whole document in memory.
void writeVolumeJson(const CliVolume& vol, bool withEntries, std::ostream& out);

// A raw MS-DOS timestamp as "YYYY-MM-DDTHH:MM:SS", or nothing when a field is out of range.
std::optional<std::string> isoTimestamp(std::uint32_t timestamp);

}  // namespace cli
