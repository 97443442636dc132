#include "JsonOut.h"

#include "common/Text.h"
#include "VolumeCatalogue.h"

#include <nlohmann/json.hpp>

#include <ostream>

namespace cli {

using namespace korvix;

namespace {

// Volume texts are ISO-8859-1 bytes; JSON carries them as the same characters.
std::string jsonString(std::string_view latin1)
{
    return nlohmann::json(latin1ToUtf8(latin1)).dump();
}

}  // namespace

std::optional<std::string> isoTimestamp(std::uint32_t timestamp)
{
    const auto when = fromDosTimestamp(timestamp);
    if (!when)
        return std::nullopt;
    std::string text = formatDateTime(*when);
    text[10] = 'T';
    return text;
}

void writeVolumeJson(const VolumeCatalogue& vol, bool withEntries, std::ostream& out)
{
    const auto& h = vol.header();
    const auto iso = isoTimestamp(h.timestamp);
    out << "{\"version\": " << jsonVersion << ", \"type\": \"volume\", \"comment\": " << jsonString(vol.comment())
        << ", \"signature\": " << jsonString(h.signature) << ", \"entryCount\": " << h.entryCount
        << ", \"fileCount\": " << h.fileCount << ", \"timestamp\": " << h.timestamp
        << ", \"timestampIso\": " << (iso ? "\"" + *iso + "\"" : "null");
    if (withEntries) {
        out << ", \"entries\": [";
        bool first = true;
        for (const WalkedEntry& e : vol.entries()) {
            out << (first ? "\n" : ",\n") << "  {\"index\": " << e.index << ", \"parent\": " << e.parent
                << ", \"name\": " << jsonString(e.name()) << ", \"path\": " << nlohmann::json(vol.pathOf(e)).dump()
                << ", \"dir\": " << (e.isDirectory() ? "true" : "false")
                << ", \"last\": " << (e.isLast() ? "true" : "false") << ", \"offset\": " << e.entry.offset
                << ", \"size\": " << e.entry.size << '}';
            first = false;
        }
        out << (first ? "]" : "\n]");
    }
    out << "}\n";
}

}  // namespace cli
