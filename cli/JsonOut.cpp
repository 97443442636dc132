#include "JsonOut.h"

#include "common/Text.h"
#include "CliVolume.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <unordered_map>

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
        // The walk reports every directory before its children, so a path is its
        // parent's path, kept from when the parent was met, and its own name.
        std::unordered_map<int, std::string> directoryPaths;
        for (const int index : catalogue.walkOrder()) {
            const EntryRecord& e = vol.record(index);
            const int parent = catalogue.reportedParent(index);
            const std::string name = latin1ToUtf8(e.name.view());
            std::string path;
            if (parent == PARENT_TOP_LEVEL) {
                path = name;
            } else if (const auto it = directoryPaths.find(parent); it != directoryPaths.end()) {
                path.reserve(it->second.size() + 1 + name.size());
                path.append(it->second).append(1, '/').append(name);
            } else {
                path = vol.pathOf(index);
            }
            if (e.isDirectory)
                directoryPaths.emplace(index, path);
            out << (first ? "\n" : ",\n") << "  {\"index\": " << index << ", \"parent\": " << parent
                << ", \"name\": " << nlohmann::json(name).dump() << ", \"path\": " << nlohmann::json(path).dump()
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
