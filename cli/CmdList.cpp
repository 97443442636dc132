// list VOLUME [--json]: the catalogue in walk order.
#include "Cli.h"
#include "Language.h"
#include "JsonOut.h"
#include "common/Text.h"
#include "CliVolume.h"

#include <cstdio>
#include <ostream>

namespace cli {

using namespace korvix;

namespace {

void printTree(const CliVolume& vol, std::ostream& out)
{
    const auto& h = vol.header();
    out << latin1ToUtf8(vol.comment()) << (vol.comment().empty() ? "" : "\n") << h.entryCount << " entries, "
        << h.fileCount << " files\n";
    // Depth-first with an explicit stack: a deep tree must not exhaust the call stack.
    struct Item {
        int index;
        int depth;
    };
    std::vector<Item> stack;
    const auto pushChildren = [&](int parent, int depth) {
        const auto children = vol.catalogue().childrenOf(parent);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back({*it, depth});
    };
    pushChildren(-99, 0);
    char line[64];
    while (!stack.empty()) {
        const Item item = stack.back();
        stack.pop_back();
        const EntryRecord& e = vol.record(item.index);
        char index[16];
        std::snprintf(index, sizeof index, "#%d", item.index);
        if (e.isDirectory)
            std::snprintf(line, sizeof line, "%9s %12s  ", index, "-");
        else
            std::snprintf(line, sizeof line, "%9s %12u  ", index, e.size);
        out << line << std::string(static_cast<std::size_t>(item.depth) * 2, ' ') << latin1ToUtf8(e.name.view())
            << (e.isDirectory ? "/" : "") << '\n';
        if (e.isDirectory)
            pushChildren(item.index, item.depth + 1);
    }
}

int runList(const Args& args, Io& io)
{
    CliVolume vol(args.positionals[0]);
    if (args.has("--json")) {
        writeVolumeJson(vol, true, io.out);
    } else {
        printTree(vol, io.out);
    }
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
