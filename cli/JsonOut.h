#pragma once

#include <iosfwd>

namespace cli {

class VolumeCatalogue;

// Streams {"comment", "signature", "entryCount", "fileCount", "timestamp"[, "entries"]}
// without building the whole document in memory.
void writeVolumeJson(const VolumeCatalogue& vol, bool withEntries, std::ostream& out);

}  // namespace cli
