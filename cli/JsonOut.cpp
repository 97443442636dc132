#include "JsonOut.h"

#include "common/Text.h"
#include "CliVolume.h"

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

void writeVolumeJson(const CliVolume& vol, bool withEntries, std::ostream& out)
{
    const auto& h = vol.header();
    const auto iso = isoTimestamp(h.timestamp);
    out << "{\"version\": " << jsonVersion << ", \"type\": \"volume\", \"file\": " << nlohmann::json(vol.path()).dump()
        << ", \"comment\": " << jsonString(vol.comment())
        << ", \"signature\": " << jsonString(h.signature) << ", \"entryCount\": " << h.entryCount
        << ", \"fileCount\": " << h.fileCount << ", \"timestamp\": " << h.timestamp
        << ", \"timestampIso\": " << (iso ? "\"" + *iso + "\"" : "null");
    if (withEntries) {
        out << ", \"entries\": [";
        bool first = true;
        const EntryCatalogue& catalogue = vol.catalogue();
        for (const int index : catalogue.walkOrder()) {
            const EntryRecord& e = vol.record(index);
            out << (first ? "\n" : ",\n") << "  {\"index\": " << index << ", \"parent\": " << catalogue.reportedParent(index)
                << ", \"name\": " << jsonString(e.name.view()) << ", \"path\": " << nlohmann::json(vol.pathOf(index)).dump()
                << ", \"dir\": " << (e.isDirectory ? "true" : "false")
                << ", \"last\": " << (catalogue.isLast(index) ? "true" : "false") << ", \"offset\": " << e.offset
                << ", \"size\": " << e.size << '}';
            first = false;
        }
        out << (first ? "]" : "\n]");
    }
    out << "}\n";
}

}  // namespace cli
