// extract VOLUME ENTRY [-o OUT] and extract-all VOLUME DIR.
#include "Cli.h"
#include "Language.h"
#include "document/SafeName.h"
#include "common/Text.h"
#include "CliVolume.h"

#include "common/AtomicFile.h"

#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

namespace cli {

using namespace korvix;
using korvix::MessageId;

namespace {

// What is at a path without following a final link; error is set when the path
// itself cannot be asked about (too long, a file where a directory should be),
// but not when nothing is there yet.
struct PathProbe {
    fs::file_status status;
    std::error_code error;
};

PathProbe probePath(const fs::path& path)
{
    PathProbe probe;
    probe.status = fs::symlink_status(path, probe.error);
    if (probe.error == std::errc::no_such_file_or_directory)
        probe.error.clear();
    return probe;
}

void extractTo(CliVolume& vol, int e, const fs::path& target)
{
    vol.checkDataRange(e);
    try {
        AtomicFile file(target);
        vol.readData(e, [&](const unsigned char* data, std::size_t n) { file.write(data, n); });
        file.commit();
    } catch (const std::runtime_error& err) {
        if (dynamic_cast<const Failure*>(&err))
            throw;
        throw Failure("extract", target.string(), err.what());
    }
}

int runExtract(const Args& args, Io& io)
{
    CliVolume vol(args.positionals[0]);
    const int e = vol.resolve(args.positionals[1]);
    const std::string out = args.value("-o").value_or(latin1ToUtf8(vol.name(e)));
    if (out == "-") {
        vol.readData(e, [&](const unsigned char* data, std::size_t n) {
            io.out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(n));
        });
        return exitOk;
    }
    if (!args.value("-o") && !isSafeName(vol.name(e)))
        throw Failure("extract", vol.path(), format(MessageId::CliUnsafeEntryNameFormat, latin1ToUtf8(vol.name(e))));
    vol.checkDataRange(e);
    std::error_code ec;
    if (!args.has("--force") && fs::exists(fs::symlink_status(out, ec)))
        throw Failure("extract", out, tr(korvix::MessageId::CliExistsUseForce));
    extractTo(vol, e, out);
    return exitOk;
}

// Extracts the tree below DIR. Entries whose names could escape DIR are refused
// one by one (with their subtrees); the rest is still extracted.
int runExtractAll(const Args& args, Io& io)
{
    CliVolume vol(args.positionals[0]);
    const fs::path root = args.positionals[1];
    const bool force = args.has("--force");
    std::error_code ec;
    fs::create_directories(root, ec);
    if (ec || !fs::is_directory(root, ec))
        throw Failure("extract-all", root.string(), tr(MessageId::CliCannotCreateDirectory));

    int failures = 0;
    struct Item {
        int index;
        fs::path dir;
    };
    std::vector<Item> stack;
    const auto pushChildren = [&](int parent, const fs::path& dir) {
        const auto children = vol.catalogue().childrenOf(parent);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back({*it, dir});
    };
    pushChildren(-99, root);
    while (!stack.empty()) {
        const Item item = stack.back();
        stack.pop_back();
        const int e = item.index;
        const EntryRecord& r = vol.record(e);
        const std::string shown = vol.pathOf(e);
        const auto refuse = [&](const std::string& why) {
            reportError(io, "extract-all", vol.path(), format(MessageId::CliEntryRefusedFormat, e, shown, why));
            ++failures;
        };
        if (!isSafeName(vol.name(e))) {
            refuse(tr(MessageId::CliNameLeavesTarget));
            continue;
        }
        // Every file-system question is asked in the error-code form: a path the
        // system cannot hold (too long, say) refuses this entry and its subtree,
        // never the whole run.
        const fs::path target = item.dir / latin1ToUtf8(vol.name(e));
        const PathProbe probe = probePath(target);
        if (probe.error) {
            refuse(format(MessageId::CliPathUnusableFormat, probe.error.message()));
            continue;
        }
        if (r.isDirectory) {
            // A link in the way could lead outside the target directory.
            if (fs::is_symlink(probe.status)) {
                reportError(io, "extract-all", target.string(), tr(MessageId::CliLinkInTheWay));
                ++failures;
                continue;
            }
            fs::create_directory(target, ec);
            if (!fs::is_directory(target, ec)) {
                reportError(io, "extract-all", target.string(), tr(MessageId::CliCannotCreateDirectory));
                ++failures;
                continue;
            }
            pushChildren(e, target);
            continue;
        }
        if (!force && fs::exists(probe.status)) {
            reportError(io, "extract-all", target.string(), tr(korvix::MessageId::CliExistsUseForce));
            ++failures;
            continue;
        }
        try {
            extractTo(vol, e, target);
        } catch (const Failure& f) {
            reportError(io, f.stage, f.file, f.what());
            ++failures;
        }
    }
    if (failures > 0) {
        io.err << "korvix-cli: extract-all: "
               << format(failures == 1 ? MessageId::CliOneEntryNotExtracted : MessageId::CliEntriesNotExtractedFormat,
                         failures)
               << '\n';
        return exitFailure;
    }
    return exitOk;
}

}  // namespace

CommandSpec extractCommand()
{
    return {"extract", "VOLUME ENTRY", tr(MessageId::CliExtractSummary), tr(MessageId::CliExtractDescription),
            2, 2, {{"-o", "OUT", tr(MessageId::CliOptionOutput)}, {"--force", "", tr(MessageId::CliOptionForce)}},
            runExtract};
}

CommandSpec extractAllCommand()
{
    return {"extract-all", "VOLUME DIR", tr(MessageId::CliExtractAllSummary), tr(MessageId::CliExtractAllDescription),
            2, 2, {{"--force", "", tr(MessageId::CliOptionForceAll)}}, runExtractAll};
}

}  // namespace cli
