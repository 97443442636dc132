#include "JsonOut.h"

#include "common/Text.h"
#include "CliVolume.h"
#include "document/CatalogueTree.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <vector>

namespace cli {

using namespace korvix;

namespace {

// Volume texts are ISO-8859-1 bytes; JSON carries them as the same characters.
std::string jsonString(std::string_view latin1)
{
    return nlohmann::json(latin1ToUtf8(latin1)).dump();
}

// The path of the directory whose entries the walk reports, as the chain of
// directories from the root down to it. The walk descends last-in first-out,
// so the next directory's parent is nearly always on the chain already; the
// chain is cut back to it and the directory added. Only a damaged catalogue
// can name a parent off the chain; its chain is then followed up from the
// parent links instead.
class PathChain {
public:
    PathChain(const tarvos::GGroup& group, const CatalogueTree& tree) : m_group(group), m_tree(tree) {}

    // The JSON-escaped path of directory `parent` (empty at the top level).
    const std::string& moveTo(int parent)
    {
        if (parent == CatalogueTree::TOP_LEVEL) {
            cutTo(0);
        } else if (m_chain.empty() || m_chain.back() != parent) {
            const int above = m_tree.parent(parent);
            while (!m_chain.empty() && m_chain.back() != above)
                cutTo(m_chain.size() - 1);
            if (m_chain.empty() && above != CatalogueTree::TOP_LEVEL)
                rebuild(parent);
            else
                push(parent);
        }
        return m_strPath;
    }

private:
    void cutTo(std::size_t size)
    {
        m_chain.resize(size);
        m_ends.resize(size);
        m_strPath.resize(size == 0 ? 0 : m_ends.back());
    }
    void push(int directory)
    {
        tarvos::QORBEntry e{};
        m_group.getCatalogueEntry(directory, e);
        if (!m_chain.empty())
            m_strPath += '/';
        appendJsonText(m_strPath, latin1ToUtf8(EntryCatalogue::nameOf(e).view()));
        m_chain.push_back(directory);
        m_ends.push_back(m_strPath.size());
    }
    void rebuild(int directory)
    {
        std::vector<int> up;
        for (int d = directory; d != CatalogueTree::TOP_LEVEL && up.size() <= m_tree.size(); d = m_tree.parent(d))
            up.push_back(d);
        cutTo(0);
        for (auto it = up.rbegin(); it != up.rend(); ++it)
            push(*it);
    }

    const tarvos::GGroup& m_group;
    const CatalogueTree& m_tree;
    std::vector<int> m_chain;
    std::vector<std::size_t> m_ends;
    std::string m_strPath;
};

void writeEntries(const tarvos::GGroup& group, const CatalogueTree& tree, std::ostream& out)
{
    PathChain chain(group, tree);
    std::string line;
    bool first = true;
    for (const int index : tree.walkOrder()) {
        tarvos::QORBEntry e{};
        group.getCatalogueEntry(index, e);
        const int parent = tree.parent(index);
        const std::string& parentPath = chain.moveTo(parent);
        std::string name;
        appendJsonText(name, latin1ToUtf8(EntryCatalogue::nameOf(e).view()));
        line.assign(first ? "\n" : ",\n");
        line += "  {\"index\": " + std::to_string(index) + ", \"parent\": " + std::to_string(parent) + ", \"name\": \"";
        line += name;
        line += "\", \"path\": \"";
        if (parent != CatalogueTree::TOP_LEVEL) {
            line += parentPath;
            line += '/';
        }
        line += name;
        line += "\", \"dir\": ";
        line += (e.flags & tarvos::QORB_FLAG_DIRECTORY) ? "true" : "false";
        line += ", \"last\": ";
        line += (e.flags & tarvos::QORB_FLAG_LAST) ? "true" : "false";
        line += ", \"offset\": " + std::to_string(e.offset) + ", \"size\": " + std::to_string(e.size) + '}';
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
        first = false;
    }
    out << (first ? "]" : "\n]");
}

}  // namespace

void appendJsonText(std::string& out, std::string_view utf8)
{
    for (const char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                static constexpr char hex[] = "0123456789abcdef";
                out += "\\u00";
                out += hex[(c >> 4) & 0xF];
                out += hex[c & 0xF];
            } else {
                out += c;
            }
        }
    }
}

std::optional<std::string> isoTimestamp(std::uint32_t timestamp)
{
    const auto when = fromDosTimestamp(timestamp);
    if (!when)
        return std::nullopt;
    std::string text = formatDateTime(*when);
    text[10] = 'T';
    return text;
}

void writeVolumeJson(const CliVolume& vol, const CatalogueTree* entries, std::ostream& out)
{
    const auto& h = vol.header();
    const auto iso = isoTimestamp(h.timestamp);
    out << "{\"version\": " << jsonVersion << ", \"type\": \"volume\", \"file\": " << nlohmann::json(vol.path()).dump()
        << ", \"comment\": " << jsonString(vol.comment())
        << ", \"signature\": " << jsonString(h.signature) << ", \"entryCount\": " << h.entryCount
        << ", \"fileCount\": " << h.fileCount << ", \"timestamp\": " << h.timestamp
        << ", \"timestampIso\": " << (iso ? "\"" + *iso + "\"" : "null");
    if (entries) {
        out << ", \"entries\": [";
        writeEntries(vol.group(), *entries, out);
    }
    out << "}\n";
}

}  // namespace cli
