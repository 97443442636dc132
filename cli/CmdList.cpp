// list VOLUME [--json]: the catalogue as a tree, or in walk order as JSON.
//
// Both stream: besides the library's own copy of the catalogue they hold the
// walk's shape (a few bytes per entry) and what one line needs, so a volume of
// any depth or size lists in bounded memory.
#include "Cli.h"
#include "Language.h"
#include "JsonOut.h"
#include "common/Text.h"
#include "CliVolume.h"
#include "document/CatalogueTree.h"

#include <cstdio>
#include <ostream>

namespace cli {

using namespace korvix;

namespace {

void printTree(const CliVolume& vol, const CatalogueTree& tree, std::ostream& out)
{
    const auto& h = vol.header();
    out << latin1ToUtf8(vol.comment()) << (vol.comment().empty() ? "" : "\n") << h.entryCount << " entries, "
        << h.fileCount << " files\n";
    // Depth-first with an explicit stack: a deep tree must not exhaust the call stack.
    struct Item {
        int index;
        std::size_t depth;
    };
    std::vector<Item> stack;
    const auto pushChildren = [&](int parent, std::size_t depth) {
        const auto children = tree.childrenOf(parent);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back({*it, depth});
    };
    pushChildren(CatalogueTree::TOP_LEVEL, 0);
    std::string indent;
    std::string line;
    while (!stack.empty()) {
        const Item item = stack.back();
        stack.pop_back();
        tarvos::QORBEntry e{};
        vol.group().getCatalogueEntry(item.index, e);
        const bool dir = e.flags & tarvos::QORB_FLAG_DIRECTORY;
        char index[16];
        std::snprintf(index, sizeof index, "#%d", item.index);
        char head[64];
        if (dir)
            std::snprintf(head, sizeof head, "%9s %12s  ", index, "-");
        else
            std::snprintf(head, sizeof head, "%9s %12u  ", index, e.size);
        if (indent.size() < item.depth * 2)
            indent.resize(item.depth * 2, ' ');
        line.assign(head);
        line.append(indent, 0, item.depth * 2);
        line += latin1ToUtf8(EntryCatalogue::nameOf(e).view());
        line += dir ? "/\n" : "\n";
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
        if (dir)
            pushChildren(item.index, item.depth + 1);
    }
}

int runList(const Args& args, Io& io)
{
    const CliVolume vol(args.positionals[0]);
    if (args.has("--json"))
        writeVolumeJson(vol, &vol.tree(), io.out);
    else
        printTree(vol, vol.tree(), io.out);
    return exitOk;
}

}  // namespace

CommandSpec listCommand()
{
    using korvix::MessageId;
    return {"list", "VOLUME", tr(MessageId::CliListSummary), tr(MessageId::CliListDescription),
            1, 1, {{"--json", "", tr(MessageId::CliOptionJson)}}, runList};
}

}  // namespace cli
